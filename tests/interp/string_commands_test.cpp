// Assignment, value words, arithmetic, text editing and conversions, as one-line commands.
#include <gtest/gtest.h>

#include "fixture.h"

namespace parlendo {
namespace {

using testing::cp;
using testing::Machine;

TEST(Seja, ValueWordsAndTheirLookalikes) {
    Machine m;  // the fixed clock says Saturday 5 December 2026, 14:30:15.25
    m.in.params = {"um", "dois tres"};
    ASSERT_TRUE(m.exec("seja p params"));
    EXPECT_EQ(m.var("P"), "2 um dois%20tres");
    ASSERT_TRUE(m.exec("seja d = DaTa"));
    EXPECT_EQ(m.var("D"), "05/12/2026");
    ASSERT_TRUE(m.exec("seja h hora"));
    EXPECT_EQ(m.var("H"), "14:30:15");
    ASSERT_TRUE(m.exec("seja $dia dia"));
    EXPECT_EQ(m.var("$dia"), "Sabado");
    ASSERT_TRUE(m.exec("seja c crlf"));
    EXPECT_EQ(m.var("C"), "\r\n");
    // "data" followed by more text is the letter variable D and then leftover text.
    m.set("D", "letra");
    EXPECT_FALSE(m.exec("seja x data mais"));
    EXPECT_EQ(m.var("X"), "letra") << "assigned before failing";
    EXPECT_FALSE(m.exec("seja x"));
    EXPECT_FALSE(m.exec("seja x ="));
}

TEST(Seja, TempoCountsFromTheStartAndWrapsWeekly) {
    Machine m;
    m.clock.set(LocalTime{2026, 12, 5, 14, 30, 16, 500, 6});
    ASSERT_TRUE(m.exec("seja t tempo"));
    EXPECT_EQ(m.var("T"), "125");
    m.clock.set(LocalTime{2026, 12, 6, 0, 0, 0, 0, 0});  // Sunday: one day later in the week
    ASSERT_TRUE(m.exec("seja t tempo"));
    // A day (8640000 hundredths) less the start, 14:30:15.25 (5221525 hundredths).
    EXPECT_EQ(m.var("T"), "3418475");
}

TEST(Seja, FunctionWords) {
    Machine m;
    m.set("L", "abcdef");
    ASSERT_TRUE(m.exec("seja t tamanho l"));
    EXPECT_EQ(m.var("T"), "6");
    ASSERT_TRUE(m.exec("seja t maiusc \"ação ÿ\""));
    EXPECT_EQ(m.var("T"), cp("AÇÃO ß"));
    ASSERT_TRUE(m.exec("seja t trim \"  a b  \""));
    EXPECT_EQ(m.var("T"), "a b");
    ASSERT_TRUE(m.exec("seja p pos \"cd\" l"));
    EXPECT_EQ(m.var("P"), "3");
    ASSERT_TRUE(m.exec("seja p pos \"\" l"));
    EXPECT_EQ(m.var("P"), "0");
    ASSERT_TRUE(m.exec("seja p pos \"x\" l"));
    EXPECT_EQ(m.var("P"), "0");
    ASSERT_TRUE(m.exec("seja w palavra 2 \"um  dois tres\""));
    EXPECT_EQ(m.var("W"), "dois");
    ASSERT_TRUE(m.exec("seja w palavra 1 \" um\""));
    EXPECT_EQ(m.var("W"), "") << "a text starting with a blank has an empty first word";
    ASSERT_TRUE(m.exec("seja w palavra 9 \"um dois\""));
    EXPECT_EQ(m.var("W"), "");
    ASSERT_TRUE(m.exec("seja w palavra 2147483647 \"um dois\""));
    EXPECT_EQ(m.var("W"), "");
    EXPECT_FALSE(m.exec("seja w palavra 0 \"um\""));
    EXPECT_FALSE(m.exec("seja w palavra \"x\" \"um\""));
    ASSERT_TRUE(m.exec("seja c chr \"#13\""));
    EXPECT_EQ(m.var("C"), "\r");
    ASSERT_TRUE(m.exec("seja c chr \"010#13\""));
    EXPECT_EQ(m.var("C"), "\r");
    ASSERT_TRUE(m.exec("seja c chr \"210#13\""));
    EXPECT_EQ(m.var("C"), "");
    ASSERT_TRUE(m.exec("seja c chr \"#0#59\""));
    EXPECT_EQ(m.var("C"), "");
    ASSERT_TRUE(m.exec("seja c chr \"#321\""));
    EXPECT_EQ(m.var("C"), "A") << "codes are taken modulo 256";
    ASSERT_TRUE(m.exec("seja c chr \"a\""));
    EXPECT_EQ(m.var("C"), "");
    ASSERT_TRUE(m.exec("seja a asc \"\"\"\""));
    EXPECT_EQ(m.var("A"), "#34");
    ASSERT_TRUE(m.exec("seja a asc \"ab\""));
    EXPECT_EQ(m.var("A"), "");
    ASSERT_TRUE(m.exec("seja a asc \"\""));
    EXPECT_EQ(m.var("A"), "");
    EXPECT_FALSE(m.exec("seja t tamanho l l")) << "nothing may follow a function word's arguments";
}

TEST(Seja, RandomNumbersFollowTheRecurrence) {
    Machine m;
    // From seed 0 the seeds run 1, 134775814, 3698175007, 870078620, 1172187917; each draw is
    // the seed's share of 1000 (seed * 1000 / 2^32, rounded down).
    for (const char* expected : {"0", "31", "861", "202", "272"}) {
        ASSERT_TRUE(m.exec("seja r rand 1000"));
        EXPECT_EQ(m.var("R"), expected);
    }
    EXPECT_EQ(m.in.randomSeed, 1172187917u);
    // The seed is the time of day in milliseconds: 14:30:15.250.
    ASSERT_TRUE(m.exec("randomiza"));
    EXPECT_EQ(m.in.randomSeed, 52215250u);
    EXPECT_FALSE(m.exec("randomiza 5"));
    EXPECT_FALSE(m.exec("seja r rand x"));
}

TEST(Arithmetic, SomaKeepsThePrefix) {
    Machine m;
    ASSERT_TRUE(m.exec("soma a 1"));
    EXPECT_EQ(m.var("A"), "1");
    m.set("A", "x9");
    ASSERT_TRUE(m.exec("soma a 1"));
    EXPECT_EQ(m.var("A"), "x10");
    m.set("A", "-3");
    ASSERT_TRUE(m.exec("soma a 5"));
    EXPECT_EQ(m.var("A"), "2");
    m.set("A", "abc");
    ASSERT_TRUE(m.exec("soma a 1"));
    EXPECT_EQ(m.var("A"), "abc1");
    m.set("A", "2147483647");
    ASSERT_TRUE(m.exec("soma a 1"));
    EXPECT_EQ(m.var("A"), "-2147483648");
    m.set("A", "n99999999999");
    ASSERT_TRUE(m.exec("soma a 1"));
    EXPECT_EQ(m.var("A"), "n1") << "a tail too long to be a number counts as 0";
    EXPECT_FALSE(m.exec("soma a x"));
}

TEST(Arithmetic, SubtractMultiplyDivide) {
    Machine m;
    EXPECT_FALSE(m.exec("subtrai a 1")) << "the empty text is not a number";
    m.set("A", "7");
    ASSERT_TRUE(m.exec("divide a -2"));
    EXPECT_EQ(m.var("A"), "-3");
    ASSERT_TRUE(m.exec("multiplica a 1000000000"));
    EXPECT_EQ(m.var("A"), "1294967296") << "-3000000000 wraps at 32 bits";
    m.set("A", "10");
    EXPECT_FALSE(m.exec("subtrai a 4 sobra"));
    EXPECT_EQ(m.var("A"), "6") << "stored before the leftover fails it";
    EXPECT_FALSE(m.exec("divide a 0"));
    EXPECT_EQ(m.var("A"), "6");
    EXPECT_EQ(m.row(1), "Divisão por zero");
    m.set("A", "-2147483648");
    ASSERT_TRUE(m.exec("divide a -1"));
    EXPECT_EQ(m.var("A"), "-2147483648");
}

TEST(TextEditing, ConcatenaCopiaDeleta) {
    Machine m;
    m.set("S", "abc");
    ASSERT_TRUE(m.exec("concatena s \"def\""));
    EXPECT_EQ(m.var("S"), "abcdef");
    EXPECT_FALSE(m.exec("concatena s \"x\" \"y\""));
    EXPECT_EQ(m.var("S"), "abcdef") << "unchanged when text is left over";

    auto copia = [&](const std::string& from, const std::string& to) {
        EXPECT_TRUE(m.exec("copia t s " + from + " " + to));
        return m.var("T");
    };
    EXPECT_EQ(copia("0", "3"), "abcd");
    EXPECT_EQ(copia("-1", "3"), "abcde");
    EXPECT_EQ(copia("3", "2"), "");
    EXPECT_EQ(copia("5", "100"), "ef");
    EXPECT_EQ(copia("7", "9"), "");
    EXPECT_EQ(copia("-2147483648", "2147483647"), "abcdef");
    EXPECT_FALSE(m.exec("copia t \"abc\" 1 2")) << "the source must be a variable";

    auto deleta = [&](const std::string& args) {
        m.set("S", "abcdef");
        EXPECT_TRUE(m.exec("deleta s " + args));
        return m.var("S");
    };
    EXPECT_EQ(deleta("2 2"), "adef");
    EXPECT_EQ(deleta("0 2"), "abcdef");
    EXPECT_EQ(deleta("7 1"), "abcdef");
    EXPECT_EQ(deleta("5 100"), "abcd");
    EXPECT_EQ(deleta("1 -1"), "abcdef");
}

TEST(TextEditing, SubstituiScansFromTheEnd) {
    Machine m;
    auto subst = [&](const std::string& value, const std::string& args) {
        m.set("S", value);
        EXPECT_TRUE(m.exec("substitui s " + args));
        return m.var("S");
    };
    EXPECT_EQ(subst("a%20b%20c", "\"%20\" \" \""), "a b c");
    EXPECT_EQ(subst("aab", "\"ab\" \"b\""), "b");
    EXPECT_EQ(subst("abc", "\"\" \"-\""), "-a-b-c-");
    EXPECT_EQ(subst("ab", "\"abc\" \"x\""), "ab");
    EXPECT_EQ(subst("AbAB", "\"ab\" \"x\""), "AbAB") << "letter case counts";
    EXPECT_EQ(subst("xxxx", "\"xx\" \"y\""), "yy");
    EXPECT_EQ(subst("", "\"\" \"z\""), "z");
}

TEST(TextEditing, GrowthIsBounded) {
    Machine m;
    m.in.maxTextSize = 64;
    m.set("S", std::string(40, 'a'));
    EXPECT_FALSE(m.exec("substitui s \"\" \"bb\""));
    EXPECT_EQ(m.var("S"), std::string(40, 'a'));
    EXPECT_FALSE(m.exec("concatena s s"));
    EXPECT_EQ(m.var("S"), std::string(40, 'a'));
}

TEST(Conversions, InPlace) {
    Machine m;
    m.set("V", "abc");
    ASSERT_TRUE(m.exec("codbase64 v"));
    EXPECT_EQ(m.var("V"), "YWJj");
    m.set("V", "YW Jj");
    ASSERT_TRUE(m.exec("decodbase64 v"));
    EXPECT_EQ(m.var("V"), "abc");
    m.set("V", "YQ==ignored");
    ASSERT_TRUE(m.exec("decodbase64 v"));
    EXPECT_EQ(m.var("V"), "a");
    m.set("V", "a=b");
    ASSERT_TRUE(m.exec("adquoted v"));
    EXPECT_EQ(m.var("V"), "a=3Db");
    m.set("V", cp("é\t"));
    ASSERT_TRUE(m.exec("adquoted v"));
    EXPECT_EQ(m.var("V"), "=E9=09");
    m.set("V", "a=3Db=");
    ASSERT_TRUE(m.exec("removequoted v"));
    EXPECT_EQ(m.var("V"), "a=b");
    m.set("V", "=zz=4");
    ASSERT_TRUE(m.exec("removequoted v"));
    EXPECT_EQ(m.var("V"), "=zz=4");
    m.set("V", cp("ação"));
    ASSERT_TRUE(m.exec("ansiparautf8 v"));
    EXPECT_EQ(m.var("V"), "ação");
    ASSERT_TRUE(m.exec("utf8paraansi v"));
    EXPECT_EQ(m.var("V"), cp("ação"));
    m.set("V", "\xE2\x82\xAC");  // the euro sign needs three bytes: kept raw
    ASSERT_TRUE(m.exec("utf8paraansi v"));
    EXPECT_EQ(m.var("V"), "\xE2\x82\xAC");
    // Windows-1252 (a list saved by the tuner): "SÃO JOSÉ” e PARÁ…" is not UTF-8 and is kept,
    // though "É”" and "Á…" look like two-byte sequences.
    m.set("V", "S\xC3O JOS\xC9\x94 e PAR\xC1\x85");
    ASSERT_TRUE(m.exec("utf8paraansi v"));
    EXPECT_EQ(m.var("V"), "S\xC3O JOS\xC9\x94 e PAR\xC1\x85");
    EXPECT_FALSE(m.exec("codbase64 \"abc\"")) << "the argument must be a variable";
}

TEST(Conversions, FilesThroughBase64) {
    Machine m;
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<char>(i * 7));
    auto src = m.folder / "origem.bin";
    {
        std::FILE* f = std::fopen(src.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::string folder = m.folder.string();
    ASSERT_TRUE(m.exec("codarqbase64 \"" + folder + "/origem.bin\" \"" + folder + "/texto.b64\""));
    std::string encoded;
    {
        std::FILE* f = std::fopen((m.folder / "texto.b64").c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char buf[8192];
        size_t n = std::fread(buf, 1, sizeof buf, f);
        encoded.assign(buf, n);
        std::fclose(f);
    }
    EXPECT_EQ(encoded.substr(0, 66).substr(64), "\r\n") << "lines of 64 characters";
    EXPECT_EQ(encoded.size(), 4000 + 2 * 63);  // 4000 characters in 63 lines
    ASSERT_TRUE(m.exec("decodarqbase64 \"" + folder + "/texto.b64\" \"" + folder + "/volta.bin\""));
    std::string back;
    {
        std::FILE* f = std::fopen((m.folder / "volta.bin").c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char buf[8192];
        size_t n = std::fread(buf, 1, sizeof buf, f);
        back.assign(buf, n);
        std::fclose(f);
    }
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(m.exec("codarqbase64 \"" + folder + "/nao-existe\" \"" + folder + "/x\""));
    EXPECT_FALSE(m.exec("codarqbase64 \"" + folder + "/origem.bin\" \"" + folder + "/sem/pasta/x\""))
        << "an unwritable target fails";
    EXPECT_FALSE(m.exec("decodarqbase64 \"" + folder + "/nao-existe\" \"" + folder + "/x\""));
}

}  // namespace
}  // namespace parlendo

namespace parlendo {
namespace {

TEST(TextEditing, SubstituiByAShorterTextReachesTheStart) {
    testing::Machine m;
    m.set("F", "aab");
    ASSERT_TRUE(m.exec("substitui f \"ab\" \"\""));
    EXPECT_EQ(m.var("F"), "a");
    m.set("F", "xaxa");
    ASSERT_TRUE(m.exec("substitui f \"xa\" \"\""));
    EXPECT_EQ(m.var("F"), "");
    m.set("F", "a");
    ASSERT_TRUE(m.exec("substitui f \"a\" \"\""));
    EXPECT_EQ(m.var("F"), "");
}

}  // namespace
}  // namespace parlendo

namespace parlendo {
namespace {

TEST(Arithmetic, SomaStaysWithinTheLongestText) {
    testing::Machine m;
    m.in.maxTextSize = 8;
    m.set("S", "abcdefgh");
    EXPECT_FALSE(m.exec("soma s 1234567"));
    EXPECT_EQ(m.var("S"), "abcdefgh");
}

}  // namespace
}  // namespace parlendo
