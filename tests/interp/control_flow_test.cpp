// Conditions and the scans that give blocks their shape.
#include "interp/control_flow.h"

#include <gtest/gtest.h>

#include "fixture.h"

namespace parlendo {
namespace {

using testing::cp;
using testing::Machine;

bool truth(Machine& m, const std::string& condition) {
    ConditionResult r = evaluateCondition(m.in, cp(condition));
    EXPECT_TRUE(r.parsed) << condition;
    EXPECT_TRUE(r.rest.empty()) << condition;
    return r.value;
}

TEST(Conditions, ComparisonTable) {
    Machine m;
    EXPECT_FALSE(truth(m, "$vazio = 0")) << "20 zeros against 21";
    EXPECT_TRUE(truth(m, "$vazio = \"\""));
    EXPECT_TRUE(truth(m, "10 > 9"));
    EXPECT_TRUE(truth(m, "\"b\" = \"B\""));
    EXPECT_FALSE(truth(m, "\"b\" == \"B\""));
    EXPECT_TRUE(truth(m, "007 = 7"));
    EXPECT_FALSE(truth(m, "007 == 7"));
    EXPECT_FALSE(truth(m, "-5 < -10")) << "signed numbers compare as texts";
    EXPECT_TRUE(truth(m, "\"abab\" *= \"ab\""));
    EXPECT_FALSE(truth(m, "\"\" *= \"a\""));
    EXPECT_FALSE(truth(m, "\"abc\" =* \"\""));
    EXPECT_TRUE(truth(m, "\"abc\" =* \"ab\""));
    EXPECT_TRUE(truth(m, "\"xabcx\" *=* \"abc\""));
    EXPECT_FALSE(truth(m, "\"abc\" *=* \"\""));
    EXPECT_TRUE(truth(m, "1 <> 2"));
    EXPECT_TRUE(truth(m, "2 >= 2"));
    EXPECT_TRUE(truth(m, "2 <= 3"));
    EXPECT_TRUE(truth(m, "\"é\" > \"z\"")) << "bytes compare unsigned";
    EXPECT_TRUE(truth(m, "123456789012345678901234 = 45678901234567890123456789012345678901234"))
        << "only the last 21 digits count";
    EXPECT_TRUE(truth(m, "NAO 1 = 2"));
    EXPECT_TRUE(truth(m, "não1 = 2")) << "no blank needed after the negation";
}

TEST(Conditions, ThingsThatDoNotParse) {
    Machine m;
    for (const char* c : {"", "nao", "1", "1 =", "1 ! 2", "1 em [nenhuma]", "\"a\" = ;"}) {
        EXPECT_FALSE(evaluateCondition(m.in, cp(c)).parsed) << c;
    }
    ConditionResult r = evaluateCondition(m.in, "1 = 1   escreve \"x\"");
    EXPECT_TRUE(r.parsed);
    EXPECT_EQ(r.rest, "escreve \"x\"");
}

TEST(Conditions, ListMembership) {
    Machine m;
    ASSERT_TRUE(m.exec("lista [Cores] cria"));
    ASSERT_TRUE(m.exec("lista [Cores] adiciona \"azul\""));
    ASSERT_TRUE(m.exec("lista [Cores] adiciona 007"));
    EXPECT_TRUE(truth(m, "\"AZUL\" em [Cores]"));
    EXPECT_TRUE(truth(m, "7 EM [Cores]"));
    EXPECT_FALSE(truth(m, "\"verde\" em [Cores]"));
    EXPECT_TRUE(truth(m, "não \"verde\" em [Cores]"));
    EXPECT_FALSE(evaluateCondition(m.in, "\"azul\" em [cores]").parsed) << "list names keep their case";
}

TEST(ControlFlow, ElseChainRunsExactlyOneBranch) {
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b) {
            Machine m;
            m.set("A", std::to_string(a));
            m.set("B", std::to_string(b));
            RunOutcome o = m.runLines({"se a = 1", "  soma r 1", "senão", "se b = 1", "  soma s 1", "SENAO",
                                       "  soma t 1", "fim   se", "escreve r s t"});
            EXPECT_EQ(o.end, RunEnd::Finished);
            EXPECT_EQ(m.var("R"), a == 1 ? "1" : "");
            EXPECT_EQ(m.var("S"), a == 0 && b == 1 ? "1" : "");
            EXPECT_EQ(m.var("T"), a == 0 && b == 0 ? "1" : "");
        }
}

TEST(ControlFlow, FalseBlockSkipsNestedBlocksAndOneLineSe) {
    Machine m;
    RunOutcome o = m.runLines({"se 1 = 2", "  se 1 = 1", "    soma a 1", "  fim se", "  se 1 = 1 soma a 1",
                               "  soma a 1", "fim se", "soma b 1"});
    EXPECT_EQ(o.end, RunEnd::Finished);
    EXPECT_EQ(m.var("A"), "");
    EXPECT_EQ(m.var("B"), "1");
    Machine missing;
    EXPECT_EQ(missing.runLines({"se 1 = 2", "soma a 1"}).end, RunEnd::Finished);
    EXPECT_EQ(missing.var("A"), "") << "a block without its end skips to the end of the script";
}

TEST(ControlFlow, OneLineSeRefusesBlockWords) {
    for (const char* cmd : {"fim se", "FIM SE", "senão", "SenÃo", "repete r 2", "enquanto 1 = 1"}) {
        Machine m;
        EXPECT_FALSE(m.exec(std::string("se 1 = 1 ") + cmd)) << cmd;
        EXPECT_TRUE(m.exec(std::string("se 1 = 2 ") + cmd)) << "a false condition runs nothing";
    }
}

TEST(ControlFlow, Loops) {
    Machine m;
    RunOutcome o = m.runLines({"repete r 3", "  concatena s r", "fim repete", "repete q 0", "  soma z 1",
                               "fim repete", "enquanto n < 4", "  soma n 1", "fim enquanto"});
    EXPECT_EQ(o.end, RunEnd::Finished);
    EXPECT_EQ(m.var("S"), "123");
    EXPECT_EQ(m.var("R"), "4");
    EXPECT_EQ(m.var("Q"), "1");
    EXPECT_EQ(m.var("Z"), "");
    EXPECT_EQ(m.var("N"), "4");

    Machine changing;  // the count is read again at every pass
    changing.runLines({"seja c 5", "repete r c", "  seja c 2", "  soma v 1", "fim repete"});
    EXPECT_EQ(changing.var("V"), "2");

    Machine orphan;
    EXPECT_EQ(orphan.runLines({"soma a 1", "fim enquanto"}).end, RunEnd::Failed);
    Machine orphan2;
    EXPECT_EQ(orphan2.runLines({"fim repete"}).end, RunEnd::Failed);
    Machine bare;
    EXPECT_EQ(bare.runLines({"fim"}).end, RunEnd::Failed);
}

// Loop heads and counting lines in the forms read at once ("i 3") and in the others, which the
// general readers take: both must count alike.
TEST(ControlFlow, LoopHeadsInEveryForm) {
    Machine m;
    RunOutcome o =
        m.runLines({"repete i 3",         "soma a 1",  "fim repete",                      // usual
                    "REPETE  j   2",      "SOMA B 1",  "FIM   REPETE",                    // blanks, capitals
                    "  Repete K 00002",   "soma c 01", "fim repete",                      // leading zeros
                    "repete $n 2",        "soma d 2",  "fim repete",                      // named counter
                    "repete l 99999999",  "soma e 1",  "soma l 99999997",  "fim repete",  // 8 digits
                    "repete f 123456789", "soma g 1",  "seja f 123456789", "fim repete",  // 9 digits
                    "repetente x 1",      "@x"});
    EXPECT_EQ(o.end, RunEnd::Failed) << "\"repetente\" is no loop head and no keyword";
    EXPECT_EQ(o.line, 21);
    EXPECT_EQ(m.var("A"), "3");
    EXPECT_EQ(m.var("I"), "4");
    EXPECT_EQ(m.var("B"), "2");
    EXPECT_EQ(m.var("C"), "2");
    EXPECT_EQ(m.var("K"), "3");
    EXPECT_EQ(m.var("D"), "4");
    EXPECT_EQ(m.var("$n"), "3");
    EXPECT_EQ(m.var("E"), "2");
    EXPECT_EQ(m.var("L"), "199999997");
    EXPECT_EQ(m.var("G"), "1");
    EXPECT_EQ(m.var("F"), "123456790");

    // A counter that is a number written another way goes on counting from its value.
    Machine spelled;
    RunOutcome s = spelled.runLines({"repete i 4", "se i = 1 seja i \" 3\"", "soma t 1", "fim repete"});
    EXPECT_EQ(s.end, RunEnd::Finished);
    EXPECT_EQ(spelled.var("T"), "2");
    EXPECT_EQ(spelled.var("I"), "5");
}

// The run stops after the step limit, counting comments and labels, with the line that did not
// run as its line.
TEST(ControlFlow, StepLimitCountsEveryLine) {
    Machine m;
    m.in.stepLimit = 5;
    RunOutcome o = m.runLines({"* nota", "@rotulo", "soma a 1", "", "soma a 1", "soma a 1", "soma a 1"});
    EXPECT_EQ(o.end, RunEnd::StepLimit);
    EXPECT_EQ(o.line, 6);
    EXPECT_EQ(m.var("A"), "2");
    Machine enough;
    enough.in.stepLimit = 3;
    EXPECT_EQ(enough.runLines({"soma a 1", "soma a 1", "soma a 1"}).end, RunEnd::Finished);
    EXPECT_EQ(enough.var("A"), "3");
}

TEST(ControlFlow, CallsAndJumps) {
    Machine m;
    std::vector<std::string> lines = {"chama @r1", "termina"};
    for (int i = 1; i <= 20; ++i) {
        lines.push_back("@r" + std::to_string(i));
        lines.push_back(i < 20 ? "chama @r" + std::to_string(i + 1) : "soma $fundo 1");
        lines.push_back("retorna");
    }
    RunOutcome o = m.runLines(lines);
    EXPECT_EQ(o.end, RunEnd::Finished) << "twenty nested calls work";
    EXPECT_EQ(m.var("$fundo"), "1");
    EXPECT_TRUE(m.in.callStack.empty());
    Machine deep;
    std::vector<std::string> deepLines = {"@volta", "chama @volta"};
    RunOutcome d = deep.runLines(deepLines);
    EXPECT_EQ(d.end, RunEnd::Failed);
    EXPECT_EQ(deep.row(1), "Muitas chamadas sem retorno");
    EXPECT_EQ(deep.in.callStack.size(), 20u);

    Machine ret;
    EXPECT_EQ(ret.runLines({"retorna"}).end, RunEnd::Failed);
    EXPECT_EQ(ret.row(1), "Retorno sem chamada");

    Machine labels;
    RunOutcome l = labels.runLines({"seja $alvo \"dois\"", "desvia $alvo", "@dois", "soma a 1", "desvia @fim",
                                    "@DOIS", "soma a 10", "@fim", "  @escondido", "desvia @escondido"});
    EXPECT_EQ(labels.var("A"), "1") << "the first of two equal labels is the target";
    EXPECT_EQ(l.end, RunEnd::Failed) << "an indented label is never found";
    EXPECT_EQ(l.line, 10);
    Machine blanks;
    EXPECT_FALSE(blanks.exec("desvia @dois tres"));
    EXPECT_FALSE(blanks.exec("desvia"));
}

TEST(ControlFlow, TerminaAndDebug) {
    Machine m;
    RunOutcome o = m.runLines({"termina mudo", "soma a 1"});
    EXPECT_EQ(o.end, RunEnd::Finished);
    EXPECT_TRUE(m.in.silentEnd);
    EXPECT_EQ(m.var("A"), "");
    Machine t;
    t.runLines({"debug", "escreve   \"oi\"", "debug n", "debug N"});
    EXPECT_EQ(t.row(1), "Debug ligado");
    EXPECT_EQ(t.row(2), "ESCREVE \"oi\"");
    EXPECT_EQ(t.row(3), "oi");
    EXPECT_EQ(t.row(4), "DEBUG n") << "a lower-case n turns tracing on";
    EXPECT_EQ(t.row(5), "Debug ligado");
    EXPECT_EQ(t.row(6), "DEBUG N");
    EXPECT_EQ(t.row(7), "Debug desligado");
}

TEST(CommandTable, KeywordsMatchByTheUpperCasingRule) {
    Machine m;
    EXPECT_TRUE(m.exec("sEjA a 1"));
    EXPECT_TRUE(m.exec("TÍTULO \"x\""));
    EXPECT_TRUE(m.exec("título \"x\""));
    EXPECT_FALSE(m.exec("senäo"));
    EXPECT_EQ(m.row(1), "Comando inválido: SENÄO");
    EXPECT_FALSE(m.exec("seja\ta 1")) << "a tab does not end the keyword (and writes nothing)";
    EXPECT_EQ(m.row(2), "Comando inválido: SEJAA");
    EXPECT_TRUE(m.exec("msaa checa v")) << "the sub-command's word is upper-cased too";
    EXPECT_EQ(m.var("v"), "0");
}

}  // namespace
}  // namespace parlendo
