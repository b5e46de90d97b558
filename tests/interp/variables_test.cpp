// The variable table keeps numbers it has read or written beside the texts; a script must only
// ever see the texts, whatever order numbers and texts are written and read in.
#include "interp/variables.h"

#include <gtest/gtest.h>

#include "fixture.h"

namespace parlendo {
namespace {

using testing::Machine;

TEST(VariableTable, NumbersFollowEveryChangeOfTheText) {
    VariableTable v;
    const int a = VariableTable::letterSlot('a');
    v.setNumber(a, -42);
    EXPECT_EQ(v.text(a), "-42");
    EXPECT_EQ(v.decimalNumber(a), -42);

    v.edit(a) += "7";  // "-427"
    EXPECT_EQ(v.number(a), -427);
    v.edit(a).insert(0, " ");  // " -427": still a number, no longer written plainly
    EXPECT_EQ(v.number(a), -427);
    EXPECT_EQ(v.decimalNumber(a), std::nullopt);
    v.edit(a) += "x";
    EXPECT_EQ(v.number(a), std::nullopt);

    // Texts that read as numbers without being their plain decimal form.
    for (const char* t : {"007", "+5", "-0", "$1F", "0x10", " 12", "x7"}) {
        v.set(a, t);
        EXPECT_TRUE(v.number(a).has_value()) << t;
        EXPECT_EQ(v.decimalNumber(a), std::nullopt) << t;
        EXPECT_EQ(v.text(a), t);
    }
    v.set(a, "2147483648");
    EXPECT_EQ(v.number(a), std::nullopt);
    v.set(a, "-2147483648");
    EXPECT_EQ(v.decimalNumber(a), INT32_MIN);
    v.setNumber(a, INT32_MAX);
    EXPECT_EQ(v.text(a), "2147483647");

    // A number written and never read as text is gone after clear, like any text.
    v.setNumber(a, 5);
    v.clear();
    EXPECT_EQ(v.text(a), "");
    EXPECT_EQ(v.number(a), std::nullopt);
}

TEST(VariableTable, CommandsSeeTheTextAfterNumbersAndEdits) {
    Machine m;
    // SOMA on texts that read as numbers but are not plainly written keeps their front.
    const std::pair<const char*, const char*> sums[] = {
        {" 5", " 6"},     {"+5", "+6"}, {"007", "8"},    {"$1F", "$1F1"},
        {"0x10", "0x11"}, {"-0", "1"},  {"12 ", "12 1"},
    };
    for (auto [before, after] : sums) {
        m.set("A", before);
        ASSERT_TRUE(m.exec("soma a 1")) << before;
        EXPECT_EQ(m.var("A"), after) << before;
    }

    // A counter made a number by SOMA, then changed by every kind of text command, then read as
    // a number again.
    ASSERT_TRUE(m.exec("seja b 9"));
    ASSERT_TRUE(m.exec("soma b 1"));
    ASSERT_TRUE(m.exec("concatena b \"5\""));
    ASSERT_TRUE(m.exec("soma b 1"));
    EXPECT_EQ(m.var("B"), "106");
    ASSERT_TRUE(m.exec("deleta b 1 1"));
    ASSERT_TRUE(m.exec("subtrai b 1"));
    EXPECT_EQ(m.var("B"), "5");
    ASSERT_TRUE(m.exec("multiplica b 11"));
    ASSERT_TRUE(m.exec("copia b b 2 2"));
    ASSERT_TRUE(m.exec("soma b 1"));
    EXPECT_EQ(m.var("B"), "6");
    ASSERT_TRUE(m.exec("substitui b \"6\" \"x\""));
    EXPECT_FALSE(m.exec("subtrai b 1")) << "x is no number";
    ASSERT_TRUE(m.exec("seja b 40"));
    ASSERT_TRUE(m.exec("divide b 8"));
    ASSERT_TRUE(m.exec("seja c (b*2+1)"));
    EXPECT_EQ(m.var("C"), "11");
    ASSERT_TRUE(m.exec("seja d b"));
    ASSERT_TRUE(m.exec("concatena d \"-\""));
    ASSERT_TRUE(m.exec("concatena d b"));
    EXPECT_EQ(m.var("D"), "5-5");
    ASSERT_TRUE(m.exec("copia e b 1 1"));
    EXPECT_EQ(m.var("E"), "5");
    ASSERT_TRUE(m.exec("copia e d 2 9"));
    EXPECT_EQ(m.var("E"), "-5");
    ASSERT_TRUE(m.exec("copia e d 3 2"));
    EXPECT_EQ(m.var("E"), "");
}

TEST(VariableTable, CountedLoopPastTheLargestNumber) {
    Machine m;
    // The body sets the counter to the largest number: the next step writes one more, which is
    // no longer a number, and the loop ends because the count is below it.
    RunOutcome r =
        m.runLines({"repete i 5", "soma n 1", "seja i 2147483647", "fim repete", "escreve mudo i \" \" n"});
    EXPECT_EQ(r.end, RunEnd::Finished);
    EXPECT_EQ(m.var("I"), "2147483648");
    EXPECT_EQ(m.var("N"), "1");
    // The counter is read as its text at every pass: a body that writes a text into it fails
    // the next step.
    Machine m2;
    r = m2.runLines({"repete i 3", "concatena i \"a\"", "fim repete"});
    EXPECT_EQ(r.end, RunEnd::Failed);
    EXPECT_EQ(r.line, 1) << "the continue step runs on the loop's head";
    EXPECT_EQ(m2.var("I"), "1a");
}

}  // namespace
}  // namespace parlendo
