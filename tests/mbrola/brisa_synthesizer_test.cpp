// The Brisa voice's synthesizer: its phoneme-line and database readers, and the library itself,
// loaded as the program loads it and driven with hand-written phoneme lines over the database
// the build made.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "../interp/fixture.h"
#include "mbrola/pho_line.h"
#include "mbrola/voice_database.h"
#include "tts/mbrola_library.h"

// The database the build made; none when the voice data are not built.
#ifndef PARLENDO_BRISA_DATABASE
#define PARLENDO_BRISA_DATABASE ""
#endif

namespace parlendo::testing {
namespace {

namespace fs = std::filesystem;

TEST(BrisaPhonemeLine, ReadsNamesDurationsPitchAndRefusesMalformedLines) {
    auto line = brisa::parsePhonemeLine("a~ 120 0 110 50.5 130 100 90 ; comment\r\n");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->kind, brisa::PhonemeLine::Kind::Phoneme);
    EXPECT_EQ(line->name, "a~");
    EXPECT_DOUBLE_EQ(line->durationMs, 120);
    ASSERT_EQ(line->pitch.size(), 3U);
    EXPECT_DOUBLE_EQ(line->pitch[1].percent, 50.5);
    EXPECT_DOUBLE_EQ(line->pitch[2].hertz, 90);
    EXPECT_EQ(brisa::parsePhonemeLine("; only a comment")->kind, brisa::PhonemeLine::Kind::Empty);
    EXPECT_EQ(brisa::parsePhonemeLine("  \r\n")->kind, brisa::PhonemeLine::Kind::Empty);
    EXPECT_EQ(brisa::parsePhonemeLine("#")->kind, brisa::PhonemeLine::Kind::Flush);
    EXPECT_TRUE(brisa::parsePhonemeLine("_ 0"));

    std::string many = "a 100";
    for (int i = 0; i <= 100; ++i) many += " 50 100";
    for (const char* bad :
         {"a", "a x", "a -1", "a 40000", "a 100 50", "a 100 101 100", "a 100 50 0", "a 100 50 -3",
          "a 100 50 3000", "toolongname 100", "a 100 50 nan", "# 1", "a 1e999"})
        EXPECT_FALSE(brisa::parsePhonemeLine(bad)) << bad;
    EXPECT_FALSE(brisa::parsePhonemeLine(many));
    EXPECT_FALSE(brisa::parsePhonemeLine(std::string(5000, 'a')));
}

brisa::VoiceDatabase tinyDatabase() {
    brisa::VoiceDatabase db;
    db.phonemes = {"_", "a"};
    brisa::Diphone d;
    d.left = 0;
    d.right = 1;
    d.samples.assign(800, 1000);
    d.begin = 100;
    d.boundary = 100;
    d.end = 700;
    for (uint32_t p = 0; p < 800; p += 100) d.marks.push_back({p, true});
    db.diphones.push_back(d);
    return db;
}

TEST(BrisaVoiceDatabase, ReadsBackWhatIsWrittenAndRefusesDamagedImages) {
    std::vector<uint8_t> image = brisa::serializeVoiceDatabase(tinyDatabase());
    std::string error;
    auto db = brisa::parseVoiceDatabase(image.data(), image.size(), error);
    ASSERT_TRUE(db) << error;
    EXPECT_EQ(db->phonemes, (std::vector<std::string>{"_", "a"}));
    ASSERT_EQ(db->diphones.size(), 1U);
    EXPECT_EQ(db->diphones[0].boundary, 100U);
    EXPECT_EQ(db->diphones[0].marks.size(), 8U);
    EXPECT_TRUE(db->diphones[0].marks[3].voiced);
    // Every shortened image is refused, and so is one with a byte more.
    for (size_t n = 0; n < image.size(); ++n)
        EXPECT_FALSE(brisa::parseVoiceDatabase(image.data(), n, error)) << n;
    image.push_back(0);
    EXPECT_FALSE(brisa::parseVoiceDatabase(image.data(), image.size(), error));

    auto damaged = [&](auto change) {
        brisa::VoiceDatabase d = tinyDatabase();
        change(d);
        std::vector<uint8_t> bytes = brisa::serializeVoiceDatabase(d);
        return !brisa::parseVoiceDatabase(bytes.data(), bytes.size(), error);
    };
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.diphones[0].right = 2; }));
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.diphones[0].end = 801; }));
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.diphones[0].boundary = 50; }));
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.diphones[0].marks[2].position = 10; }));
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.diphones[0].marks.back().position = 900; }));
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.phonemes[1] = "_"; }));
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.diphones.push_back(d.diphones[0]); }));
    EXPECT_TRUE(damaged([](brisa::VoiceDatabase& d) { d.rate = 22050; }));
}

