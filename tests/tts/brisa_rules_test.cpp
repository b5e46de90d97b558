// The Brisa voice's letter-to-phoneme stage: the stress finder, the exception table, the rule file
// reader, every context symbol of the rules and the phoneme list of an utterance.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/cp1252.h"
#include "tts/brisa_exceptions.h"
#include "tts/brisa_portuguese.h"
#include "tts/brisa_rule_file.h"
#include "tts/brisa_stress.h"

namespace parlendo {
namespace {

std::string cp(const char* utf8) { return text::utf8ToCp1252(utf8); }

TEST(BrisaStress, AccentsEndingsAndUnstressedWords) {
    EXPECT_EQ(stressPosition("casa"), 2u);
    EXPECT_EQ(stressPosition("rua"), 2u);
    EXPECT_EQ(stressPosition("ruivo"), 2u);
    EXPECT_EQ(stressPosition("aqui"), 4u);
    EXPECT_EQ(stressPosition("papai"), 4u);
    EXPECT_EQ(stressPosition("falam"), 2u);
    EXPECT_EQ(stressPosition("jardim"), 5u);
    EXPECT_EQ(stressPosition("amor"), 3u);
    EXPECT_EQ(stressPosition(cp("água")), 1u);
    EXPECT_EQ(stressPosition("CASAS"), 2u);  // any letter case; a final s is skipped
    EXPECT_EQ(stressPosition(cp("ÔNIBUS")), 1u);
    EXPECT_EQ(stressPosition(cp("pêssegó")), 7u);  // the rightmost accent wins
    EXPECT_EQ(stressPosition("quase"), 3u);
    EXPECT_EQ(stressPosition("tchtch"), 0u);
    EXPECT_EQ(stressPosition(""), 0u);
    EXPECT_TRUE(isUnstressedWord("DE"));
    EXPECT_TRUE(isUnstressedWord(cp("NÃO")));
    EXPECT_TRUE(isUnstressedWord("SIM"));
    EXPECT_TRUE(isUnstressedWord("POR"));
    EXPECT_FALSE(isUnstressedWord("CASA"));
}

TEST(BrisaExceptions, SortedLookupWithPluralAndFinalM) {
    ExceptionTable t;
    t.readExceptions(cp("casa=cása|comentário\r\nzebra=zêbra\r\nsem igual\r\n\r\nbem=bêim\r\n"));
    ASSERT_EQ(t.entries().size(), 4u);
    for (size_t i = 1; i < t.entries().size(); ++i) EXPECT_LT(t.entries()[i - 1].word, t.entries()[i].word);
    EXPECT_EQ(t.respell("CASA"), cp("CÁSA"));
    EXPECT_EQ(t.respell("CASAS"), cp("CÁSAS"));
    EXPECT_EQ(t.respell("BEMS"), cp("BÊIMS"));
    EXPECT_EQ(t.respell("CASACO"), "CASACO");
    EXPECT_EQ(t.respell("SSS"), "SSS");
    EXPECT_EQ(t.respell("SEM IGUAL"), "SEM IGUAL");  // the line without "=" never matches
    std::string many;
    for (int i = 0; i < 15100; ++i) many += "W" + std::to_string(i) + "=X\n";
    t.readExceptions(many);
    EXPECT_EQ(t.entries().size(), ExceptionTable::kCapacity);
    EXPECT_FALSE(t.loadExceptions("/nonexistent/portug.exc"));
}

TEST(BrisaRuleFile, FieldsWidthsCommentsAndBuckets) {
    RuleTable t;
    t.readRules(
        "; comment\n"
        "\n"
        "ABCDEFG(HIJKLMN)OPQRSTU=0123456789abcdefghijklmn|comment\r\n"
        "no parenthesis=x\n"
        "(A)=a|\n"
        "#(A)%=6\n");
    EXPECT_EQ(t.ruleCount(), 3u);
    const std::vector<BrisaRule>& h = t.bucket('H');
    ASSERT_EQ(h.size(), 1u);
    EXPECT_EQ(h[0].left, "ABCDE");
    EXPECT_EQ(h[0].focus, "HIJKL");
    EXPECT_EQ(h[0].right, "OPQRS");
    EXPECT_EQ(h[0].phonemes, "0123456789abcdefghij");
    ASSERT_EQ(t.bucket('A').size(), 2u);
    EXPECT_EQ(t.bucket('A')[1].left, "#");
    EXPECT_TRUE(t.bucket(10).empty());
    t.freeRules();
    EXPECT_EQ(t.ruleCount(), 0u);
    EXPECT_FALSE(t.loadRules("/nonexistent/portug.nrl"));
}

// The phoneme lines of one word under a small rule set, joined by blanks ("" for the closing line).
std::string converted(const char* rules, const char* word, size_t stress = 0) {
    RuleTable t;
    t.readRules(rules);
    PhonemeList out;
    applyRules(t, cp(word), stress, out);
    std::string joined;
    for (const std::string& l : out) joined += (joined.empty() ? "" : " ") + (l.empty() ? "." : l);
    return joined;
}

TEST(BrisaRules, EveryContextSymbolAndTheStressMark) {
    const char* contexts =
        "%(A)=I\n"    // start of the word
        "#(A)=V\n"    // after a vowel
        "](B)=K\n"    // after a back vowel
        "_(C)=U\n"    // start or after a vowel
        "|(D)=N\n"    // after n r s
        "(E)%=F\n"    // end of the word
        "(E)&=L\n"    // before l m n r z
        "(E)*T=C\n"   // before a consonant but l r, not consumed
        "(E)+=P\n"    // before e or i
        "(E)\\M=O\n"  // an optional s, then m
        "(E)[=H\n"    // before a consonant but h, or the end
        "(A)=a\n(B)=b\n(C)=c\n(D)=d\n(E)=e\n(F)=f\n(H)=h\n(I)=i\n(L)=l\n(M)=m\n(N)=n\n(O)=o\n(R)=r\n"
        "(S)=s\n(T)=t\n";
    EXPECT_EQ(converted(contexts, "AA"), "I V .");
    EXPECT_EQ(converted(contexts, "OB"), "o K .");
    EXPECT_EQ(converted(contexts, "IB"), "i b .");
    EXPECT_EQ(converted(contexts, "C"), "U .");
    EXPECT_EQ(converted(contexts, "OC"), "o U .");
    EXPECT_EQ(converted(contexts, "NC"), "n c .");
    EXPECT_EQ(converted(contexts, "ND"), "n N .");
    EXPECT_EQ(converted(contexts, "AD"), "I d .");
    EXPECT_EQ(converted(contexts, "E"), "F .");
    EXPECT_EQ(converted(contexts, "EL"), "L l .");
    EXPECT_EQ(converted(contexts, "ET"), "C t .");
    EXPECT_EQ(converted(contexts, "EI"), "P i .");
    EXPECT_EQ(converted(contexts, "EH"), "e h .");
    EXPECT_EQ(converted(contexts, "ESM"), "O s m .");
    EXPECT_EQ(converted(contexts, "EM"), "L m .");  // & comes first
    EXPECT_EQ(converted(contexts, "EB"), "H b .");
    // Lower-case letters of the word are matched in upper case.
    EXPECT_EQ(converted(contexts, "ae"), "I F .");

    const char* multi = "(CH)=S\n(A)=a&y\n(H)=\n(C)=k\n";
    EXPECT_EQ(converted(multi, "CHA", 3), "S >a y .");
    // The stressed letter is silent: the mark goes on the next phoneme written.
    EXPECT_EQ(converted(multi, "AHC", 2), "a y >k .");
    // A letter without a rule writes nothing.
    EXPECT_EQ(converted(multi, "XA"), "a y .");
}

TEST(BrisaRules, PhonemeListOfAnUtteranceWithPausesAndLiaison) {
    RuleTable rules;
    rules.readRules(
        cp("(OL)=o&l\n(Á)=a\n(M)=m\n(U)=u\n(N)=n\n(D)=d\n(O)%=u\n(O)=o\n(D)=d\n(E)%=i\n(E)=e\n"
           "(A)=a\n(R)%=r2\n(R)=r\n(S)%=s2\n(S)=s\n(Z)=z\n(L)=l\n(I)=i\n"));
    ExceptionTable none;
    const PhonemeList list =
        buildPhonemeList({cp("555|Olá"), "555|,", "555|mundo", "555|.", "555|"}, rules, none);
    const PhonemeList expected = {cp(";555|Olá"), "o",  "l",     ">a", "",  ";555|,", "_,",
                                  ";555|mundo",   "m",  ">u",    "n",  "d", "u",      "",
                                  ";555|.",       "_.", ";555|", "__", "",  "__"};
    EXPECT_EQ(list, expected);

    // A final r2 or s2 before a vowel is linked; before a consonant it stays.
    const PhonemeList linked = buildPhonemeList({"555|mar", "555|azul", "555|mais", "555|de"}, rules, none);
    EXPECT_EQ(linked[3], "r");
    const PhonemeList kept = buildPhonemeList({"555|mar", "555|de"}, rules, none);
    EXPECT_EQ(kept[3], "r2");
    // Short words carry no stress mark.
    const PhonemeList shortWords = buildPhonemeList({"555|de", cp("555|não"), "555|sim"}, rules, none);
    for (const std::string& l : shortWords) EXPECT_EQ(l.find('>'), std::string::npos) << l;
}

}  // namespace
}  // namespace parlendo
