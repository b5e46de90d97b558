// Plain Windows-1252 from the UTF-8 of station names and news titles.
#include "text/transliterate.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using parlendo::text::utf8ToCp1252Plain;

TEST(Transliterate, KeepsWindows1252AndSimplifiesTheRest) {
    const std::pair<std::string, std::string> cases[] = {
        {"S\u00e3o Paulo \u20ac \u0153", "S\xE3o Paulo \x80 \x9C"},  // Windows-1252 has these
        {"\u014csaka", "Osaka"},                                     // marks it lacks are removed
        {"\u0141\u00f3d\u017a",
         "L\xF3"
         "dz"},
        {"\u0218tefan \u1ec0 \u0132", "Stefan E IJ"},
        {"e\u0301", "e"},  // a combining mark is dropped
        {"\u201cR\u00e1dio\u201d d\u2019Oeste \u2013 24h\u2026",
         "\"R\xE1"
         "dio\" d'Oeste - 24h..."},
        {"\t a\tb\r\nc\x01\x7f"
         "d \u00a0\u2003 e\u2028f  ",
         "a b c d e f"},  // blanks, one each
        {"\u6771\u4eac FM \u041c\u043e\u0441\u043a\u0432\u0430 \U0001F3B8 Rock", "FM Rock"},
        {"a\xFF"
         "b\xC0\xAF"
         "c\xED\xA0\x80"
         "d\xE2\x82",
         "abcd"},  // invalid UTF-8 is dropped
        {"\u00ad\u200b", ""},
    };
    for (const auto& [utf8, plain] : cases) EXPECT_EQ(utf8ToCp1252Plain(utf8), plain) << utf8;
}

TEST(Transliterate, CutsAtABlankInTheLastFifthWithinMaxBytes) {
    EXPECT_EQ(utf8ToCp1252Plain("Radio Nacional da Amazonia", 20), "Radio Nacional da...");
    EXPECT_EQ(utf8ToCp1252Plain("Ab cdefghijklmnop", 12), "Ab cdefgh...");  // the blank is too far
    EXPECT_EQ(utf8ToCp1252Plain("Abcdefghijklmnopqrstuvwxyz", 10), "Abcdefg...");
    EXPECT_EQ(utf8ToCp1252Plain("  twelve\t bytes ", 12), "twelve bytes");  // measured once cleaned
    EXPECT_EQ(utf8ToCp1252Plain("abcdef", 2), "ab");
    // A cut never ends in a blank before the dots, and the whole stays within the limit.
    std::string words;
    for (int i = 0; i < 60; ++i) words += "p\u00e1 ";
    for (size_t max : {4u, 7u, 40u, 100u}) {
        std::string cut = utf8ToCp1252Plain(words, max);
        EXPECT_LE(cut.size(), max);
        EXPECT_EQ(cut.substr(cut.size() - 3), "...");
        EXPECT_NE(cut[cut.size() - 4], ' ') << cut;
    }
}