TEST(BrisaVoiceDatabase, TheBuiltDatabaseJoinsEveryPhonemeOfTheVoice) {
    if (std::string_view(PARLENDO_BRISA_DATABASE).empty())
        GTEST_SKIP() << "the Brisa database is not built (PARLENDO_VOICE_DATA is off)";
    std::string error;
    auto db = brisa::readVoiceDatabase(PARLENDO_BRISA_DATABASE, error);
    ASSERT_TRUE(db) << error;
    const std::vector<std::string> names = {"_",  "__", "a",  "6",  "e",  "E",  "i",  "o",  "O", "u",  "a~",
                                            "e~", "i~", "o~", "u~", "w",  "y",  "w~", "y~", "p", "b",  "t",
                                            "d",  "k",  "g",  "tS", "dZ", "f",  "v",  "s",  "z", "s2", "S",
                                            "Z",  "m",  "n",  "nh", "l",  "lh", "r",  "r2"};
    std::set<std::pair<std::string, std::string>> pairs;
    size_t voicedVowels = 0, vowels = 0;
    for (const brisa::Diphone& d : db->diphones) {
        const std::string& left = db->phonemes[d.left];
        const std::string& right = db->phonemes[d.right];
        pairs.insert({left, right});
        // A vowel's half is voiced: marks a pitch period apart (64 to 400 Hz).
        if (right == "a" && left != "_" && left != "__") {
            ++vowels;
            size_t voiced = 0;
            for (size_t m = 1; m < d.marks.size(); ++m)
                if (d.marks[m].voiced && d.marks[m].position > d.boundary && d.marks[m].position < d.end) {
                    const uint32_t period = d.marks[m].position - d.marks[m - 1].position;
                    voiced += period >= 40 && period <= 250;
                }
            voicedVowels += voiced >= 2;
        }
    }
    for (const std::string& a : names)
        for (const std::string& b : names) {
            const bool pause = a[0] == '_' && b[0] == '_';
            EXPECT_EQ(pairs.count({a, b}), pause ? 0U : 1U) << a << "-" << b;
        }
    EXPECT_EQ(voicedVowels, vowels);
    EXPECT_GT(vowels, 30U);
}

// The pitch of s[centre - 320, centre + 320) by normalised autocorrelation, 50 to 400 Hz; 0 when
// the stretch is not periodic.
double pitchAt(const std::vector<short>& s, size_t centre) {
    const size_t window = 640;
    if (centre < window / 2 || centre + window / 2 + 320 > s.size()) return 0;
    const size_t a = centre - window / 2;
    double best = 0;
    size_t bestLag = 0;
    for (size_t lag = 40; lag <= 320; ++lag) {
        double r = 0, e0 = 0, e1 = 0;
        for (size_t i = 0; i < window; ++i) {
            r += double(s[a + i]) * s[a + i + lag];
            e0 += double(s[a + i]) * s[a + i];
            e1 += double(s[a + i + lag]) * s[a + i + lag];
        }
        const double n = r / std::sqrt(std::max(1.0, e0 * e1));
        if (n > best) best = n, bestLag = lag;
    }
    // A multiple of the period scores as well: take the shortest lag almost as good.
    for (size_t lag = 40; lag < bestLag; ++lag) {
        double r = 0, e0 = 0, e1 = 0;
        for (size_t i = 0; i < window; ++i) {
            r += double(s[a + i]) * s[a + i + lag];
            e0 += double(s[a + i]) * s[a + i];
            e1 += double(s[a + i + lag]) * s[a + i + lag];
        }
        if (r / std::sqrt(std::max(1.0, e0 * e1)) > 0.9 * best && bestLag % lag < 4) {
            bestLag = lag;
            break;
        }
    }
    return best > 0.5 ? 16000.0 / bestLag : 0;
}

