// The Brisa voice's prosody: the prosody and diphone files with their messages and limits, tokens,
// intonation codes, durations, pitch points and the joins put in for missing diphones.
#include "tts/brisa_prosody.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text/cp1252.h"

namespace parlendo {
namespace {

std::string cp(const char* utf8) { return text::utf8ToCp1252(utf8); }

struct Loaded {
    ProsodyConfig config;
    std::vector<std::string> messages;
    bool ok = false;
};

Loaded load(const char* utf8) {
    Loaded l;
    l.ok = l.config.readProsody(cp(utf8),
                                [&](std::string_view m) { l.messages.push_back(text::cp1252ToUtf8(m)); });
    return l;
}

constexpr const char* kMinimal = "[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\n";

TEST(BrisaProsodyFile, SectionsInAnyOrderCommentsAndValues) {
    const Loaded l = load(
        "[PROSÓDIA]\nhertz= 200\nTABHERTZ=0,80,85,90,95,110,105,110,120,130,99\n; c\n"
        "XX|??|=5?9\n|,,=1\nA|B|C|D=777\n"
        "[CHAVES]\n * comment\nde = pr\nabc=XYZW\n"
        "[DURAÇÃO]\na=85\n  \nlongname=40\nb=x\n");
    EXPECT_TRUE(l.ok);
    ASSERT_EQ(l.messages.size(), 1u);  // the duration that is not a number
    EXPECT_EQ(l.messages[0], "Configuração da prosódia: fonema errado: b=x");
    EXPECT_EQ(l.config.hertz(), 200);
    EXPECT_EQ(l.config.tabHertz()[5], 110);
    EXPECT_EQ(l.config.durationOf("a"), 85);
    EXPECT_EQ(l.config.durationOf("lo"), 40);  // names are cut to two characters
    EXPECT_EQ(l.config.durationOf("b"), 100);
    EXPECT_EQ(l.config.durationOf("zz"), 100);
    EXPECT_EQ(l.config.classOf("DE"), "PR");
    EXPECT_EQ(l.config.classOf("ABC"), "XY");
    EXPECT_EQ(l.config.classOf("CASA"), "XX");
    ASSERT_EQ(l.config.patterns().size(), 3u);
    EXPECT_EQ(l.config.patterns()[0].current, "??");
    EXPECT_EQ(l.config.patterns()[1].current, ",,");
    EXPECT_EQ(l.config.patterns()[2].next, "C|D");
}

TEST(BrisaProsodyFile, MissingAndBrokenSectionsFailWithTheirMessage) {
    EXPECT_EQ(load("[CHAVES]\n[PROSÓDIA]\n").messages,
              std::vector<std::string>{"Duração dos difones errada ou ausente"});
    EXPECT_EQ(load("[DURAÇÃO]\n[PROSÓDIA]\n").messages,
              std::vector<std::string>{"Prosódia: palavras chaves ausentes"});
    EXPECT_EQ(load("[DURAÇÃO]\n[CHAVES]\n").messages,
              std::vector<std::string>{"Prosódia: especificações ausentes"});
    EXPECT_FALSE(load("[DURAÇÃO]\nab\n[CHAVES]\n[PROSÓDIA]\n").ok);
    EXPECT_EQ(load("[DURAÇÃO]\n[CHAVES]\nsem\n[PROSÓDIA]\n").messages,
              std::vector<std::string>{"Configuração da prosódia: chave errada: sem"});
    EXPECT_EQ(load("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nxx\n").messages,
              std::vector<std::string>{"Configuração da prosódia: chave errada: XX"});
    // A pitch that is no integer, or too few of them, fails the load instead of the program.
    EXPECT_FALSE(load("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nHERTZ=alto\n").ok);
    EXPECT_FALSE(load("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=1,2,3\n").ok);
    EXPECT_TRUE(load(kMinimal).ok);

    ProsodyConfig c;
    std::vector<std::string> messages;
    EXPECT_FALSE(c.loadProsody("/nonexistent/portug.pro",
                               [&](std::string_view m) { messages.push_back(text::cp1252ToUtf8(m)); }));
    EXPECT_EQ(messages, std::vector<std::string>{"Configuração da prosódia não foi achada"});
}

TEST(BrisaProsodyFile, CapacitiesAreKept) {
    std::string many = cp("[DURAÇÃO]\n");
    for (int i = 0; i < 150; ++i) many += "d" + std::to_string(i) + "=5\n";
    many += "[CHAVES]\n";
    for (int i = 0; i < 1200; ++i) many += "w" + std::to_string(i) + "=AA\n";
    many += cp("[PROSÓDIA]\n");
    for (int i = 0; i < 400; ++i) many += "|X" + std::to_string(i) + "|=123\n";
    ProsodyConfig c;
    EXPECT_TRUE(c.readProsody(many, nullptr));
    EXPECT_EQ(c.durations().size(), ProsodyConfig::kMaxDurations);
    EXPECT_EQ(c.keywords().size(), ProsodyConfig::kMaxKeywords);
    EXPECT_EQ(c.patterns().size(), ProsodyConfig::kMaxPatterns);
    for (size_t i = 1; i < c.keywords().size(); ++i)
        EXPECT_LE(c.keywords()[i - 1].word, c.keywords()[i].word);
}

TEST(BrisaDiphones, LinesNamesAndCaseFreeSearch) {
    DiphoneList d;
    d.readDiphones("; comment\n! other\n* third\n\n a-b \nr2 _\ne~\ty~\n6-t\nl-y\nE--k\nx\n");
    EXPECT_EQ(d.diphones(), (std::vector<std::string>{"6-t", "E-k", "a-b", "e~-y~", "l-y", "r2-_", "x-"}));
    EXPECT_TRUE(d.contains("A-B"));
    EXPECT_TRUE(d.contains("e~-y~"));
    EXPECT_TRUE(d.contains("e-K"));
    EXPECT_FALSE(d.contains("a-c"));
    d.freeDiphones();
    EXPECT_FALSE(d.contains("a-b"));
    EXPECT_FALSE(d.loadDiphones("/nonexistent/portug.dfn"));
}

TEST(BrisaIntonation, TokensClassesAndCodes) {
    // "?" "?" keeps "??=" from being read as a trigraph.
    const Loaded l = load(
        "[DURAÇÃO]\n[CHAVES]\nde=PR\n[PROSÓDIA]\n"
        "|?"
        "?|=000\n||?"
        "?=731\n|XX|=?20\n|PR|=4\n");
    const std::vector<std::string> tokens = tokenize(cp("  casa de  Ana? Sim.. fim"), l.config);
    EXPECT_EQ(tokens, (std::vector<std::string>{"[--]", "[XX]casa", "[PR]de", "[XX]Ana", "[??]?", "[--]",
                                                "[XX]Sim", "[.-].", "[--]", "[XX]fim"}));
    const std::vector<std::string> codes = assignIntonation(tokens, l.config);
    // ?20 after a token coded 731 becomes 120; a short code is filled with 5.
    EXPECT_EQ(codes, (std::vector<std::string>{"555|", "520|casa", "455|de", "731|Ana", "000|?", "555|",
                                               "520|Sim", "555|.", "555|", "520|fim"}));
    const Loaded after = load("[DURAÇÃO]\n[CHAVES]\nana=AA\n[PROSÓDIA]\n|AA|=731\n|XX|=?20\n");
    EXPECT_EQ(assignIntonation(tokenize("Ana Rosa", after.config), after.config),
              (std::vector<std::string>{"555|", "731|Ana", "120|Rosa"}));
    const Loaded none = load(kMinimal);
    for (const std::string& c : assignIntonation(tokens, none.config)) EXPECT_EQ(c.substr(0, 4), "555|");
}

std::vector<std::string> timed(const ProsodyConfig& c, const DiphoneList& d, const PhonemeList& list,
                               double pitch = 1.0, double duration = 1.0) {
    PhonemeTimer timer;
    return timer.timePhonemes(list, c, d, pitch, duration);
}

TEST(BrisaTiming, DurationsPitchPointsAndLongWords) {
    const Loaded l = load(
        "[DURAÇÃO]\na=100\nk=80\n_,=160\n[CHAVES]\n[PROSÓDIA]\nHERTZ=200\n"
        "TABHERTZ=0,0,0,0,0,110,0,150,0,90\n");
    DiphoneList all;
    all.readDiphones("_-k\nk-a\na-k\na-_\n_-_\nk-k\na-a\n");
    EXPECT_EQ(timed(l.config, all, {";579|kaka", "k", ">a", "k", "a", "", "__"}),
              (std::vector<std::string>{";kaka", "k 80 50 220", "a 145 80 300", "k 116", "a 145 50 180", "",
                                        "_ 100 50 180"}));
    // A 14-letter word: before the stress 80 %, from the stress on 145 %; the duration factor
    // scales everything, the pitch factor every point.
    EXPECT_EQ(timed(l.config, all, {";555|kakakakakakaka", "k", "a", ">k", "a", ""}, 2.0, 0.5),
              (std::vector<std::string>{";kakakakakakaka", "k 32 50 440", "a 40", "k 58 80 440",
                                        "a 72 50 440", ""}));
    // Pauses: their own duration, 100 ms without one, or the one written after "_ ".
    EXPECT_EQ(timed(l.config, all, {";555|,", "_,", ";555|.", "_.", "_ 30", "_"}),
              (std::vector<std::string>{";,", "_ 160 50 220", ";.", "_ 100 50 220", "_ 30", "_ 100"}));
    // A mark ending the stressed stretch brings back the normal length.
    EXPECT_EQ(timed(l.config, all,
                    {";055|kaka", ">k",
                     "\xA8"
                     "a",
                     ""}),
              (std::vector<std::string>{";kaka", "k 116 80 220", "a 100 50 220", ""}));
    const Loaded silent = load("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=0,0,0,0,0,0,0,0,0,0\n");
    for (const std::string& line : timed(silent.config, all, {";999|kaka", "k", ">a", "k", "a", ""}))
        EXPECT_LE(std::count(line.begin(), line.end(), ' '), 1) << line;
}

TEST(BrisaTiming, MissingDiphonesGetAGlideOrAPause) {
    const Loaded l = load(kMinimal);
    DiphoneList d;
    d.readDiphones("_-l\nl-y\nk-a\na-r2\nr2-_\n_-a\na-k\n");
    const std::vector<std::string> out =
        timed(l.config, d, {";555|lka", "l", "k", "a", "r2", "", ";555|a", "a", ""});
    EXPECT_EQ(out, (std::vector<std::string>{";lka", "l 100", "y 50", "k 100", "a 100", "r2 100", "", ";a",
                                             "_ 50", "a 100", ""}));
    DiphoneList none;
    const std::vector<std::string> bare = timed(l.config, none, {";555|k", "k", ""});
    EXPECT_EQ(bare, (std::vector<std::string>{";k", "_ 50", "k 100", ""}));
}

}  // namespace
}  // namespace parlendo
