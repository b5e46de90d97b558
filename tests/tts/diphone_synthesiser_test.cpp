// The diphone synthesiser over a tiny database: tokens, their splitting, names and their
// fallbacks, shortening, word gaps, letter recordings and the sound buffer's pieces.
#include "tts/diphone_synthesiser.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>

#include "../console/fake_wave_player.h"
#include "../interp/fixture.h"
#include "diphone_test_data.h"
#include "tts/diphone_database.h"

namespace parlendo::testing {
namespace {

namespace fs = std::filesystem;
using Runs = std::vector<std::pair<int, size_t>>;

class Synth : public ::testing::Test {
protected:
    void SetUp() override { folder_ = freshTempFolder("synth"); }
    void TearDown() override { fs::remove_all(folder_); }

    // Opens a database of these diphones; timing as given.
    void use(const std::map<std::string, TinyDiphone>& units, int cut = 0, int keep = 0, int gap = 0) {
        writeTinyDatabase(folder_, units);
        ASSERT_TRUE(database_.open((folder_ / "DIFONES2.IND").string(), (folder_ / "DIFONES2.DIF").string()));
        synth_.setDiphoneTiming(cut, keep, gap);
        synth_.setSink(&sink_);
        synth_.setCharacterFolder(folder_.string() + "/");
        synth_.setLookupReport([this](std::string_view name, LookupOutcome o) {
            looked_.push_back(std::string(name) + " " + lookupOutcomeName(o));
        });
    }
    Runs say(const std::string& phonetic) {
        sink_ = CollectingSink{};
        looked_.clear();
        EXPECT_TRUE(synth_.synthesise(phonetic));
        return sink_.runs();
    }

