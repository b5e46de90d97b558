// The readers take the common short forms (one letter and a blank, a few digits and a blank, a
// keyword before its blank) without the general walk. Each short form must give exactly what the
// general reading gives: the same result, the same slot and the same text left over.
#include <gtest/gtest.h>

#include <cctype>
#include <random>

#include "fixture.h"
#include "interp/argument_reader.h"
#include "interp/command_table.h"

namespace parlendo {
namespace {

using testing::Machine;

// Every text of one to three bytes over bytes chosen around the edges of each short form.
std::vector<std::string> shortTexts() {
    const std::string alphabet = std::string("aZz@[`{09-$x \t") + '\0' + "\xE3\xC3\x80";
    std::vector<std::string> out;
    for (char a : alphabet) {
        out.emplace_back(1, a);
        for (char b : alphabet) {
            out.push_back(std::string{a, b});
            for (char c : alphabet) out.push_back(std::string{a, b, c});
        }
    }
    for (const char* digits :
         {"123456789", "999999999 ", "1234567890", "2147483647 x", "2147483648", "0000000000012",
          "12345678901", "7.5", "42abc", "5\t", "-2147483648 ", "1000000"})
        out.emplace_back(digits);
    // Texts of 4 to 12 bytes, mostly digits, so that every length of digit run meets every kind of
    // byte after it, at every place within and past the first eight bytes.
    std::mt19937 random(8122026);
    const std::string bytes = std::string("0123456789999 \t/:x\x80\xB0") + '\0';
    for (int i = 0; i < 20000; ++i) {
        std::string t(4 + random() % 9, '0');
        for (char& c : t)
            c = random() % 3 ? static_cast<char>('0' + random() % 10) : bytes[random() % bytes.size()];
        out.push_back(t);
    }
    return out;
}

TEST(FastReaders, AgreeWithTheGeneralReadingOnEveryShortText) {
    Machine m;
    m.set("A", "17");
    m.set("Z", " 8 ");
    m.set("X", "$1F");
    for (const std::string& text : shortTexts()) {
        std::string_view fast = text, full = text;
        int fastSlot = -1, fullSlot = -1;
        const bool fastOk = readVariable(m.in, fast, fastSlot);
        const bool fullOk = readVariableInFull(m.in, full, fullSlot);
        ASSERT_EQ(fastOk, fullOk) << "variable in [" << text << "]";
        if (fastOk) {
            EXPECT_EQ(fastSlot, fullSlot) << text;
            EXPECT_EQ(fast, full) << text;
        }
        for (bool trimmed : {false, true}) {
            std::string_view f = text, g = text;
            EXPECT_EQ(readInteger(m.in, f, trimmed), readIntegerInFull(m.in, g, trimmed))
                << "integer in [" << text << "] trimmed " << trimmed;
            EXPECT_EQ(f, g) << text;
        }
    }
}

// The counting commands' usual arguments, a letter and a number read at once, against the
// variable and integer readers one after the other.
TEST(FastReaders, LetterAndNumberAgreesWithTheReaders) {
    Machine m;
    m.set("B", "5");
    std::vector<std::string> texts;
    for (const std::string& t : shortTexts())
        for (const char* front : {"i ", "Z ", "b ", "i  ", "i\t", "[ ", "\xE3 ", "ab ", ""})
            texts.push_back(front + t);
    int taken = 0;
    for (const std::string& text : texts) {
        std::optional<LetterAndNumber> usual = letterAndNumber(text);
        if (!usual) continue;
        ++taken;
        std::string_view rest = text;
        int slot = -1;
        ASSERT_TRUE(readVariable(m.in, rest, slot)) << text;
        EXPECT_EQ(usual->slot, slot) << text;
        EXPECT_EQ(readInteger(m.in, rest), std::optional<int32_t>(usual->number)) << text;
        EXPECT_TRUE(rest.empty()) << text;
    }
    // Every text that is a letter, one blank and one to eight digits, and no other.
    int expected = 0;
    for (const std::string& text : texts) {
        const size_t digits = text.size() >= 2 ? text.find_first_not_of("0123456789", 2) : 0;
        if (text.size() >= 3 && text.size() <= 10 && std::isalpha(static_cast<unsigned char>(text[0])) &&
            text[1] == ' ' && digits == std::string::npos)
            ++expected;
    }
    EXPECT_EQ(taken, expected);
    EXPECT_GT(taken, 1000);
}

// The entry a line's keyword names, found by trying every entry in order the long way.
const CommandEntry* keywordTheLongWay(std::string_view line, size_t& length) {
    length = line.find(' ');
    if (length == std::string_view::npos) length = line.size();
    std::string_view keyword = line.substr(0, length);
    for (const CommandEntry& e : commandTable())
        if (text::equalsUpper(keyword, e.keyword)) return &e;
    return nullptr;
}

// The language's rule run backwards: a lower-case spelling of an upper-case keyword.
std::string lowerCased(std::string_view upper) {
    std::string s(upper);
    for (char& c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDF)) c = static_cast<char>(u + 32);
    }
    return s;
}

TEST(FastReaders, KeywordsAreFoundAsTheyAreByTheLongWay) {
    std::vector<std::string> lines;
    for (const CommandEntry& e : commandTable()) {
        const std::string upper(e.keyword), lower = lowerCased(e.keyword);
        for (const std::string& k : {upper, lower}) {
            lines.push_back(k);
            lines.push_back(k + " a 1");
            lines.push_back(k + "  x");
            lines.push_back(k + "\ta");
            lines.push_back(k + "S b");
            lines.push_back(k.substr(0, k.size() - 1) + " c");
            lines.push_back(k + std::string(1, '\0') + " d");
        }
    }
    for (const char* odd : {"SEN\xE4O", "sen\xE3o x", "abcdefghijklmnop", "abcdefghijklmnopq r",
                            "DECODARQBASE64X", "x", "*", "UTF\x18PARAANSI", "utf8paraansi a", "S\x0FMA",
                            "\x13OMA x", "FI\x0D", "ENQUANTOx", "enquanto\ty", "ENQUANTO"})
        lines.emplace_back(odd);
    lines.emplace_back("SOMA\0 x", 7);
    lines.emplace_back("MULTIPLICA\0", 11);
    // Lines made of pieces of keywords and odd bytes, so that many come near a keyword.
    std::mt19937 random(20261208);
    // Bytes one bit apart from letters and digits ("@", "`", control bytes) must not pass for them.
    const std::string bytes =
        std::string("AEIOUSRTNCMLPDabcdefsu8 \t\xE3\xC3\xCA\xEA\xCD\xED\xDF\xFF@`\x18\x10\x01\x0E") + '\0';
    const auto table = commandTable();
    for (int i = 0; i < 20000; ++i) {
        std::string line = lowerCased(table[random() % table.size()].keyword);
        line.resize(random() % (line.size() + 1));
        const size_t extra = random() % 6;
        for (size_t j = 0; j < extra; ++j) line.push_back(bytes[random() % bytes.size()]);
        if (!line.empty() && line.front() != ' ') lines.push_back(line);
    }
    for (const std::string& line : lines) {
        size_t fastLength = 0, longLength = 0;
        const CommandEntry* fast = lineKeyword(line, fastLength);
        const CommandEntry* slow = keywordTheLongWay(line, longLength);
        ASSERT_EQ(fast, slow) << "[" << line << "]";
        ASSERT_EQ(fastLength, longLength) << "[" << line << "]";
    }
}

}  // namespace
}  // namespace parlendo