double semitones(double a, double b) { return 12 * std::log2(a / b); }

class BrisaLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string_view(PARLENDO_BRISA_DATABASE).empty())
            GTEST_SKIP() << "the Brisa database is not built (PARLENDO_VOICE_DATA is off)";
        std::string error;
        library_ = MbrolaLibrary::load({PARLENDO_BRISA_LIBRARY}, error);
        ASSERT_TRUE(library_) << error;
        c_ = &library_->calls();
        ASSERT_EQ(c_->init_MBR(PARLENDO_BRISA_DATABASE), 0);
        c_->setNoError_MBR(-63);
    }
    void TearDown() override {
        if (library_) c_->close_MBR();
    }
    // The samples of one utterance, read after every line as the engine reads them.
    std::vector<short> say(const std::vector<std::string>& lines) {
        std::vector<short> out;
        EXPECT_EQ(c_->reset_MBR(), 0);
        std::vector<short> buffer(64000);
        auto drain = [&] {
            int n = 0;
            while ((n = c_->read_MBR(buffer.data(), static_cast<int>(buffer.size()))) > 0)
                out.insert(out.end(), buffer.begin(), buffer.begin() + n);
            EXPECT_EQ(n, 0);
        };
        for (const std::string& line : lines) {
            EXPECT_GE(c_->write_MBR((line + "\r\n").c_str()), 0) << line;
            drain();
        }
        c_->flush_MBR();
        drain();
        return out;
    }
    std::optional<MbrolaLibrary> library_;
    const MbrolaCalls* c_ = nullptr;
};

TEST_F(BrisaLibrary, OutputFollowsTheDurationsAndPausesAreSilent) {
    const std::vector<std::vector<std::string>> utterances = {
        {"_ 50", "k 80 50 120", "a 140 50 125", "z 90", "6 110 50 100", "_ 100"},
        {"b 60 0 110", "o~ 200 50 130", "dZ 70", "i 90 100 100"},
        {"tS 100", "a~ 60", "w~ 40", "r2 120 50 140", "lh 80", "nh 70 100 90", "__ 300"},
        {"e 2000 0 100 100 180"},
    };
    for (const auto& lines : utterances) {
        double ms = 0;
        for (const std::string& l : lines) ms += std::stod(l.substr(l.find(' ')));
        std::vector<short> out = say(lines);
        EXPECT_NEAR(static_cast<double>(out.size()), ms * 16, ms * 16 * 0.05) << lines[0];
        double energy = 0;
        for (short s : out) energy += std::abs(s);
        EXPECT_GT(energy / out.size(), 100) << "no sound from " << lines[0];
    }
    // A pause alone is silence; between two vowels its middle is silence too.
    std::vector<short> pause = say({"_ 300"});
    EXPECT_EQ(pause.size(), 4800U);
    EXPECT_TRUE(std::all_of(pause.begin(), pause.end(), [](short s) { return s == 0; }));
    std::vector<short> gap = say({"a 200 50 120", "_ 300", "a 200 50 120"});
    ASSERT_EQ(gap.size(), 11200U);
    for (size_t i = 3200 + 400; i < 3200 + 4800 - 400; ++i) ASSERT_EQ(gap[i], 0) << i;
    EXPECT_TRUE(say({}).empty());
}