    fs::path folder_;
    DiphoneDatabase database_;
    DiphoneSynthesiser synth_{database_};
    CollectingSink sink_;
    std::vector<std::string> looked_;
};

TEST_F(Synth, AWholeNameIsPlayedAndAMissingOneDecomposesByItsLastVowel) {
    use({{"$KASA", {1000, 10}}, {"$KAS", {500, 20}}, {"$A", {400, 30}}});
    EXPECT_EQ(say("[kasa]"), (Runs{{10, 1000}}));
    EXPECT_EQ(looked_, (std::vector<std::string>{"$KASA Found"}));

    use({{"$KAS", {500, 20}}, {"$A", {400, 30}}});
    EXPECT_EQ(say("[kasa]"), (Runs{{20, 450}, {30, 400}})) << "$KAS at 0.9, then $A whole";
    EXPECT_EQ(looked_, (std::vector<std::string>{"$KASA Decomposed", "$KAS Found", "$A Found"}));

    use({{"$A", {400, 30}}});
    EXPECT_EQ(say("[kasa]"), (Runs{{30, 400}})) << "$KAS ends in no vowel nor mark: dropped";
    EXPECT_EQ(looked_, (std::vector<std::string>{"$KASA Decomposed", "$KAS Dropped", "$A Found"}));
}

TEST_F(Synth, DiphonesAreCutButKeepTheirLeastExceptFromAStressedVowelOn) {
    use({{"$KA", {1000, 10}}, {"$PA", {600, 20}}, {"$TA", {400, 30}}, {"$A", {1000, 40}}}, 300, 500);
    EXPECT_EQ(say("[ka][pa][ta]"), (Runs{{10, 700}, {20, 500}, {30, 400}}));
    // Names of two characters are never cut.
    EXPECT_EQ(say("[a]"), (Runs{{40, 1000}}));

    use({{"$KACIRC", {1000, 10}}, {"$TA", {1000, 20}}, {"$PA", {1000, 30}}}, 300, 0);
    // The stressed unit's name before its stressed vowel is cut, the one after it is not; the
    // next unit is cut again.
    EXPECT_EQ(say("[ka^tA /pa]"), (Runs{{10, 700}, {20, 1000}, {30, 700}}));
    EXPECT_EQ(say("[pA /ta]"), (Runs{{30, 1000}, {20, 700}}));
}

TEST_F(Synth, CutEndsFadeToSilenceWhenAskedWithoutChangingLengths) {
    // Samples far from silence, so that a fade shows; 200 is 72 above the middle.
    use({{"$KA", {1000, 200}}, {"$PA", {400, 200}}}, 300, 500);
    synth_.setFadeCutEnds(true);
    say("[ka][pa]");
    ASSERT_EQ(sink_.samples.size(), 700u + 400u) << "a fade changes no length";
    EXPECT_EQ(sink_.samples[699], 128) << "the cut diphone ends in silence";
    EXPECT_GT(sink_.samples[699 - 20], 128);
    EXPECT_LT(sink_.samples[699 - 20], 200) << "and is brought down over its last samples";
    EXPECT_EQ(sink_.samples[699 - 40], 200) << "the fade is short";
    EXPECT_EQ(sink_.samples.back(), 200) << "a diphone played whole (shorter than the cut) is left alone";
}

TEST_F(Synth, TokensSplitIntoUnits) {
    use({{"$P", {100, 1}},
         {"$RA", {100, 2}},
         {"$RRA", {100, 3}},
         {"$KA", {100, 4}},
         {"$RR", {100, 5}},
         {"$PA", {100, 6}},
         {"$AY", {100, 7}},
         {"$MACIRC", {100, 8}},
         {"$AWTIL", {100, 9}},
         {"$A", {100, 10}},
         {"$S", {100, 11}},
         {"$TCHI", {100, 12}},
         {"$DJA", {100, 13}},
         {"$KWA", {100, 14}},
         {"$R", {100, 15}},
         {"$TACIRC", {100, 16}},
         {"$PO", {100, 17}},
         {"$NHA", {100, 18}},
         {"$KSA", {100, 19}}});
    auto names = [&](const std::string& phonetic) {
        say(phonetic);
        std::string all;
        for (const std::string& l : looked_) all += l.substr(0, l.find(' ')) + " ";
        return all;
    };
    EXPECT_EQ(names("[pra]"), "$P $RA ");  // a cluster's first letter alone
    EXPECT_EQ(names("[rra]"), "$RRA ");    // rr, nh, ks, dj and tch are onsets
    EXPECT_EQ(names("[nha][ksa][dja][tchi]"), "$NHA $KSA $DJA $TCHI ");
    EXPECT_EQ(names("[kwa]"), "$KWA ");                     // w is no consonant
    EXPECT_EQ(names("[karr]"), "$KA $RR ");                 // a final rr
    EXPECT_EQ(names("[kas]"), "$KA $S ");                   // a final consonant
    EXPECT_EQ(names("[as]"), "$A $S ");                     // a final s
    EXPECT_EQ(names("[pay]"), "$PA $AY ");                  // vowel and glide
    EXPECT_EQ(names("[ma~w]"), "$MACIRC $AWTIL ");          // vowel, mark, glide
    EXPECT_EQ(names("[p/o /r/t/a^ ]"), "$PO $R $TACIRC ");  // a coda joins the next syllable

    // The factors: the part before a glide at 0.6, before a final s at 0.7, the glide and the s
    // at the token's own.
    EXPECT_EQ(say("[pay]"), (Runs{{6, 60}, {7, 100}}));
    EXPECT_EQ(say("[as]"), (Runs{{10, 70}, {11, 100}}));
    EXPECT_EQ(say("[ma~w]"), (Runs{{8, 60}, {9, 100}}));

    // "/" is dropped inside a token of up to 8 characters and ends a longer one.
    EXPECT_EQ(names("[k/a/s/a]"), "$KASA $KAS $A ");
    EXPECT_EQ(names("[aaaaaaaaa/ka]"),
              "$AAAAAAAAA $AAAAAAAA $AAAAAAA $AAAAAA $AAAAA $AAAA $AAA $AA $A $A $A $A $A "
              "$A $A $A $A $KA ");
}

TEST_F(Synth, MarkedNamesFallBackToCircAndTheNasalMurmur) {
    use({{"$KACIRC", {1000, 10}},
         {"$NN", {500, 20}},
         {"$KI", {1000, 30}},
         {"$K", {200, 40}},
         {"$ACIRC", {300, 50}}},
        300, 0);
    // $KATIL: $KACIRC at 0.9 and uncut, then $NN at 0.9 and cut.
    EXPECT_EQ(say("[ka~]"), (Runs{{10, 900}, {20, 180}}));
    EXPECT_EQ(looked_, (std::vector<std::string>{"$KATIL Decomposed", "$KACIRC Found", "$NN Found"}));
    // After I or U no CIRC is added and the mode stays.
    EXPECT_EQ(say("[ki~]"), (Runs{{30, 630}, {20, 180}}));
    // A missing CIRC name of 7 or more: its head at 0.9, then "$" and its last five characters.
    use({{"$K", {200, 40}}, {"$ACIRC", {300, 50}}}, 0, 0);
    EXPECT_EQ(say("[ka^]"), (Runs{{40, 180}, {50, 300}}));
    EXPECT_EQ(looked_, (std::vector<std::string>{"$KACIRC Decomposed", "$K Found", "$ACIRC Found"}));
}

TEST_F(Synth, AMissingShortNameIsNoiseAndWordsAreFollowedBySilence) {
    use({{"$KA", {1000, 10}}}, 0, 0, 250);
    EXPECT_EQ(say("[ka][ka]"), (Runs{{10, 1000}, {128, 200}, {10, 1000}, {128, 200}}));
    say("[b]");
    EXPECT_EQ(looked_, (std::vector<std::string>{"$B Noise"}));
    ASSERT_EQ(sink_.samples.size(), 300u + 200u);
    for (size_t i = 0; i < 300; ++i) {
        EXPECT_GE(sink_.samples[i], 88);
        EXPECT_LE(sink_.samples[i], 167);
    }
    // Before any setting: 400 cut, none kept, 100 of silence.
    DiphoneSynthesiser fresh(database_);
    fresh.setSink(&sink_);
    sink_ = CollectingSink{};
    fresh.synthesise("[ka]");
    EXPECT_EQ(sink_.runs(), (Runs{{10, 600}, {128, 100}}));
}

TEST_F(Synth, LetterReferencesPlayTheCharacterRecordings) {
    use({{"$KA", {100, 10}}});
    writeWav(folder_ / "_65.wav", 50, 200);
    writeWav(folder_ / "_115.wav", 40, 210);
    EXPECT_EQ(say("[ /_A]"), (Runs{{200, 50}}));
    EXPECT_EQ(say("[ /_s]"), (Runs{{210, 40}})) << "\"_s\" is one unit";
    EXPECT_EQ(say("[ /_A/ka ]"), (Runs{{200, 50}, {10, 100}}));
    EXPECT_EQ(say("[ /_B]"), (Runs{})) << "a missing recording adds nothing";
    EXPECT_TRUE(looked_.empty());
}

TEST_F(Synth, ALongTextIsPlayedInPiecesWithoutLoss) {
    use({{"$KA", {3000, 10}}, {"$SA", {2000, 20}}}, 0, 0, 100);
    std::string text;
    for (int i = 0; i < 40; ++i) text += "[ka /sa ]";
    say(text);
    ASSERT_GE(sink_.images.size(), 3u);
    size_t total = 0;
    for (const auto& image : sink_.images) {
        ASSERT_LE(image.size(), DiphoneSynthesiser::kBufferSize);
        ASSERT_GT(image.size(), DiphoneSynthesiser::kHeaderSize);
        std::string head(image.begin(), image.begin() + 4);
        EXPECT_EQ(head, "RIFF");
        const size_t dataSize = image[40] | image[41] << 8 | image[42] << 16 | image[43] << 24;
        EXPECT_EQ(dataSize, image.size() - DiphoneSynthesiser::kHeaderSize);
        EXPECT_EQ(image[22], 1);                       // mono
        EXPECT_EQ(image[24] | image[25] << 8, 11025);  // rate
        EXPECT_EQ(image[34], 8);                       // bits
        total += dataSize;
    }
    EXPECT_EQ(total, 40u * (3000 + 2000 + 100));
    Runs runs = sink_.runs();
    EXPECT_EQ(runs.front(), (std::pair<int, size_t>{10, 3000}));

    // A sink that is cut short ends the text.
    sink_ = CollectingSink{};
    sink_.interrupt = true;
    EXPECT_FALSE(synth_.synthesise(text));
    EXPECT_EQ(sink_.images.size(), 1u);

    // Lookup only: names reported, nothing played.
    synth_.setLookupOnly(true);
    sink_ = CollectingSink{};
    looked_.clear();
    EXPECT_TRUE(synth_.synthesise("[ka /sa /bo ]"));
    EXPECT_TRUE(sink_.images.empty());
    EXPECT_EQ(looked_,
              (std::vector<std::string>{"$KA Found", "$SA Found", "$BO Decomposed", "$B Noise", "$O Noise"}));
}

TEST_F(Synth, StrangeInputEndsWithoutHarm) {
    use({{"$KA", {100, 10}}});
    for (std::string text : {std::string("["), std::string("]]]]"), std::string("_"), std::string("~^~^/ /"),
                             std::string("[\0\xFF_", 4), std::string(5000, 'k'), std::string(3000, '/')})
        synth_.synthesise(text);
    // A cut index record and a name longer than any in the index are harmless.
    std::ofstream(folder_ / "DIFONES2.IND", std::ios::binary | std::ios::app) << "\x05$ZZ";
    ASSERT_TRUE(database_.open((folder_ / "DIFONES2.IND").string(), (folder_ / "DIFONES2.DIF").string()));
    EXPECT_EQ(database_.size(), 1u);
    EXPECT_FALSE(database_.find("$KASAKASAK").has_value());
    EXPECT_TRUE(database_.find("$KA").has_value());
}

}  // namespace
}  // namespace parlendo::testing

