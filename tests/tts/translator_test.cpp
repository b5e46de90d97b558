// The built-in voice's translator: rule and exception files, pre-mapping, stress, spelling and
// every context symbol of the rules, each with a small rule set of its own.
#include "tts/translator.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace parlendo {
namespace {

using namespace std::string_literals;

// The phonetic text of one word from its units written as "A K1 T": a single character other
// than a lower-case letter is its default unit (" /_A"), anything else a rule's output as
// written, with "@" for a blank.
std::string units(std::string_view written) {
    std::string out = "[";
    size_t start = 0;
    bool first = true;
    while (start <= written.size()) {
        size_t end = written.find(' ', start);
        if (end == std::string_view::npos) end = written.size();
        std::string_view token = written.substr(start, end - start);
        if (!first) out += '/';
        first = false;
        std::string unit(token);
        for (char& c : unit)
            if (c == '@') c = ' ';
        const bool letterOfItsOwn = unit.size() == 1 && !(unit[0] >= 'a' && unit[0] <= 'z');
        out += letterOfItsOwn ? " /_" + unit : unit;
        start = end + 1;
    }
    return out + "]";
}

std::string translate(const std::string& rules, std::string_view text) {
    Translator t;
    t.readTranslatorRules(rules);
    return t.translateText(text);
}

int vowelsOf(std::string_view w) {
    int n = 0;
    for (char c : w) n += std::string_view("aeiou").find(c) != std::string_view::npos;
    return n;
}

std::string stressed(std::string word) {
    markTranslatorStress(word, vowelsOf(word));
    return word;
}

TEST(TranslatorStress, MarksTheStressedVowelOfEachWordShape) {
    EXPECT_EQ(stressed("casa"), "cAsa");    // final a: the vowel before it
    EXPECT_EQ(stressed("amor"), "amOr");    // final r: its own syllable
    EXPECT_EQ(stressed("papel"), "papEl");  // final l
    EXPECT_EQ(stressed("falam"), "fAlam");  // final m after a
    EXPECT_EQ(stressed("maria"), "marIa");  // consonant before i a
    EXPECT_EQ(stressed("ainda"),
              "aInda");  // i before n + consonant, the mark two places right of the boundary
    EXPECT_EQ(stressed("rainha"), "raInha");  // i before nh
    EXPECT_EQ(stressed("baixo"), "bAixo");    // falling diphthong
    EXPECT_EQ(stressed("ideia"), "idEia");
    EXPECT_EQ(stressed("aqui"), "aquI");  // qu: the u is no vowel of its own
    EXPECT_EQ(stressed("batom"), "batOm");
    EXPECT_EQ(stressed("sol"), "sOl");  // one vowel, but a final l
}

TEST(TranslatorStress, LeavesWordsUnmarkedWhenTheStressIsOnTheFirstLetterOrThereIsNoChoice) {
    EXPECT_EQ(stressed("ontem"), "ontem");  // the scan stops before marking position 1
    EXPECT_EQ(stressed("uva"), "uva");
    EXPECT_EQ(stressed("mar"), "mar");  // one vowel, no final l
    EXPECT_EQ(stressed("rx"), "rx");
    std::string empty;
    markTranslatorStress(empty, 0);
    EXPECT_EQ(empty, "");
}

// Vowel rules that keep the case of the unit visible.
const std::string kLetters =
    "; letters\n(A)=a |open a\n(E)=e \n(I)=i \n(O)=o \n(U)=u \n(C)=k\n(F)=f\n(S)=s\n(Z)=z\n(K)=k\n(')=\n";

TEST(TranslatorStress, PassesToTheUnitUnlessTheWordHasAnAccent) {
    EXPECT_EQ(translate(kLetters, "casa"), units("k A@ s a@"));
    EXPECT_EQ(translate(kLetters, "Casa"), translate(kLetters, "casa"));
    EXPECT_EQ(translate(kLetters, "cafe"), units("k A@ f e@"));
    // "café" carries its stress: nothing is upper-cased (the accent mark's unit is empty).
    EXPECT_EQ(translate(kLetters, "caf\xE9"), "[k/a /f/e /]");
    // The first vowel of a longer unit takes the mark.
    EXPECT_EQ(translate("(A)=kwa^ \n(S)=z\n(C)=\n", "casa"), "[/kwA^ /z/kwa^ ]");
}

TEST(TranslatorPremap, MapsLettersAccentsAndControlBytes) {
    EXPECT_EQ(premapTranslatorText("Wagner"), "uagner");
    EXPECT_EQ(premapTranslatorText("Kyoto yes"), "Kioto ies");
    EXPECT_EQ(premapTranslatorText("W e Y"), "W e Y");  // no letter beside them
    EXPECT_EQ(premapTranslatorText("d'\xE1gua D'Ela l'a"), "da'gua DEla l'a");
    EXPECT_EQ(premapTranslatorText("\xE7\xC7\xDF"), "ssssss");
    EXPECT_EQ(premapTranslatorText("\xE3o \xCA \xEB \xF1 \xFC \xFF \xFE"), "a~o e^ e\" nh u y th");
    EXPECT_EQ(premapTranslatorText("a\tb"), "a \0 b"s);
    EXPECT_EQ(premapTranslatorText("\x81\xAD\xF0"), " \0  \0  \0 "s);  // bytes that expand to nothing
    EXPECT_EQ(premapTranslatorText("1\xA0"
                                   "2"),
              "1 2");                                                                 // no-break space
    EXPECT_EQ(premapTranslatorText("\x80\x93\xA7\xD7\xF7"), "\x80\x93\xA7\xD7\xF7");  // symbols stay
    EXPECT_EQ(premapTranslatorText(""), "");
}

TEST(TranslatorWords, SpellsConsonantWordsAndSingleCharacters) {
    EXPECT_EQ(translate("", "W"), "[ /_w]");  // a lone W stays a consonant
    EXPECT_EQ(translate("", "rx"), "[ /_r][ /_x]");
    EXPECT_EQ(translate("", "RX."), "[ /_r][ /_x][ /_.]");
    EXPECT_EQ(translate("", "a\tb"), "[ /_A][ /_\0][ /_b]"s);  // the control byte becomes a word
    // Other characters are words of their own, converted by rules (here: none) with the default
    // unit; the case of letters is that of the word, of other bytes their own.
    EXPECT_EQ(translate("", "7\xF7"), "[ /_7][ /_\xF7]");
    EXPECT_EQ(translate("", "   "), "");
    EXPECT_EQ(translate("", "oi, mae"), units("O I") + "[ /_,]" + units("M A E"));
}

TEST(TranslatorExceptions, ReadsSortsAndLooksUpWithTheSuffixStripped) {
    Translator t;
    t.readTranslatorExceptions("xis=shis\ncasa=kaza\r\n\nmeu\nfim=fi~\n\xE1rvore=arvore\n");
    ASSERT_EQ(t.exceptions().size(), 5u);
    EXPECT_EQ(t.exceptions().front().word, "casa");
    EXPECT_EQ(t.exceptions()[1].word, "fim");
    EXPECT_EQ(t.exceptions()[2].word, "meu|");           // no "=": a word that never matches
    EXPECT_EQ(t.exceptions().back().word, "\xE1rvore");  // byte-wise: above every ASCII word
    EXPECT_EQ(t.exceptions().front().replacement, "kaza");

    EXPECT_EQ(t.applyExceptions("casa"), "kaza");
    EXPECT_EQ(t.applyExceptions("casas"), "kazas");
    EXPECT_EQ(t.applyExceptions("casams"), "kazams");  // both endings stripped, put back in order
    EXPECT_EQ(t.applyExceptions("fim"), "fi~");
    EXPECT_EQ(t.applyExceptions("fi"), "fi");
    EXPECT_EQ(t.applyExceptions("casax"), "casax");
    EXPECT_EQ(t.applyExceptions("xiss"), "shiss");  // a word ending in s found after stripping
    EXPECT_EQ(t.applyExceptions("sss"), "sss");
    EXPECT_EQ(t.applyExceptions("meu"), "meu");

    // In a text: the replacement is stressed and converted as the word would have been.
    t.readTranslatorRules(kLetters);
    t.readTranslatorExceptions("casa=kaza\n");
    EXPECT_EQ(t.translateText("casas"), units("k A@ z a@ s"));
}

TEST(TranslatorExceptions, CutsLongLinesAndStopsAt15000Entries) {
    Translator t;
    t.readTranslatorExceptions("longa=" + std::string(300, 'x') + "\n");
    ASSERT_EQ(t.exceptions().size(), 1u);
    EXPECT_EQ(t.exceptions()[0].replacement, std::string(255 - 6, 'x'));

    std::string many;
    for (int i = 0; i < 15050; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "w%05d=r%d\n", i, i);
        many += line;
    }
    t.readTranslatorExceptions(many);
    EXPECT_EQ(t.exceptions().size(), Translator::kMaxExceptions);
    EXPECT_EQ(t.applyExceptions("w00000"), "r0");
    EXPECT_EQ(t.applyExceptions("w14999"), "r14999");
    EXPECT_EQ(t.applyExceptions("w15000"), "w15000");
    t.readTranslatorExceptions("");
    EXPECT_TRUE(t.exceptions().empty());
}

