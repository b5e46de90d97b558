// Literals converted to Windows-1252 while compiling.
#include "text/cp1252_literal.h"

#include <gtest/gtest.h>

#include <string>

#include "text/cp1252.h"

namespace parlendo {
namespace {

TEST(Cp1252Literal, ConvertsAsTheRunTimeCodecDoesAndKeepsStrayBytes) {
    // Latin-1 letters, the 0x80-0x9F punctuation, the euro sign and ASCII, against the codec.
    const std::string mixed = "Não é possível — “sim” … €5"_cp;
    EXPECT_EQ(mixed,
              "N\xE3o \xE9 poss\xEDvel \x97 \x93sim\x94 \x85 \x80"
              "5");
    EXPECT_EQ(mixed, text::utf8ToCp1252("Não é possível — “sim” … €5"));
    // An escape that is no UTF-8 stays the byte it is; concatenated pieces are one literal.
    EXPECT_EQ(std::string("r\xE1"
                          "dio à"_cp),
              "r\xE1"
              "dio \xE0");
    EXPECT_EQ(std::string(""_cp), "");
}

}  // namespace
}  // namespace parlendo