namespace parlendo {
namespace {

namespace fs = std::filesystem;

// The mean distance between upward zero crossings of 8-bit samples s[from, to).
// Writes a database of three-letter names, each `count` samples of wave(i), sorted as given.
template <typename Wave>
void writeWaveDatabase(const fs::path& folder, std::initializer_list<const char*> names, int count,
                       Wave wave) {
    std::string index, samples;
    for (const char* name : names) {
        std::string record(15, '\0');
        record[0] = 3;
        std::copy(name, name + 3, record.begin() + 1);
        const uint32_t offset = static_cast<uint32_t>(samples.size());
        record[9] = static_cast<char>(count & 0xFF);
        record[10] = static_cast<char>(count >> 8);
        for (int b = 0; b < 4; ++b) record[11 + b] = static_cast<char>((offset >> (8 * b)) & 0xFF);
        index += record;
        for (int i = 0; i < count; ++i) samples += static_cast<char>(wave(i));
    }
    std::ofstream(folder / "DIFONES2.IND", std::ios::binary) << index;
    std::ofstream(folder / "DIFONES2.DIF", std::ios::binary) << samples;
}

double meanPeriod(const std::vector<uint8_t>& s, size_t from, size_t to) {
    std::vector<size_t> ups;
    for (size_t i = from + 1; i < to && i < s.size(); ++i)
        if (s[i - 1] < 128 && s[i] >= 128) ups.push_back(i);
    return ups.size() < 2
               ? 0
               : static_cast<double>(ups.back() - ups.front()) / static_cast<double>(ups.size() - 1);
}

// With its melody the voice says an unstressed unit shorter and lower than a stressed one, and
// lowers and slows down the last word of a text; every diphone here is one wave of period 100.
TEST(SynthMelody, UnstressedUnitsAreShorterAndLowerAndTheLastWordFalls) {
    const fs::path folder = fs::temp_directory_path() / ("synth_melody_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    writeWaveDatabase(folder, {"$AW", "$PA", "$TA"}, 2000, [](int i) { return i % 100 < 50 ? 168 : 88; });
    DiphoneDatabase database;
    ASSERT_TRUE(database.open((folder / "DIFONES2.IND").string(), (folder / "DIFONES2.DIF").string()));
    DiphoneSynthesiser synth(database);
    testing::CollectingSink sink;
    synth.setSink(&sink);
    synth.setDiphoneTiming(0, 0, 0);
    synth.setMelody(true);
    std::vector<size_t> starts;
    synth.setLookupReport([&](std::string_view, LookupOutcome) { starts.push_back(synth.produced()); });
    ASSERT_TRUE(synth.synthesise("[pA /ta][pA /ta][pA /ta]"));
    ASSERT_EQ(starts.size(), 6u);
    starts.push_back(sink.samples.size());
    auto length = [&](size_t k) { return starts[k + 1] - starts[k]; };
    auto period = [&](size_t k) { return meanPeriod(sink.samples, starts[k], starts[k + 1]); };
    // The first stressed unit of the run is raised: said whole, in fewer samples.
    const double raised = std::pow(2.0, DiphoneSynthesiser::kFirstStressSemitones / 12);
    EXPECT_NEAR(static_cast<double>(length(0)), 2000 / raised, 2) << "a stressed unit is said whole";
    EXPECT_NEAR(period(0), 100 / raised, 1);
    EXPECT_LT(length(1), length(2) * 0.85) << "unstressed: shorter";
    EXPECT_GT(period(1), period(0) * 1.05) << "unstressed: lower";
    EXPECT_GT(period(2), period(0)) << "the words step down";
    EXPECT_GT(period(4), period(2) * 1.1) << "the last word falls";
    EXPECT_GT(period(5), period(3) * 1.1);
    EXPECT_GT(length(4), length(2)) << "the last word is slower";

    // The raised accent is the whole stressed syllable, its vowel with its glide too, and no
    // stressed unit after it, in the same word or the next, is raised again.
    starts.clear();
    sink.samples.clear();
    ASSERT_TRUE(synth.synthesise("[pAw /ta][pA /ta]"));
    ASSERT_EQ(starts.size(), 5u);  // $PA $AW $TA, $PA $TA
    starts.push_back(sink.samples.size());
    EXPECT_NEAR(period(0), 100 / raised, 1);
    EXPECT_NEAR(period(1), 100 / raised, 1) << "the glide keeps its syllable's accent";
    EXPECT_GT(period(3), period(1) * 1.05) << "the second word's stressed unit is not raised";
    fs::remove_all(folder);
}

// A unit shortened by the melody ends where its pitch period does, at the quietest point before
// the next glottal pulse: the next unit's first pulse then comes one period after the last one,
// never half a period or two. Each diphone here is pulses every 100 samples, decaying.
TEST(SynthMelody, AShortenedUnitEndsWithItsPitchPeriod) {
    const fs::path folder = fs::temp_directory_path() / ("synth_period_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    writeWaveDatabase(folder, {"$PA", "$TA"}, 2000, [](int i) {
        return 128 +
               std::lround(100 * std::exp(-(i % 100) / 12.0) * std::sin(2 * 3.14159265 * (i % 100) / 10));
    });
    DiphoneDatabase database;
    ASSERT_TRUE(database.open((folder / "DIFONES2.IND").string(), (folder / "DIFONES2.DIF").string()));
    DiphoneSynthesiser synth(database);
    testing::CollectingSink sink;
    synth.setSink(&sink);
    synth.setDiphoneTiming(0, 0, 0);
    synth.setMelody(true);
    ASSERT_TRUE(synth.synthesise("[pA /ta /ta /ta]"));
    // Where each pulse starts: the first sample far from the middle after 40 quiet ones.
    std::vector<size_t> pulses;
    size_t quiet = 40;
    for (size_t i = 0; i < sink.samples.size(); ++i) {
        const bool loud = std::abs(sink.samples[i] - 128) > 30;
        if (loud && quiet >= 40) pulses.push_back(i);
        quiet = loud ? 0 : quiet + 1;
    }
    ASSERT_GT(pulses.size(), 50u);
    // The periods said grow as the melody lowers the pitch; none is cut short or doubled.
    for (size_t k = 1; k < pulses.size(); ++k) {
        const size_t period = pulses[k] - pulses[k - 1];
        EXPECT_GT(period, 80u) << "pulse " << k;
        EXPECT_LT(period, 160u) << "pulse " << k;
    }
    fs::remove_all(folder);
}

}  // namespace
}  // namespace parlendo