TEST_F(BrisaLibrary, PitchFollowsThePitchPoints) {
    // A vowel gliding up an octave: the pitch measured rises, within a semitone of the points.
    std::vector<short> out = say({"_ 50", "a 1000 0 100 100 200", "_ 50"});
    ASSERT_EQ(out.size(), 17600U);
    double last = 0;
    for (double f : {0.2, 0.4, 0.6, 0.8}) {
        const double asked = 100 + 100 * f;
        const double heard = pitchAt(out, static_cast<size_t>(800 + 16000 * f));
        EXPECT_LT(std::fabs(semitones(heard, asked)), 1.0) << "at " << f << ": " << heard << " Hz";
        EXPECT_GT(heard, last);
        last = heard;
    }
    // Level pitch on a word, low and high.
    for (double hz : {90.0, 150.0, 220.0}) {
        const std::string p = " 0 " + std::to_string(hz) + " 100 " + std::to_string(hz);
        std::vector<short> word = say({"m 80" + p, "a 300" + p, "m 80" + p});
        EXPECT_LT(std::fabs(semitones(pitchAt(word, 1280 + 2400), hz)), 1.0) << hz;
    }
}

TEST_F(BrisaLibrary, BadLinesFailAndMissingSoundsAreSpokenAnyway) {
    EXPECT_LT(c_->write_MBR("a x\r\n"), 0);
    EXPECT_EQ(c_->lastError_MBR(), -3);
    char text[200];
    EXPECT_GT(c_->lastErrorStr_MBR(text, sizeof text), 0);
    EXPECT_NE(std::string(text).find("malformed"), std::string::npos);
    EXPECT_LT(c_->write_MBR("a 100 120 200\r\n"), 0);
    // An unknown phoneme is silence while setNoError_MBR is not 0, a failure of its line at 0.
    std::vector<short> out = say({"a 100 50 120", "XY 100", "a 100 50 120"});
    EXPECT_EQ(out.size(), 4800U);
    c_->setNoError_MBR(0);
    EXPECT_EQ(c_->getNoError_MBR(), 0);
    EXPECT_EQ(c_->write_MBR("XY 100\r\n"), -4);
    c_->setNoError_MBR(-63);
    // Nothing pending reads 0; a line without its end waits for the flush.
    short one[4];
    EXPECT_EQ(c_->reset_MBR(), 0);
    EXPECT_EQ(c_->read_MBR(one, 4), 0);
    EXPECT_EQ(c_->write_MBR("a 100 50 120"), 0);
    EXPECT_EQ(c_->flush_MBR(), 0);
    int total = 0, n = 0;
    std::vector<short> buffer(1000);
    while ((n = c_->read_MBR(buffer.data(), 1000)) > 0) total += n;
    EXPECT_EQ(total, 1600);
    EXPECT_LT(c_->read_MBR(nullptr, 10), 0);
}

