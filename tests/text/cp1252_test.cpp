#include "text/cp1252.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace parlendo::text;

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        std::string utf8 = cp1252ToUtf8(one);
        EXPECT_TRUE(isValidUtf8(utf8)) << "byte " << b;
        EXPECT_EQ(utf8ToCp1252(utf8), one) << "byte " << b;
        all += one;
    }
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(Cp1252, Conversions) {
    // Windows-1252 and UTF-8 forms that convert into each other.
    const std::pair<std::string, std::string> both[] = {
        {"\x80", "\xE2\x82\xAC"},              // euro sign
        {"\x9F", "\xC5\xB8"},                  // Y with diaeresis
        {"\x9C\x99", "\xC5\x93\xE2\x84\xA2"},  // oe ligature, trade mark
        {"a\xE7\xE3o", "a\xC3\xA7\xC3\xA3o"},  // ação
        {std::string("\0x", 2), std::string("\0x", 2)},
        // The undefined bytes stand for the C1 control of the same code.
        {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
    };
    for (const auto& [cp, utf8] : both) {
        EXPECT_EQ(cp1252ToUtf8(cp), utf8);
        EXPECT_EQ(utf8ToCp1252(utf8), cp);
    }
    // No Windows-1252 byte: one "?" per character. Invalid UTF-8: one "?" per byte.
    const std::pair<std::string, std::string> lossy[] = {
        {"\xC2\x80", "?"},  // its byte is taken by the euro sign
        {"x\xE6\x97\xA5y", "x?y"},
        {"\xF0\x9F\x98\x80", "?"},
        {"a\xFF"
         "b",
         "a?b"},
        {"\xE2\x82", "??"},
        {"\xC0\xAF", "??"},
        {"\xED\xA0\x80", "???"},
        {"\x80\xC3\xA9", "?\xE9"},
    };
    for (const auto& [utf8, cp] : lossy) EXPECT_EQ(utf8ToCp1252(utf8), cp);

    // Text from outside is converted only when all of it is UTF-8.
    EXPECT_EQ(externalToCp1252("a\xC3\xA7\xC3\xA3o"), "a\xE7\xE3o");
    EXPECT_EQ(externalToCp1252("a\xE7\xE3o"), "a\xE7\xE3o");
    EXPECT_EQ(externalToCp1252("\xC3\xA7\xFF"), "\xC3\xA7\xFF");
}

TEST(Cp1252, Utf8Validation) {
    for (const char* ok : {"", "ascii", "\xC2\x80", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                           "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_TRUE(isValidUtf8(ok)) << ok;
    for (const char* bad : {"\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",  // overlong
                            "\xED\xA0\x80", "\xED\xBF\xBF",                              // surrogates
                            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",              // above U+10FFFF
                            "\x80", "\xE2\x82", "\xE2\x82x", "\xF0\x9F\x98", "ok\xC3"})  // broken sequences
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
}

TEST(Cp1252, UpperCaseAndTrim) {
    EXPECT_EQ(upperCase("senao Fim {x}`"), "SENAO FIM {X}`");
    EXPECT_EQ(upperCase("\xE0 s\xE3o"), "\xC0 S\xC3O");            // à -> À, ã -> Ã
    EXPECT_EQ(upperCase("\xF7\xFF"), "\xD7\xDF");                  // ÷ -> ×, ÿ -> ß
    EXPECT_EQ(upperCase("\x9A\x9C\x9E\xDF"), "\x9A\x9C\x9E\xDF");  // š œ ž ß stay

    EXPECT_EQ(trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(trim(std::string_view("\0x\x01", 3)), "x");
    EXPECT_EQ(trim("\xA0x\xA0"), "\xA0x\xA0");  // no-break space is a character
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trimLeft("  a b  "), "a b  ");
}
