// The built-in voice's rule and exception files of the source tree: characteristic words come out
// as the expected sound units, and every syllable written is one the diphone database holds.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tts/translator.h"

namespace parlendo {
namespace {

const std::string kDataFolder = std::string(PARLENDO_SOURCE_DIR) + "/data/difones/";

// The phonetic text with the stress marks (upper-case vowels) lowered.
std::string lowered(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Checks one word's phonetic text against the unit alphabet the way the synthesiser reads it:
// the units joined, cut into tokens at the blanks; each token is zero or more coda consonants,
// an optional onset, a nucleus and an optional glide, and only the last may be codas alone.
// A letter reference ("_") means no rule took the letter.
::testing::AssertionResult inAlphabet(const std::string& phonetic) {
    if (phonetic.size() < 2 || phonetic.front() != '[' || phonetic.back() != ']')
        return ::testing::AssertionFailure() << "not one word: " << phonetic;
    if (phonetic.find('_') != std::string::npos)
        return ::testing::AssertionFailure() << "letter reference in " << phonetic;
    static const std::regex syllable(
        "[bdfgjklmnprstvxz]*((tch|dj)i~?|(nh|lh|rr|ks|kw|gw|[bdfgjklmnprstvxz])?"
        "(a[\\^~]?|e[\\^~]?|i~?|o[\\^~]?|u~?))[yw]?");
    static const std::regex coda("[bdfgjklmnprstvxz]+");
    std::string joined;
    for (char c : lowered(phonetic.substr(1, phonetic.size() - 2)))
        if (c != '/') joined += c;
    size_t start = 0;
    while (start < joined.size()) {
        size_t end = joined.find(' ', start);
        bool last = end == std::string::npos;
        std::string token = joined.substr(start, last ? std::string::npos : end - start);
        bool ok = std::regex_match(token, syllable) || (last && std::regex_match(token, coda));
        if (!ok) return ::testing::AssertionFailure() << "token '" << token << "' in " << phonetic;
        if (last) break;
        start = end + 1;
    }
    return ::testing::AssertionSuccess();
}

class PortugueseRules : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(translator_.loadTranslatorRules(kDataFolder + "regras.rgr"));
        ASSERT_TRUE(translator_.loadTranslatorExceptions(kDataFolder + "portug.exc"));
    }
    Translator translator_;
};

TEST_F(PortugueseRules, CharacteristicWordsGiveTheirUnits) {
    struct Case {
        const char* word;   // Windows-1252
        const char* units;  // stress marks aside
    };
    const Case cases[] = {
        {"casa", "[k/a /z/a^ ]"},         // open a, s between vowels, final a
        {"carro", "[k/a /rr/u ]"},        // strong rr, final o
        {"chave", "[x/a /v/i ]"},         // ch, final e
        {"filho", "[f/i /lh/u ]"},        // lh
        {"ninho", "[n/i /nh/u ]"},        // nh
        {"tia", "[tch/i /a^ ]"},          // t before i
        {"dia", "[dj/i /a^ ]"},           // d before i
        {"cidade", "[s/i /d/a /dj/i ]"},  // soft c, final de
        {"m\xE3o", "[m/a~w ]"},           // nasal diphthong
        {"m\xE3\x65", "[m/a~y ]"},        // mãe
        {"bem", "[b/e~y ]"},              // final em
        {"sol", "[s/ow ]"},               // coda l
        {"porta", "[p/o /r/t/a^ ]"},      // open o, coda r joins the next syllable
        {"quando", "[kw/a~ /d/u ]"},      // qu before a, an before a consonant
        {"\xE1gua", "[a /gw/a^ ]"},       // gu before a
        {"exame", "[e^ /z/a~ /m/i ]"},    // initial ex before a vowel; stressed a before m
        {"caixa", "[k/ay /x/a^ ]"},       // diphthong, x after ai
        {"t\xE1xi", "[t/a /k/s/i ]"},     // x as ks, from the exceptions
        {"muito", "[m/u~y /t/u ]"},       // nasal, from the exceptions
        {"hoje", "[/o^ /j/i ]"},          // silent h
        {"ainda", "[a /i~ /d/a^ ]"},      // hiatus before a nasal
        {"que", "[k/i ]"},                // reduced monosyllable
    };
    for (const Case& c : cases) {
        std::string phonetic = translator_.translateText(c.word);
        EXPECT_EQ(lowered(phonetic), c.units) << c.word;
        EXPECT_TRUE(inAlphabet(phonetic)) << c.word;
    }
}

TEST_F(PortugueseRules, StressAndPluralsReachTheUnits) {
    // The stress mark of an unaccented word and the accent of an accented one both lengthen the
    // unit; an exception still applies to its plural, which keeps the s.
    EXPECT_EQ(translator_.translateText("casa"), "[k/A /z/a^ ]");
    EXPECT_EQ(translator_.translateText("caf\xE9"), "[k/a /f/E ]");
    EXPECT_EQ(translator_.translateText("t\xE1xis"), "[t/A /k/s/i /s]");
    EXPECT_EQ(lowered(translator_.translateText("muitas")), "[m/u~y /t/a^ /s]");
    std::string sentence = translator_.translateText("A esta\xE7\xE3o de r\xE1\x64io toca m\xFAsica.");
    EXPECT_EQ(sentence.find('_'), sentence.rfind('_')) << sentence;  // only the full stop
}

TEST_F(PortugueseRules, BrazilianVowelsOfTheTunersWords) {
    struct Case {
        const char* word;   // Windows-1252
        const char* units;  // with the stress marks
    };
    const Case cases[] = {
        // closed e of the preposition; open stressed vowels of verbs and nouns
        {"pela", "[p/E^ /l/a^ ]"},
        {"podem", "[p/O /d/e~y ]"},
        {"devem", "[d/E /v/e~y ]"},
        {"pedem", "[p/E /d/e~y ]"},
        {"setas", "[s/E /t/a^ /s]"},
        {"mostra", "[m/O /s/t/r/a^ ]"},
        {"come\xE7\x61", "[k/o^ /m/E /s/a^ ]"},
        {"acontece", "[a /k/o~ /t/E /s/i ]"},
        {"sucesso", "[s/u /s/E /s/u ]"},
        {"qualquer", "[kw/aw /k/E /r]"},
        {"cabe\xE7\x61", "[k/a /b/E^ /s/a^ ]"},  // the closed one stays closed
        // the unaccented -vel ending is closed; a stressed final -el stays open
        {"am\xE1vel", "[a^ /m/A /v/e^w ]"},
        {"papel", "[p/a /p/Ew ]"},
        // a stressed a before m, n, nh is nasal; before the stress, or after it, it is not
        {"cama", "[k/A~ /m/a^ ]"},
        {"ano", "[a~ /n/u ]"},
        {"banho", "[b/A~ /nh/u ]"},
        {"c\xE2mara", "[k/A~ /m/a /r/a^ ]"},
        {"banana", "[b/a^ /n/A~ /n/a^ ]"},
        {"destin\xE1ramos", "[d/e^ /s/tch/i /n/A /r/a^ /m/u /s]"},
        // x as ks or s
        {"sexual", "[s/e^ /k/s/u /Aw ]"},
        {"oxidados", "[o^ /k/s/i /d/A /d/u /s]"},
        {"aproximavam", "[a /p/r/o^ /s/i /m/A /v/a~w ]"},
        // the stress passes the silent u of que, gue; ruim is stressed on the i
        {"toque", "[t/O /k/i ]"},
        {"pegue", "[p/E^ /g/i ]"},
        {"ruim", "[rr/u /I~ ]"},
        {"\xE1gua", "[A /gw/a^ ]"},  // a u before a is no silent u
    };
    for (const Case& c : cases) {
        std::string phonetic = translator_.translateText(c.word);
        EXPECT_EQ(phonetic, c.units) << c.word;
        EXPECT_TRUE(inAlphabet(phonetic)) << c.word;
    }
}

TEST_F(PortugueseRules, LoansAndUnaccentedWordsAsBrazilianSpeechHasThem) {
    struct Case {
        const char* word;   // Windows-1252
        const char* units;  // with the stress marks
    };
    const Case cases[] = {
        // a final consonant of a loan or a command gets its vowel; h as the strong r
        {"Esc", "[E /s/ki ]"},
        {"feeds", "[f/I /dj/i /s]"},
        {"log", "[l/O /g/i ]"},
        {"hop", "[rr/O /p/i ]"},
        {"blues", "[b/l/U /s]"},
        {"player", "[p/l/e^y /E^ /r]"},
        {"ok", "[o^ /k/E^y ]"},
        // words the tuner writes without accents, read as it means them
        {"radios", "[rr/A /dj/i /u /s]"},
        {"VERSAO", "[v/e^ /r/s/A~w ]"},
        {"diretorio", "[dj/i /r/e^ /t/O /r/i /u ]"},
        {"audio", "[Aw /dj/i /u ]"},
        // open and closed e, o of frequent words; the stressed vowel before a nasal consonant
        {"estiver", "[i /s/tch/i /v/E /r]"},
        {"Informe", "[i~ /f/O /r/m/i ]"},
        {"cegas", "[s/E /g/a^ /s]"},
        {"volte", "[v/Ow /tch/i ]"},
        {"mostrar", "[m/o^ /s/t/r/A /r]"},
        {"endere\xE7o", "[e~ /d/e^ /r/E^ /s/u ]"},
        {"n\xFAmero", "[n/U~ /m/e^ /r/u ]"},
        // a doubled l is one onset l, not a coda; dj of Brazilian names
        {"Mozilla", "[m/o^ /z/I /l/a^ ]"},
        {"Djavan", "[dj/a /v/A~ ]"},
    };
    for (const Case& c : cases) {
        std::string phonetic = translator_.translateText(c.word);
        EXPECT_EQ(phonetic, c.units) << c.word;
        EXPECT_TRUE(inAlphabet(phonetic)) << c.word;
    }
}

}  // namespace
}  // namespace parlendo
