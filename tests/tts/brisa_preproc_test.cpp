// The Brisa voice's text normalisation: number words, ordinals, spelled consonant runs,
// abbreviations and symbols, on the worked examples and edge cases of the voice's reading rules.
#include "tts/brisa_preproc.h"

#include <gtest/gtest.h>

#include <string>

#include "text/cp1252.h"

namespace parlendo {
namespace {

std::string cp(const char* utf8) { return text::utf8ToCp1252(utf8); }

// The normalised text as UTF-8 with its runs of blanks made one and its ends trimmed.
std::string normal(const char* utf8, const AbbreviationTable& abbreviations = {}) {
    const std::string out = normalizeText(cp(utf8), abbreviations);
    std::string squeezed;
    for (char c : out)
        if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' ')) squeezed += c;
    while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
    return text::cp1252ToUtf8(squeezed);
}

std::string utf8(const std::string& s) { return text::cp1252ToUtf8(s); }

TEST(BrisaNumbers, CardinalsOfEveryGroupAndConjunction) {
    EXPECT_EQ(cardinalWords(0), "zero");
    EXPECT_EQ(cardinalWords(100), "cem");
    EXPECT_EQ(cardinalWords(101), "cento e um");
    EXPECT_EQ(cardinalWords(110), "cento e dez");
    EXPECT_EQ(cardinalWords(200), "duzentos");
    EXPECT_EQ(utf8(cardinalWords(55)), "cinqüenta e cinco");
    EXPECT_EQ(normal("1000"), "mil");
    EXPECT_EQ(normal("1001"), "mil e um");
    EXPECT_EQ(normal("1100"), "mil e cem");
    EXPECT_EQ(normal("1120"), "mil e cento e vinte");
    EXPECT_EQ(utf8(cardinalWords(1000000)), "um milhão ");
    EXPECT_EQ(utf8(cardinalWords(2000003)), "dois milhões e três");
    EXPECT_EQ(normal("21000"), "vinte e um mil");
    EXPECT_EQ(
        normal("999999999999999"),
        "novecentos e noventa e nove trilhões novecentos e noventa e nove bilhões novecentos e noventa e "
        "nove milhões novecentos e noventa e nove mil e novecentos e noventa e nove");
    // A sixteenth digit is read as the next number.
    EXPECT_EQ(normal("1234567890123456"),
              "cento e vinte e três trilhões quatrocentos e cinqüenta e seis bilhões setecentos e oitenta e "
              "nove milhões doze mil e trezentos e quarenta e cinco seis");
}

TEST(BrisaNumbers, SignsSeparatorsLeadingZerosAndDashedRuns) {
    EXPECT_EQ(normal("-5"), "menos cinco");
    EXPECT_EQ(normal("a - e"), "a , e");
    EXPECT_EQ(normal("a - b"), "a , bê");  // a lone consonant is spelled
    EXPECT_EQ(normal("3,14"), "três vírgula quatorze");
    EXPECT_EQ(normal("2.5"), "dois ponto cinco");
    EXPECT_EQ(normal("3,05"), "três vírgula zero cinco");
    EXPECT_EQ(normal("007"), "zero zero sete");
    EXPECT_EQ(normal("1.234"), "mil e duzentos e trinta e quatro");
    EXPECT_EQ(normal("1.000.000"), "um milhão");
    EXPECT_EQ(normal("1.2345"), "um ponto dois mil e trezentos e quarenta e cinco");
    EXPECT_EQ(normal("12-05"), "um dois traço zero cinco");
}

TEST(BrisaNumbers, OrdinalsInBothGendersAndPlural) {
    EXPECT_EQ(normal("2ª"), "segunda");
    EXPECT_EQ(normal("1º"), "primeiro");
    EXPECT_EQ(normal("01º"), "primeiro");
    EXPECT_EQ(normal("3as."), "terceiras");
    EXPECT_EQ(normal("21os."), "vigésimo primeiros");
    EXPECT_EQ(normal("5a. vez"), "quinta vez");
    EXPECT_EQ(normal("2000º"), "dois mil");
    EXPECT_EQ(utf8(ordinalWords(1111, Gender::Masculine)), "milésimo centésimo décimo primeiro");
    EXPECT_EQ(utf8(ordinalWords(21, Gender::Feminine)), "vigésima primeira");
    EXPECT_EQ(ordinalWords(0, Gender::Masculine), "zero");
}

TEST(BrisaText, SymbolsSpelledRunsAndSingleCharacters) {
    EXPECT_EQ(normal("?"), "interrogação");
    EXPECT_EQ(normal(","), "vírgula");
    EXPECT_EQ(normal("5"), "cinco");
    EXPECT_EQ(normal("a"), "a");
    // Each name follows a blank; the names of C and D begin with one of their own.
    EXPECT_EQ(utf8(normalizeText(cp("CPF"), {})), "  sê pê éfe");
    EXPECT_EQ(normal("50%"), "cinqüenta porcento");
    EXPECT_EQ(normal("a.e"), "a ponto e");
    EXPECT_EQ(normal("fim..."), "fim...");
    EXPECT_EQ(normal("guarda-chuva"), "guarda-chuva");
    EXPECT_EQ(utf8(std::string(symbolName(0xE0))), "A grave");  // à takes the name of À
    EXPECT_EQ(symbolName(7), "");
    EXPECT_EQ(symbolName(0xFF), "");
    // Kept punctuation stays, line ends go, a character without a name leaves blanks only.
    EXPECT_EQ(normal("Oi!\r\nTudo bem?"), "Oi!Tudo bem?");
    EXPECT_EQ(normalizeText("a\x7F"
                            "e",
                            {}),
              "a  e");
}

TEST(BrisaAbbreviations, FileFormatLookupAndExpansion) {
    AbbreviationTable t;
    t.readAbbreviations(
        cp("; comentário\r\n  sr = senhor \r\n\r\nDra=doutora\r\nsem igual\r\npág=página\r\n"
           "SR=outro\r\n"));
    ASSERT_EQ(t.entries().size(), 5u);
    EXPECT_EQ(t.entries()[0].key, "SR");
    EXPECT_EQ(t.entries()[2].key, "");
    EXPECT_EQ(t.entries()[2].expansion, "sem igual");
    EXPECT_EQ(t.findAbbreviation("Sr"), "senhor");  // the first of equal keys
    EXPECT_EQ(utf8(std::string(t.findAbbreviation(cp("PÁG")))), "página");
    EXPECT_EQ(normal("Sr. Silva", t), "senhor Silva");
    EXPECT_EQ(normal("a Dra. Ana", t), "a doutora Ana");
    EXPECT_EQ(normal("o Sr.", t), "o Sr.");  // at the very end it is not expanded
    EXPECT_EQ(normal("Sr.Silva", t), "Sr ponto Silva");
    // A word with an ordinal indicator is looked up with it: "nº 5" with the entry "Nº=número".
    t.readAbbreviations(cp("Nº=número\n"));
    EXPECT_EQ(normal("nº 5", t), "número cinco");
    EXPECT_EQ(normal("nª 5", t), "êne ordinal feminino cinco");

    std::string many;
    for (int i = 0; i < 2100; ++i) many += "K" + std::to_string(i) + "=x\n";
    t.readAbbreviations(many);
    EXPECT_EQ(t.entries().size(), AbbreviationTable::kCapacity);
    EXPECT_FALSE(t.loadAbbreviations("/nonexistent/portug.abr"));
    EXPECT_TRUE(t.entries().empty());
}

}  // namespace
}  // namespace parlendo