TEST(TranslatorRules, CutsFieldsAndSkipsCommentsAndRulesThatCannotBeTried) {
    Translator t;
    t.readTranslatorRules(
        "; comment (A)=x\n"
        "ABCDEFG(HIJKLMN)OPQRSTU=abcdefghijklmnop|comment (B)=y\n"
        "A(B\n"
        "(BC)D\n"
        "(B)=second\r\n"
        "XYZ\n"
        "()=never\n"
        "(a)=lower case\n"
        "(\xC1)=accented\n"
        "((()=(|\n"
        "(_)=underscore");  // no line end at the end of the file
    EXPECT_EQ(t.ruleCount(), 6u);
    ASSERT_EQ(t.bucket('H').size(), 1u);
    const TranslatorRule& cut = t.bucket('H')[0];
    EXPECT_EQ(cut.left, "ABCDE");
    EXPECT_EQ(cut.focus, "HIJKL");
    EXPECT_EQ(cut.right, "OPQRS");
    EXPECT_EQ(cut.output, "abcdefghijk");

    // File order within a bucket; a missing delimiter leaves the later fields empty.
    ASSERT_EQ(t.bucket('B').size(), 3u);
    EXPECT_EQ(t.bucket('B')[0].left, "A");
    EXPECT_EQ(t.bucket('B')[0].focus, "B");
    EXPECT_EQ(t.bucket('B')[0].right, "");
    EXPECT_EQ(t.bucket('B')[1].focus, "BC");
    EXPECT_EQ(t.bucket('B')[1].right, "D");
    EXPECT_EQ(t.bucket('B')[1].output, "");
    EXPECT_EQ(t.bucket('B')[2].output, "second");
    ASSERT_EQ(t.bucket('(').size(), 1u);
    EXPECT_EQ(t.bucket('(')[0].left, "");
    EXPECT_EQ(t.bucket('(')[0].focus, "((");
    EXPECT_EQ(t.bucket('(')[0].output, "(");
    EXPECT_EQ(t.bucket('_')[0].output, "underscore");

    // Reading again replaces the rules; freeing leaves none.
    t.readTranslatorRules("()=ZZ\n");
    EXPECT_EQ(t.ruleCount(), 0u);
    EXPECT_EQ(t.translateText("ab"), units("A B"));
    t.readTranslatorRules("(A)=a\n");
    t.freeTranslatorRules();
    EXPECT_EQ(t.ruleCount(), 0u);
}