TEST_F(BrisaLibrary, RateVolumeVersionAndDatabaseFacts) {
    char text[256];
    EXPECT_GT(c_->getVersion_MBR(text, sizeof text), 0);
    EXPECT_NE(std::string(text).find("brisa"), std::string::npos);
    ASSERT_GT(c_->getDatabaseInfo_MBR(text, sizeof text, 1), 0);
    EXPECT_NE(std::string(text).find("nh"), std::string::npos);
    EXPECT_LT(c_->getDatabaseInfo_MBR(text, sizeof text, 9), 0);
    EXPECT_EQ(c_->getFreq_MBR(), 16000);
    std::vector<short> base = say({"a 500 50 120"});
    c_->setFreq_MBR(8000);
    EXPECT_EQ(c_->getFreq_MBR(), 8000);
    std::vector<short> half = say({"a 500 50 120"});
    EXPECT_NEAR(static_cast<double>(half.size()), 4000, 10);
    c_->setFreq_MBR(1);  // refused
    EXPECT_EQ(c_->getFreq_MBR(), 8000);
    c_->setFreq_MBR(16000);
    c_->setVolumeRatio_MBR(0.5F);
    EXPECT_FLOAT_EQ(c_->getVolumeRatio_MBR(), 0.5F);
    std::vector<short> quiet = say({"a 500 50 120"});
    ASSERT_EQ(quiet.size(), base.size());
    for (size_t i = 0; i < base.size(); i += 97) EXPECT_NEAR(quiet[i], base[i] / 2.0, 1.0);
    c_->setVolumeRatio_MBR(1);
    // The other sample types: 8-bit around 128, and the companded codes of the same samples.
    for (int type : {1, 2, 3}) {
        c_->reset_MBR();
        c_->write_MBR("_ 10\r\na 300 50 120\r\n");
        c_->flush_MBR();
        std::vector<uint8_t> bytes(10000);
        const int n = c_->readtype_MBR(bytes.data(), 10000, type);
        ASSERT_EQ(n, 4960) << type;
        const uint8_t silence = type == 1 ? 128 : type == 2 ? 0xFF : 0xD5;
        EXPECT_EQ(bytes[0], silence) << type;
        EXPECT_GT(std::count_if(bytes.begin(), bytes.begin() + n, [&](uint8_t b) { return b != silence; }),
                  n / 2);
    }
    EXPECT_LT(c_->readtype_MBR(text, 10, 7), 0);
    void* phone = c_->init_Phone("a", 100);
    ASSERT_NE(phone, nullptr);
    EXPECT_EQ(c_->appendf0_Phone(phone, 50, 120), 0);
    EXPECT_LT(c_->appendf0_Phone(phone, 150, 120), 0);
    c_->reset_Phone(phone);
    c_->close_Phone(phone);
}

TEST(BrisaLoading, MissingOrBrokenPiecesFailTheStart) {
    std::string error;
    // A library without one of the entry points is refused (and released).
    EXPECT_FALSE(MbrolaLibrary::load({PARLENDO_BRISA_PARTIAL, PARLENDO_BRISA_LIBRARY}, error));
    EXPECT_NE(error.find("appendf0_Phone"), std::string::npos) << error;
    EXPECT_FALSE(MbrolaLibrary::load({"/nonexistent/libbrisa-mbrola.so"}, error));
    // The first that loads is used.
    auto library = MbrolaLibrary::load({"/nonexistent/libbrisa-mbrola.so", PARLENDO_BRISA_LIBRARY}, error);
    ASSERT_TRUE(library) << error;
    EXPECT_EQ(library->path(), PARLENDO_BRISA_LIBRARY);
    EXPECT_EQ(MbrolaLibrary::searchPaths("/opt/x/bin").front(), "/opt/x/bin/libbrisa-mbrola.so");

    if (std::string_view(PARLENDO_BRISA_DATABASE).empty())
        GTEST_SKIP() << "the Brisa database is not built (PARLENDO_VOICE_DATA is off)";
    const MbrolaCalls& c = library->calls();
    const fs::path folder = freshTempFolder("brisa-db");
    // A database that cannot be read fails the start (the reader's refusals of damaged images
    // are tested above, at its own level).
    EXPECT_LT(c.init_MBR((folder / "none").c_str()), 0);
    std::ofstream((folder / "junk").string()) << "BRISADB1 not really";
    EXPECT_LT(c.init_MBR((folder / "junk").c_str()), 0);
    EXPECT_LT(c.write_MBR("a 100\r\n"), 0);  // no database open
    EXPECT_EQ(c.init_MBR(PARLENDO_BRISA_DATABASE), 0);
    EXPECT_EQ(c.init_rename_MBR(PARLENDO_BRISA_DATABASE, "a A", "A B"), 0);
    c.setNoError_MBR(0);
    EXPECT_EQ(c.write_MBR("B 100\r\n"), 0);
    EXPECT_LT(c.write_MBR("a 100\r\n"), 0);
    EXPECT_LT(c.init_rename_MBR(PARLENDO_BRISA_DATABASE, "a", nullptr), 0);
    c.close_MBR();
    fs::remove_all(folder);
}

}  // namespace
}  // namespace parlendo::testing
