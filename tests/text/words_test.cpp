// Word-at-a-time checks against the byte-at-a-time ones they stand for.
#include "text/words.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/cp1252.h"

namespace parlendo::text {
namespace {

// Every text of up to three bytes over an alphabet around letters, blanks and digits, and seeded
// random texts of up to 12 bytes from it, so that loads of every length are taken.
std::vector<std::string> texts(const std::string& alphabet) {
    std::vector<std::string> out{""};
    for (char a : alphabet) {
        out.emplace_back(1, a);
        for (char b : alphabet) {
            out.push_back(std::string{a, b});
            for (char c : alphabet) out.push_back(std::string{a, b, c});
        }
    }
    std::mt19937 random(1208);
    for (int i = 0; i < 30000; ++i) {
        std::string t(random() % 13, ' ');
        for (char& c : t) c = alphabet[random() % alphabet.size()];
        out.push_back(t);
    }
    return out;
}

TEST(Words, FoldedWordsMatchAsTheUpperCasingRuleDoes) {
    const std::string alphabet = std::string("rReEpPtT \t@`2\x12\xC3\xE3\xD0\xF0") + '\0';
    std::vector<std::string> all = texts(alphabet);
    // Texts near the words themselves, so that many of them match.
    std::mt19937 random(812);
    for (const char* word : {"repete ", "ReP\xE3T", "r"}) {
        for (int i = 0; i < 5000; ++i) {
            std::string t(word);
            t += alphabet[random() % alphabet.size()];
            t[random() % t.size()] = alphabet[random() % alphabet.size()];
            all.push_back(t);
        }
    }
    static constexpr FoldedWord kWords[] = {FoldedWord("REPETE "), FoldedWord("REP\xC3T"), FoldedWord("R"),
                                            FoldedWord("TT PP EE")};
    static constexpr std::string_view kUpper[] = {"REPETE ", "REP\xC3T", "R", "TT PP EE"};
    int matched = 0;
    for (const std::string& t : all) {
        for (size_t w = 0; w < std::size(kWords); ++w) {
            const bool expected = startsWithUpper(t, kUpper[w]);
            ASSERT_EQ(kWords[w].startsOf(t), expected) << "[" << t << "] " << kUpper[w];
            matched += expected;
        }
    }
    EXPECT_GT(matched, 1000);
}

TEST(Words, BlanksAndDigitsAreFoundAsByteByByte) {
    const std::string alphabet = std::string("0123456789 /:a\x80\xB0\xA0") + '\0';
    for (const std::string& t : texts(alphabet)) {
        const uint64_t w = loadWord(t.data(), t.size());
        const size_t shown = t.size() < kWordBytes ? t.size() : kWordBytes;
        for (size_t i = 0; i < kWordBytes; ++i)
            ASSERT_EQ((w >> (8 * i)) & 0xFF, i < shown ? static_cast<unsigned char>(t[i]) : 0u) << t;
        size_t blank = 0, digits = 0;
        while (blank < shown && t[blank] != ' ') ++blank;
        while (digits < shown && isDigit(t[digits])) ++digits;
        if (blank == shown && shown < kWordBytes) blank = kWordBytes;  // zero padding is no blank
        ASSERT_EQ(firstByteEqual(w, ' '), blank) << "[" << t << "]";
        ASSERT_EQ(leadingDigits(w), digits) << "[" << t << "]";
        if (digits > 0) ASSERT_EQ(digitsValue(w, digits), std::stoul(t.substr(0, digits))) << "[" << t << "]";
    }
}

}  // namespace
}  // namespace parlendo::text
