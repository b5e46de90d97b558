// The argument reader, the integer conversion and parenthesised arithmetic.
#include "interp/argument_reader.h"

#include <gtest/gtest.h>

#include "fixture.h"

namespace parlendo {
namespace {

using testing::Machine;

std::string value(Machine& m, std::string_view text, bool* ok = nullptr, std::string* left = nullptr) {
    std::string out;
    bool r = readValue(m.in, text, out);
    if (ok) *ok = r;
    if (left) *left = std::string(text);
    return out;
}

TEST(ArgumentReader, ValueTokens) {
    Machine m;
    bool ok;
    std::string left;
    EXPECT_EQ(value(m, "\"a\"\"b\"  rest", &ok, &left), "a\"b");
    EXPECT_EQ(left, "rest");
    EXPECT_EQ(value(m, "\"no closing quote", &ok), "no closing quote");
    EXPECT_TRUE(ok);
    EXPECT_EQ(value(m, "-", &ok, &left), "-");
    EXPECT_TRUE(ok);
    EXPECT_EQ(value(m, "007x", &ok, &left), "007");
    EXPECT_EQ(left, "x");
    EXPECT_EQ(value(m, "1.5", &ok, &left), "1");
    EXPECT_EQ(left, ".5");
    m.set("A", "letter");
    EXPECT_EQ(value(m, "abc", &ok, &left), "letter") << "one letter; the next is not looked at";
    EXPECT_EQ(left, "bc");
    value(m, ".x", &ok);
    EXPECT_FALSE(ok);
    value(m, "   ", &ok);
    EXPECT_FALSE(ok);
}

TEST(ArgumentReader, NamedVariablesIgnoreCaseAndStopAtAccents) {
    Machine m;
    m.set("$OPCAO", "x");
    EXPECT_EQ(value(m, "$opcao"), "x");
    EXPECT_EQ(value(m, "$OpCaO"), "x");
    std::string left;
    // An accented letter ends the name: "$op" is read and the rest is left over.
    value(m, testing::cp("$opção"), nullptr, &left);
    EXPECT_EQ(left, testing::cp("ção"));
    EXPECT_EQ(m.in.variables.names().back(), "OP");
    int slot;
    std::string_view twoLetters = "ab";
    EXPECT_FALSE(readVariable(m.in, twoLetters, slot)) << "\"ab\" is not a variable";
    std::string_view dollar = "$ x";
    EXPECT_FALSE(readVariable(m.in, dollar, slot));
}

// One rule for a name wherever a script writes one: assigned by SEJA and SOMA (their fast and
// general readings), read as a value and inside an expression.
TEST(ArgumentReader, NamesFollowOneRuleInEveryReader) {
    Machine m;
    for (const char* name : {"$a_b", "$N2", "$_x", "$tem_2_partes", "$X9_"}) {
        const std::string n = name;
        ASSERT_TRUE(m.exec("seja " + n + " 40")) << n;
        ASSERT_TRUE(m.exec("soma " + n + " 1")) << n;
        ASSERT_TRUE(m.exec("seja x (" + n + " + 1)")) << n << ": " << m.in.failReason;
        EXPECT_EQ(m.var("x"), "42") << n;
        ASSERT_TRUE(m.exec("seja y " + n)) << n;
        EXPECT_EQ(m.var("y"), "41") << n;
    }
    EXPECT_EQ(m.var("$A_B"), "41");
    // An accented letter ends the name in every reader: what follows is left over.
    ASSERT_TRUE(m.exec("seja $op 7"));
    EXPECT_FALSE(m.exec("seja $opção 1"));
    EXPECT_FALSE(m.exec("seja x ($opção + 1)"));
    EXPECT_EQ(m.var("$op"), "7");
    // A "$" without a name, or followed by a byte no name holds, is no variable.
    for (const char* bad : {"seja $ 1", "seja $-a 1", "seja x ($ + 1)", "seja x ($. + 1)", "soma $ 1"})
        EXPECT_FALSE(m.exec(bad)) << bad;
}

TEST(ArgumentReader, TheHundredAndSecondNameHasNoSlot) {
    Machine m;
    int slot;
    for (int i = 0; i < VariableTable::kNamed; ++i) {
        std::string name = "$v" + std::to_string(i);
        std::string_view t = name;
        ASSERT_TRUE(readVariable(m.in, t, slot)) << name;
    }
    std::string_view again = "$V7";
    EXPECT_TRUE(readVariable(m.in, again, slot)) << "a known name still reads";
    std::string_view extra = "$one_too_many";
    EXPECT_FALSE(readVariable(m.in, extra, slot));
    EXPECT_EQ(m.row(1), "Muitas variáveis no programa (máximo 101)");
}

TEST(ArgumentReader, ValueListJoinsAndReportsLeftovers) {
    Machine m;
    m.set("$n", "2");
    std::string out;
    std::string_view t = "\"Página \"($n+1)\" de \" 5";
    EXPECT_TRUE(readValueList(m.in, t, out));
    EXPECT_EQ(out, "Página 3 de 5");
    std::string_view bad = "\"a\" \"b\" ; \"c\"";
    EXPECT_FALSE(readValueList(m.in, bad, out));
    EXPECT_EQ(out, "ab") << "what was read is kept";
}

TEST(ArgumentReader, ChannelsAndBracketNames) {
    int d;
    std::string_view c1 = "#3 x";
    EXPECT_TRUE(readChannel(c1, d));
    EXPECT_EQ(d, 3);
    EXPECT_EQ(c1, "x");
    std::string_view c2 = "#10";
    EXPECT_FALSE(readChannel(c2, d));
    std::string_view c3 = "#";
    EXPECT_FALSE(readChannel(c3, d));

    std::string name;
    std::string_view b1 = "[Minha Lista] cria";
    EXPECT_TRUE(readBracketName(b1, name));
    EXPECT_EQ(name, "Minha Lista");
    EXPECT_EQ(b1, " cria") << "nothing after the bracket is dropped";
    std::string_view b2 = "[]]";
    EXPECT_TRUE(readBracketName(b2, name));
    EXPECT_EQ(name, "]") << "a ] right after [ belongs to the name";
    std::string_view b3 = "[abc";
    EXPECT_FALSE(readBracketName(b3, name));
    std::string_view b4 = "[";
    EXPECT_FALSE(readBracketName(b4, name));
}

TEST(ArgumentReader, IntegerConversion) {
    EXPECT_EQ(toInteger("42"), 42);
    EXPECT_EQ(toInteger("  -42"), -42);
    EXPECT_EQ(toInteger("+7"), 7);
    EXPECT_EQ(toInteger("$ff"), 255);
    EXPECT_EQ(toInteger("x1F"), 31);
    EXPECT_EQ(toInteger("X10"), 16);
    EXPECT_EQ(toInteger("0x10"), 16);
    EXPECT_EQ(toInteger("-$10"), -16);
    EXPECT_EQ(toInteger("2147483647"), 2147483647);
    EXPECT_EQ(toInteger("-2147483648"), INT32_MIN);
    EXPECT_FALSE(toInteger("2147483648"));
    EXPECT_FALSE(toInteger("-2147483649"));
    EXPECT_FALSE(toInteger("99999999999999999999999"));
    EXPECT_FALSE(toInteger(""));
    EXPECT_FALSE(toInteger("-"));
    EXPECT_FALSE(toInteger("12 "));
    EXPECT_FALSE(toInteger("1.5"));
    EXPECT_FALSE(toInteger("$"));
    EXPECT_FALSE(toInteger("0xg"));
}

std::optional<int64_t> eval(Machine& m, std::string_view text) {
    std::string_view t = text;
    std::optional<int64_t> v = evalExpression(m.in, t);
    if (v && !t.empty()) return std::nullopt;  // the whole text must be the expression
    return v;
}

TEST(Expression, PrecedenceAndLeftToRight) {
    Machine m;
    EXPECT_EQ(eval(m, "2+3*4"), 14);
    EXPECT_EQ(eval(m, "10/3*3"), 9);
    EXPECT_EQ(eval(m, "7/2"), 3);
    EXPECT_EQ(eval(m, "-7/2"), -3);
    EXPECT_EQ(eval(m, "2*-3"), -6);
    EXPECT_EQ(eval(m, " ( 1 + 2 ) * 3 "), 9);
    EXPECT_EQ(eval(m, "10-2-3"), 5);
    EXPECT_EQ(eval(m, "--5"), 5);
}

TEST(Expression, NumbersWrapAt32BitsAndArithmeticAt64) {
    Machine m;
    EXPECT_EQ(eval(m, "3000000000"), -1294967296);
    EXPECT_EQ(eval(m, "2147483647+1"), 2147483648LL) << "sums are 64-bit";
    EXPECT_EQ(eval(m, "2147483647*2147483647*2147483647*2147483647*4"),
              static_cast<int64_t>(uint64_t{2147483647} * 2147483647u * 2147483647u * 2147483647u * 4u));
    // The smallest 64-bit number divided by -1 wraps instead of trapping.
    m.set("A", "-2147483648");
    EXPECT_EQ(eval(m, "a*a*2/-1"), INT64_MIN);
}

TEST(Expression, Failures) {
    Machine m;
    m.set("$texto", "abc");
    m.set("$n", "5");
    EXPECT_EQ(eval(m, "$n*2"), 10);
    EXPECT_FALSE(eval(m, "$texto+1"));
    EXPECT_FALSE(eval(m, "$vazio+1"));
    EXPECT_FALSE(eval(m, ""));
    EXPECT_FALSE(eval(m, "1+"));
    EXPECT_FALSE(eval(m, "1/0"));
    EXPECT_FALSE(eval(m, "(1"));
    EXPECT_FALSE(eval(m, "1 % 2"));
    EXPECT_FALSE(eval(m, "$"));
    // Deep nesting is refused, not a stack overflow.
    EXPECT_FALSE(eval(m, std::string(100000, '(') + "1" + std::string(100000, ')')));
    EXPECT_FALSE(eval(m, std::string(100000, '-') + "1"));
    // An underscore is part of a name inside an expression too: "$a_b" is not "$a" and "_b".
    m.set("$A", "1");
    EXPECT_FALSE(eval(m, "$a_b"));
    m.set("$A_B", "41");
    EXPECT_EQ(eval(m, "$a_b+1"), 42);
    bool ok;
    EXPECT_EQ(value(m, "()", &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(value(m, "(1+2", &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(value(m, "( 4 / 2 )", &ok), "2");
    EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace parlendo
