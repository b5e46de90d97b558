// The braille code text of a console row: letters, capitals, numbers, ordinals, fractions,
// parentheses and the symbols' forms.
#include "console/braille_text.h"

#include <gtest/gtest.h>

#include <string>

#include "text/cp1252_literal.h"

namespace parlendo {
namespace {

std::string braille(const std::string& text) {
    BrailleTransliterator t;
    return t.toBrailleText(text);
}

TEST(BrailleText, LettersAndCapitals) {
    EXPECT_EQ(braille("casa"), "casa");
    EXPECT_EQ(braille("Casa"), "{casa");
    EXPECT_EQ(braille("CASA"), "{{casa");
    EXPECT_EQ(braille("CASAs"), "{{casa~s");
    EXPECT_EQ(braille("ÁGUA"_cp), "{{água"_cp);
    EXPECT_EQ(braille("Éramos"_cp), "{éramos"_cp);
    // × and ß are no capitals to sign: × is written as itself, ß as its form.
    EXPECT_EQ(braille("A×B"_cp), "{a×{b"_cp);
    EXPECT_EQ(braille("ßA"_cp), "¬b{a"_cp);
    EXPECT_EQ(braille("AB×"_cp), "{{ab×"_cp);
    EXPECT_EQ(braille("Cæsar"_cp), "{caesar"_cp);
    EXPECT_EQ(braille(""), "");
}

TEST(BrailleText, Numbers) {
    EXPECT_EQ(braille("123"), "#abc");
    EXPECT_EQ(braille("3a"), "#c~a");
    EXPECT_EQ(braille("3k"), "#ck");
    EXPECT_EQ(braille("R$10,50"), "{r$#aj,ej");
    // A decimal point renews the number sign; a thousands point continues the number.
    EXPECT_EQ(braille("3.14"), "#c.#ad");
    EXPECT_EQ(braille("1.000"), "#a.jjj");
    EXPECT_EQ(braille("100.5"), "#ajj.e");
    EXPECT_EQ(braille("fim 2."), "fim #b.");
}

TEST(BrailleText, OrdinalsAndFractions) {
    EXPECT_EQ(braille("1º"_cp), "#,o");
    EXPECT_EQ(braille("2ª"_cp), "#;a");
    EXPECT_EQ(braille("2a."), "#;a");
    EXPECT_EQ(braille("10o. lugar"), "#,}o lugar");
    EXPECT_EQ(braille("3as. e 4os."), "#:as e #/os");
    EXPECT_EQ(braille("2as"), "#b~as");
    EXPECT_EQ(braille("½"_cp), "#,b");
    EXPECT_EQ(braille("x²"_cp), "xå#b"_cp);
    EXPECT_EQ(braille("`3/4"), "#:4");
    EXPECT_EQ(braille("`1/x"), "#,x");
}

TEST(BrailleText, MathematicalSigns) {
    EXPECT_EQ(braille("2`*3"), "#b×#c"_cp);
    EXPECT_EQ(braille("6`:2`=3"), "#f÷#b=#c"_cp);
    EXPECT_EQ(braille("`\"`'`%"), "üüü_}}"_cp);
    EXPECT_EQ(braille("`(`)`[`]"), "êãáú"_cp);
    EXPECT_EQ(braille("`e`O`^`_`{`}"), "€e°å~÷~l_,"_cp);
    EXPECT_EQ(braille("``"), "");
    EXPECT_EQ(braille("a``b"), "ab");
    // A "`" before any other character stands for itself.
    EXPECT_EQ(braille("`q"), "`q");
    EXPECT_EQ(braille("`A"), "`{a");
}

TEST(BrailleText, ParenthesesAndBrackets) {
    EXPECT_EQ(braille("(1+2)"), "ê#a+#bã"_cp);
    EXPECT_EQ(braille("[3]"), "á#cú"_cp);
    EXPECT_EQ(braille("(texto)"), "(.texto\\)");
    // A number opening a text parenthesis: its closer has no digit before it.
    EXPECT_EQ(braille("(1 vez)"), "(.#a vez\\)");
    EXPECT_EQ(braille("(1"), "(.#a");
    // A closer after a digit with no opening at all takes the mathematical form.
    EXPECT_EQ(braille("5)"), "#eã"_cp);
    EXPECT_EQ(braille(")"), "\\)");
    // Farther than the opening looks, the closer is not found.
    std::string far = "(1" + std::string(998, ' ') + "2)";
    EXPECT_EQ(braille(far).substr(0, 4), "(.#a");
    std::string near = "(1" + std::string(996, ' ') + "2)";
    EXPECT_EQ(braille(near).substr(0, 3), "ê#a"_cp);
}

TEST(BrailleText, ParenthesisFlagSurvivesTheRow) {
    BrailleTransliterator t;
    EXPECT_EQ(t.toBrailleText("veja (p."), "veja (.p.");
    EXPECT_TRUE(t.parenthesisOpen());
    // Still open: a closer after a digit is the text one, and clears the flag.
    EXPECT_EQ(t.toBrailleText("12)"), "#ab\\)");
    EXPECT_FALSE(t.parenthesisOpen());
    EXPECT_EQ(t.toBrailleText("12)"), "#abã"_cp);
    t.setParenthesisOpen(true);
    // An opening before a digit clears it first.
    EXPECT_EQ(t.toBrailleText("(2)"), "ê#bã"_cp);
    EXPECT_FALSE(t.parenthesisOpen());
}

TEST(BrailleText, SymbolForms) {
    EXPECT_EQ(braille("50%"), "#ej_}");
    EXPECT_EQ(braille("e/ou"), "e\\,ou");
    EXPECT_EQ(braille("c:\\"), "c:~.");
    EXPECT_EQ(braille("5€"_cp), "#e€e"_cp);
    EXPECT_EQ(braille("fim…"_cp), "fim...");
    EXPECT_EQ(braille("‘a’"_cp), "$\"a$\"");
    EXPECT_EQ(braille("“a” \"b\""_cp), "\"a\" \"b\"");
    EXPECT_EQ(braille("a–b—c\xAD"_cp), "a--b--c--");
    EXPECT_EQ(braille("œ §1"_cp), "oe ss#a");
    EXPECT_EQ(braille("«x»"_cp), "\\\"x\\\"");
    EXPECT_EQ(braille("¹³"_cp), "å#aå#c"_cp);
    EXPECT_EQ(braille("ok! @#&"), "ok! @#&");
}

}  // namespace
}  // namespace parlendo