TEST(TranslatorRules, MatchesFocusInsideTheWordAndAdvancesByIt) {
    const std::string rules = "(CH)=x\n(C)=k\n(ABC)=long\n";
    EXPECT_EQ(translate(rules, "chaco"), units("x A k O"));
    EXPECT_EQ(translate(rules, "ac"), units("A k"));  // "ABC" would run past the word's end
    EXPECT_EQ(translate(rules, "abc"), units("long"));
    EXPECT_EQ(translate(rules, "ach"), units("A x"));
}

// Each context symbol with a rule that needs it and a fallback rule K0.
TEST(TranslatorRules, ContextSymbolsOnTheLeft) {
    const std::string vowels = "B#(C)=K2\n#(C)=K1\n(C)=K0\n";
    EXPECT_EQ(translate(vowels, "baac"), units("B A A K2"));  // "#" takes the whole vowel run
    EXPECT_EQ(translate(vowels, "dac"), units("D A K1"));
    EXPECT_EQ(translate(vowels, "a'c"), units("A ' K1"));  // accent marks count
    EXPECT_EQ(translate(vowels, "cad"), units("K0 A D"));  // not at the boundary
    EXPECT_EQ(translate(vowels, "adc"), units("A D K0"));

    const std::string boundary = "%(C)=K1\n(C)%=K2\n(C)=K0\n";
    EXPECT_EQ(translate(boundary, "ca"), units("K1 A"));
    EXPECT_EQ(translate(boundary, "ac"), units("A K2"));
    EXPECT_EQ(translate(boundary, "aca"), units("A K0 A"));

    const std::string back = "B](C)=K2\n](C)=K1\n(C)=K0\n";
    EXPECT_EQ(translate(back, "oc"), units("O K1"));
    EXPECT_EQ(translate(back, "ec"), units("E K0"));
    EXPECT_EQ(translate(back, "a~c"), units("A ~ K1"));
    EXPECT_EQ(translate(back, "e~c"), units("E ~ K0"));
    EXPECT_EQ(translate(back, "ba~c"), units("B A ~ K2"));  // the mark and its vowel consumed
    EXPECT_EQ(translate(back, "ca"), units("K0 A"));

    const std::string vowelOrStart = "B_(C)=K2\n_(C)=K1\n(C)=K0\n";
    EXPECT_EQ(translate(vowelOrStart, "ca"), units("K1 A"));  // the boundary consumes nothing
    EXPECT_EQ(translate(vowelOrStart, "bec"), units("B E K2"));
    EXPECT_EQ(translate(vowelOrStart, "bi'c"), units("B I ' K2"));
    EXPECT_EQ(translate(vowelOrStart, "adca"), units("A D K0 A"));

    const std::string nrs = "|(C)=K1\n(C)=K0\n";
    EXPECT_EQ(translate(nrs, "anca"), units("A N K1 A"));
    EXPECT_EQ(translate(nrs, "arca"), units("A R K1 A"));
    EXPECT_EQ(translate(nrs, "asca"), units("A S K1 A"));
    EXPECT_EQ(translate(nrs, "atca"), units("A T K0 A"));

    // Any other character stands for itself, compared with the upper-cased word; "&" is only a
    // symbol on the right.
    const std::string literal = "L(C)O=K1\n&(C)=K2\n(C)=K0\n";
    EXPECT_EQ(translate(literal, "lco"), units("L K1 O"));
    EXPECT_EQ(translate(literal, "lca"), units("L K0 A"));
    EXPECT_EQ(translate(literal, "alc"), units("A L K0"));
}

