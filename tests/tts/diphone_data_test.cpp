// The diphone database the build makes for the built-in voice: a well-formed index over the sample
// file, every unit of the voice's alphabet present, audible and levelled, the translator's files
// beside it; and the generator refusing names the index cannot hold.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace parlendo {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string readText(const fs::path& path) {
    std::vector<uint8_t> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

struct Record {
    std::string name;
    size_t count;
    size_t offset;
};

std::vector<Record> readIndex(const std::vector<uint8_t>& index) {
    std::vector<Record> records;
    for (size_t r = 0; r + 15 <= index.size(); r += 15) {
        const uint8_t* p = &index[r];
        records.push_back(
            {std::string(reinterpret_cast<const char*>(p + 1), std::min<size_t>(p[0], 8)),
             static_cast<size_t>(p[9] | p[10] << 8),
             static_cast<size_t>(p[11] | p[12] << 8 | p[13] << 16) | static_cast<size_t>(p[14]) << 24});
        EXPECT_LE(p[0], 8) << "record " << r / 15;
    }
    return records;
}

// RMS of the loudest 40 ms (441 samples) of 8-bit unsigned samples.
double loudness(const uint8_t* s, size_t n) {
    const size_t w = std::min<size_t>(n, 441);
    double sum = 0, best = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += (s[i] - 128.0) * (s[i] - 128.0);
        if (i >= w) sum -= (s[i - w] - 128.0) * (s[i - w] - 128.0);
        best = std::max(best, sum);
    }
    return w ? std::sqrt(best / w) : 0;
}

// The names the synthesiser asks for, built from the alphabet the rules write.
std::vector<std::string> alphabetNames() {
    const std::vector<std::string> onsets = {"",  "B",  "D",  "F",  "G",  "K",  "L",  "M",
                                             "N", "P",  "R",  "S",  "T",  "V",  "X",  "Z",
                                             "J", "RR", "NH", "LH", "DJ", "KS", "KW", "GW"};
    const std::vector<std::string> nuclei = {"A",    "ACIRC", "ATIL",  "E",    "ECIRC", "ETIL", "I",
                                             "ITIL", "O",     "OCIRC", "OTIL", "U",     "UTIL"};
    std::vector<std::string> names;
    for (const std::string& o : onsets)
        for (const std::string& n : nuclei) names.push_back("$" + o + n);
    names.push_back("$TCHI");
    names.push_back("$TCHITIL");
    for (const std::string& n : nuclei)
        for (const char* g : {"Y", "W"}) names.push_back("$" + n.substr(0, 1) + g + n.substr(1));
    for (const std::string& o : onsets)
        if (!o.empty()) names.push_back("$" + o);
    names.push_back("$TCH");
    names.push_back("$NN");
    return names;
}

class DiphoneDataTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef PARLENDO_DIPHONE_DIR
        GTEST_SKIP() << "the diphone database is not built (PARLENDO_VOICE_DATA is off)";
#else
        folder_ = PARLENDO_DIPHONE_DIR;
        index_ = readBytes(folder_ / "DIFONES2.IND");
        samples_ = readBytes(folder_ / "DIFONES2.DIF");
        records_ = readIndex(index_);
#endif
    }
    fs::path folder_;
    std::vector<uint8_t> index_, samples_;
    std::vector<Record> records_;
};

TEST_F(DiphoneDataTest, IndexIsSortedUniqueAndInsideTheSampleFile) {
    ASSERT_FALSE(index_.empty());
    EXPECT_EQ(index_.size() % 15, 0u);
    for (size_t i = 0; i < records_.size(); ++i) {
        const Record& r = records_[i];
        EXPECT_GE(r.name.size(), 2u);
        EXPECT_EQ(r.name[0], '$') << r.name;
        for (char c : r.name.substr(1)) {
            EXPECT_TRUE(c >= 'A' && c <= 'Z') << r.name;
        }
        if (i > 0) {
            EXPECT_LT(records_[i - 1].name, r.name) << "not sorted or not unique";
        }
        EXPECT_GT(r.count, 0u) << r.name;
        EXPECT_LE(r.offset + r.count, samples_.size()) << r.name;
    }
}

TEST_F(DiphoneDataTest, EveryUnitOfTheAlphabetIsThereAudibleAndLevelled) {
    std::map<std::string, const Record*> byName;
    for (const Record& r : records_) byName[r.name] = &r;
    for (const std::string& name : alphabetNames()) {
        auto it = byName.find(name);
        if (it == byName.end()) {
            ADD_FAILURE() << name << " missing";
            continue;
        }
        const Record& r = *it->second;
        ASSERT_LE(r.offset + r.count, samples_.size()) << name;
        const uint8_t* s = samples_.data() + r.offset;
        int peak = 0;
        for (size_t i = 0; i < r.count; ++i) peak = std::max(peak, std::abs(s[i] - 128));
        EXPECT_GE(peak, 4) << name << " is silent";
        bool hasVowel = name.find_first_of("AEIOU", 1) != std::string::npos;
        if (hasVowel) {
            // Units with a vowel are brought to one loudness and kept clear of clipping.
            double level = loudness(s, r.count);
            EXPECT_GT(level, 20) << name;
            EXPECT_LT(level, 40) << name;
            EXPECT_LT(peak, 127) << name;
            EXPECT_LT(r.count, 11025u / 2) << name << " is longer than half a second";
        } else {
            EXPECT_LE(r.count, 11025u / 10) << name << ": a consonant alone is short";
        }
    }
}