TEST(TranslatorRules, ContextSymbolsOnTheRight) {
    const std::string vowels = "(C)#T=K2\n(C)#=K1\n(C)=K0\n";
    EXPECT_EQ(translate(vowels, "caeta"), units("K2 A E T A"));
    EXPECT_EQ(translate(vowels, "ca"), units("K1 A"));
    EXPECT_EQ(translate(vowels, "acd"), units("A K0 D"));
    EXPECT_EQ(translate(vowels, "ac"), units("A K0"));

    const std::string lmnrz = "(C)&=K1\n(C)=K0\n";
    for (const char* w : {"acla", "acma", "acna", "acra", "acza"})
        EXPECT_EQ(translate(lmnrz, w), units(std::string("A K1 ") + char(w[2] - 32) + " A")) << w;
    EXPECT_EQ(translate(lmnrz, "acta"), units("A K0 T A"));

    // "*" and "[" look at a consonant without consuming it.
    const std::string consonant = "(C)*T=K1\n(C)*=K2\n(C)=K0\n";
    EXPECT_EQ(translate(consonant, "acta"), units("A K1 T A"));
    EXPECT_EQ(translate(consonant, "acpa"), units("A K2 P A"));
    EXPECT_EQ(translate(consonant, "acra"), units("A K0 R A"));
    EXPECT_EQ(translate(consonant, "acla"), units("A K0 L A"));
    EXPECT_EQ(translate(consonant, "ac"), units("A K0"));

    const std::string front = "(C)+A=K1\n(C)=K0\n";
    EXPECT_EQ(translate(front, "cea"), units("K1 E A"));
    EXPECT_EQ(translate(front, "ce'a"), units("K1 E ' A"));  // with its accent mark
    EXPECT_EQ(translate(front, "cia"), units("K1 I A"));
    EXPECT_EQ(translate(front, "coa"), units("K0 O A"));
    EXPECT_EQ(translate(front, "ace"), units("A K0 E"));

    const std::string endOrConsonant = "(C)[T=K2\n(C)[=K1\n(C)=K0\n";
    EXPECT_EQ(translate(endOrConsonant, "ac"), units("A K1"));
    EXPECT_EQ(translate(endOrConsonant, "acta"), units("A K2 T A"));
    EXPECT_EQ(translate(endOrConsonant, "acpa"), units("A K1 P A"));
    EXPECT_EQ(translate(endOrConsonant, "acha"), units("A K0 H A"));
    EXPECT_EQ(translate(endOrConsonant, "aca"), units("A K0 A"));

    const std::string optionalS = "(C)\\%=K1\n(C)=K0\n";
    EXPECT_EQ(translate(optionalS, "ac"), units("A K1"));
    EXPECT_EQ(translate(optionalS, "acs"), units("A K1 S"));
    EXPECT_EQ(translate(optionalS, "acss"), units("A K0 S S"));
    EXPECT_EQ(translate(optionalS, "aca"), units("A K0 A"));

    // Symbols of the left side stand for themselves on the right.
    const std::string leftOnly = "(C)_=K1\n(C)]=K2\n(C)=K0\n";
    EXPECT_EQ(translate(leftOnly, "aca"), units("A K0 A"));
}

TEST(TranslatorRules, ReadsRuleAndExceptionFiles) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("translator_test_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    {
        std::ofstream(folder / "regras.rgr", std::ios::binary) << "(C)=k\r\n(A)=a \r\n";
        std::ofstream(folder / "portug.exc", std::ios::binary) << "cc=ca\r\n";
    }
    Translator t;
    EXPECT_TRUE(t.loadTranslatorRules((folder / "regras.rgr").string()));
    EXPECT_TRUE(t.loadTranslatorExceptions((folder / "portug.exc").string()));
    EXPECT_EQ(t.translateText("ca cc"), units("k a@") + units("k a@"));
    EXPECT_FALSE(t.loadTranslatorRules((folder / "missing.rgr").string()));
    EXPECT_EQ(t.ruleCount(), 0u);
    EXPECT_FALSE(t.loadTranslatorExceptions((folder / "missing.exc").string()));
    EXPECT_TRUE(t.exceptions().empty());
    fs::remove_all(folder);
}

}  // namespace
}  // namespace parlendo