// RMS of 8-bit unsigned samples s[from, to).
double rms(const uint8_t* s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += (s[i] - 128.0) * (s[i] - 128.0);
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

// Units cut from inside carrier words join without silence or a fall of loudness: a unit that
// starts with a vowel is near full strength in its first 12 ms (a pitch period at least), one
// that ends with a vowel is so until its last 2 ms, and a fricative starts sounding at once (no lead-in
// silence).
TEST_F(DiphoneDataTest, UnitsStartAndEndWithoutSilenceAtTheirJoins) {
    auto isVowel = [](char c) { return std::strchr("AEIOU", c) != nullptr; };
    int checked = 0;
    for (const Record& r : records_) {
        ASSERT_LE(r.offset + r.count, samples_.size()) << r.name;
        const uint8_t* s = samples_.data() + r.offset;
        const size_t n = r.count;
        if (n < 300) continue;
        const std::string& name = r.name;
        const bool hasVowel = name.find_first_of("AEIOU", 1) != std::string::npos;
        if (!hasVowel) continue;
        const double level = loudness(s, n);
        if (isVowel(name[1])) {
            EXPECT_GT(rms(s, 0, 132), 0.35 * level) << name << " starts in silence";
            ++checked;
        }
        if (std::strchr("SFXZJV", name[1]) && !isVowel(name[1])) {
            int peak = 0;
            for (size_t i = 0; i < 55; ++i) peak = std::max(peak, std::abs(s[i] - 128));
            EXPECT_GE(peak, 2) << name << " starts in silence";
        }
        // The vowel goes on to the end (the last 2 ms are a fade); a glide is weaker than a vowel.
        std::string plain = name;
        for (const char* mark : {"CIRC", "TIL"})
            if (plain.size() > std::strlen(mark) &&
                plain.compare(plain.size() - std::strlen(mark), std::string::npos, mark) == 0)
                plain.resize(plain.size() - std::strlen(mark));
        const bool glide = plain.back() == 'W' || plain.back() == 'Y';
        EXPECT_GT(rms(s, n - 154, n - 22), (glide ? 0.2 : 0.35) * level)
            << name << " fades out before its end";
    }
    EXPECT_GT(checked, 30);
}

// The longest run of 1 ms frames (11 samples) of s[0, n) quieter than half an 8-bit step (RMS).
size_t longestQuietRun(const uint8_t* s, size_t n) {
    size_t longest = 0, run = 0;
    for (size_t i = 0; i + 11 <= n; i += 11) {
        run = rms(s, i, i + 11) < 0.5 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// A voiced stop's closure and the tap hold a voice bar: no 6 ms of a unit that starts with one
// (b, d, g, r, dj, v, z, j, alone or before a vowel) are silent, which a word would have as a
// gap; a voiceless stop keeps the silence of its closure. And a unit ending in a vowel joined to
// one starting with a vowel keeps its loudness across the join: both are cut at the quietest
// point of a pitch period, so the join neither skips a glottal pulse (a 10 ms dip) nor doubles
// one. The dip is the level 10-20 ms either side against the quietest 10 ms across the join.
TEST_F(DiphoneDataTest, VoicedClosuresAreNeverSilentAndVowelJoinsDoNotDip) {
    std::map<std::string, const Record*> byName;
    for (const Record& r : records_) byName[r.name] = &r;
    int voiced = 0;
    for (const Record& r : records_) {
        ASSERT_LE(r.offset + r.count, samples_.size()) << r.name;
        const char first = r.name[1];
        const uint8_t* s = samples_.data() + r.offset;
        if (std::strchr("BDGRVZJ", first) && r.name.substr(0, 3) != "$RR") {
            EXPECT_LT(longestQuietRun(s, r.count), 6u) << r.name << " has a silent closure";
            ++voiced;
        }
    }
    EXPECT_GT(voiced, 100);
    for (const char* name : {"$PA", "$TA", "$KA"}) {
        ASSERT_TRUE(byName.count(name)) << name;
        EXPECT_GE(longestQuietRun(samples_.data() + byName[name]->offset, byName[name]->count), 6u) << name;
    }
    std::vector<double> dips;
    for (const char* before : {"$A", "$DA", "$MA", "$SA", "$TI", "$DJI", "$DU", "$NI", "$LO", "$RACIRC",
                               "$ZI", "$TU", "$MACIRC", "$KOTIL", "$LOCIRC"})
        for (const char* after : {"$A", "$ACIRC", "$I", "$U", "$E", "$OCIRC", "$AW", "$OWCIRC"}) {
            ASSERT_TRUE(byName.count(before) && byName.count(after)) << before << after;
            const Record& b = *byName[before];
            const Record& a = *byName[after];
            std::vector<uint8_t> joined(samples_.begin() + static_cast<long>(b.offset),
                                        samples_.begin() + static_cast<long>(b.offset + b.count));
            joined.insert(joined.end(), samples_.begin() + static_cast<long>(a.offset),
                          samples_.begin() + static_cast<long>(a.offset + a.count));
            const size_t p = b.count, ten = 110;
            ASSERT_GT(p, 2 * ten);
            ASSERT_GT(a.count, 2 * ten);
            auto db = [&](size_t from, size_t to) {
                return 20 * std::log10(rms(joined.data(), from, to) + 1e-3);
            };
            double lowest = 100;
            for (size_t q = p - ten; q <= p; q += 11) lowest = std::min(lowest, db(q, q + ten));
            dips.push_back((db(p - 2 * ten, p - ten) + db(p + ten, p + 2 * ten)) / 2 - lowest);
        }
    std::sort(dips.begin(), dips.end());
    // A 10 ms window over a period of 11 ms leaves a few dB even inside one steady vowel; units
    // cut anywhere in the period dip by 6.6 dB in the median, 11 in the 90th percentile, 17 most.
    EXPECT_LT(dips[dips.size() / 2], 5.5) << "median dip at vowel joins, dB";
    EXPECT_LT(dips[dips.size() * 9 / 10], 8.0) << "90th percentile";
    EXPECT_LT(dips.back(), 11.0) << "deepest";
}

TEST_F(DiphoneDataTest, TranslatorFilesAreBesideTheDatabase) {
    EXPECT_TRUE(fs::is_regular_file(folder_ / "regras.rgr"));
    EXPECT_TRUE(fs::is_regular_file(folder_ / "portug.exc"));
}

#ifdef PARLENDO_MAKE_DIPHONES
// Runs the generator on an inventory of its own; its messages go to `log`.
int runGenerator(const fs::path& inventory, const fs::path& out, const fs::path& log) {
    std::string command = std::string("'") + PARLENDO_MAKE_DIPHONES + "' '" + inventory.string() + "' '" +
                          out.string() + "' >'" + log.string() + "' 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DiphoneGeneratorTest, RefusesLongNamesAndRepeatsItsOutput) {
    fs::path dir = fs::temp_directory_path() / ("diphone_gen_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        std::ofstream(dir / "long.txt") << "nucleus a^ &\nonset tch tS\n";
        std::ofstream(dir / "small.txt") << "# two nuclei, one onset\nnucleus a a\nnucleus a~ &~  # nasal\n"
                                            "glide w w\nonset k k\nunit nn Nn\nunit $PS ps\n";
    }
    EXPECT_EQ(runGenerator(dir / "long.txt", dir / "long", dir / "long.log"), 1);
    std::string log = readText(dir / "long.log");
    EXPECT_NE(log.find("$TCHACIRC"), std::string::npos) << log;
    EXPECT_NE(log.find("longer than 8"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(dir / "long" / "DIFONES2.IND"));

    // A mnemonic espeak-ng does not know would be skipped silently and the unit would sound wrong.
    { std::ofstream(dir / "typo.txt") << "nucleus a a\nunit qq Q9\n"; }
    EXPECT_EQ(runGenerator(dir / "typo.txt", dir / "typo", dir / "typo.log"), 1);
    log = readText(dir / "typo.log");
    EXPECT_NE(log.find("$QQ"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(dir / "typo" / "DIFONES2.IND"));

    ASSERT_EQ(runGenerator(dir / "small.txt", dir / "one", dir / "one.log"), 0) << readText(dir / "one.log");
    ASSERT_EQ(runGenerator(dir / "small.txt", dir / "two", dir / "two.log"), 0) << readText(dir / "two.log");
    std::vector<Record> records = readIndex(readBytes(dir / "one" / "DIFONES2.IND"));
    std::vector<std::string> names;
    for (const Record& r : records) names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<std::string>{"$A", "$ATIL", "$AW", "$AWTIL", "$K", "$KA", "$KATIL", "$NN",
                                               "$PS"}));
    EXPECT_EQ(readBytes(dir / "one" / "DIFONES2.IND"), readBytes(dir / "two" / "DIFONES2.IND"));
    EXPECT_EQ(readBytes(dir / "one" / "DIFONES2.DIF"), readBytes(dir / "two" / "DIFONES2.DIF"));
    fs::remove_all(dir);
}
#endif

}  // namespace
}  // namespace parlendo
