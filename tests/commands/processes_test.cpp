// The process commands against a recording process service: how EXECUTA takes a command line
// apart and which way it starts it, EXISTEPROG's names, the numbers of started programs,
// ENVIACMD and LE CONSOLE, CMD, and TRANSFERE on the clipboard inside the process.
#include "commands/processes.h"

#include <gtest/gtest.h>

#include <chrono>

#include "../interp/fixture.h"
#include "platform/launcher.h"
#include "platform/processes.h"

namespace parlendo {
namespace {

using testing::Machine;
using Words = std::vector<std::string>;

TEST(ProgramLine, QuotedFirstWordIsTheProgram) {
    ProgramLine l = splitProgramLine("\"c:\\zefran\\notara.exe\"   \"listas\\minha lista.lst\"  ");
    EXPECT_EQ(l.program, "c:\\zefran\\notara.exe");
    EXPECT_EQ(l.parameters, "\"listas\\minha lista.lst\"");
    l = splitProgramLine("\"/opt/meu programa/tocar\"");
    EXPECT_EQ(l.program, "/opt/meu programa/tocar");
    EXPECT_EQ(l.parameters, "");
    // Without the closing quote, everything is the program.
    l = splitProgramLine("\"sem fim de aspas x y");
    EXPECT_EQ(l.program, "sem fim de aspas x y");
    EXPECT_EQ(l.parameters, "");
    l = splitProgramLine("taskkill /f /im mpv.exe");
    EXPECT_EQ(l.program, "taskkill");
    EXPECT_EQ(l.parameters, "/f /im mpv.exe");
    l = splitProgramLine("wget");
    EXPECT_EQ(l.program, "wget");
    EXPECT_EQ(l.parameters, "");
}

TEST(ProgramLine, ParametersSplitLikeAShellWithDoubleQuotesOnly) {
    EXPECT_EQ(splitParameters("-O \"temp\\busca 1.htm\" --user-agent=\"Mozilla/5.0 (X11)\" http://a.b/?q=1"),
              (Words{"-O", "temp\\busca 1.htm", "--user-agent=Mozilla/5.0 (X11)", "http://a.b/?q=1"}));
    EXPECT_EQ(splitParameters("  um   dois\tt\xEAs  "), (Words{"um", "dois", "t\xEAs"}));
    EXPECT_EQ(splitParameters("a \"\" b"), (Words{"a", "", "b"}));
    EXPECT_EQ(splitParameters("d'\xE1gua c:\\x\\y"), (Words{"d'\xE1gua", "c:\\x\\y"}));
    EXPECT_EQ(splitParameters("\"aberto sem fim"), (Words{"aberto sem fim"}));
    EXPECT_TRUE(splitParameters("   ").empty());
}

class CountingHandoff final : public TerminalHandoff {
public:
    int lend() override {
        ++lent;
        return 7;
    }
    void takeBack() override { ++takenBack; }
    int lent = 0, takenBack = 0;
};

struct ProcessMachine : Machine {
    ProcessMachine() {
        in.services.processes = &processes;
        in.services.launcher = &launcher;
        in.services.terminal = &handoff;
        settings.writeSetting("ORALIX", "TEMPOESPERAPROGVOLTAR", "0");
    }
    RecordingProcesses processes;
    RecordingLauncher launcher;
    CountingHandoff handoff;
};

TEST(Executa, ModesByTrailingAmpersands) {
    ProcessMachine m;
    ASSERT_TRUE(m.exec("executa \"mpv \"\"http://r.exemplo/ao vivo\"\" --no-video\" &&"));
    ASSERT_TRUE(m.exec("executa \"ffmpeg -i x.mp3\"&"));
    ASSERT_TRUE(m.exec("executa \"cat\" & & &"));
    ASSERT_TRUE(m.exec("executa \"sh -c true\" &&&&"));
    ASSERT_TRUE(m.exec("seja $c \"taskkill /f /im mpv.exe\""));
    ASSERT_TRUE(m.exec("executa $c"));
    ASSERT_EQ(m.processes.requests.size(), 5u);
    EXPECT_EQ(m.processes.requests[0].how, "hidden");
    EXPECT_EQ(m.processes.requests[0].argv, (Words{"mpv", "http://r.exemplo/ao vivo", "--no-video"}));
    EXPECT_EQ(m.processes.requests[1].how, "shown");
    EXPECT_EQ(m.processes.requests[1].argv, (Words{"ffmpeg", "-i", "x.mp3"}));
    EXPECT_EQ(m.processes.requests[2].how, "console");
    EXPECT_EQ(m.processes.requests[3].how, "shown") << "four or more behave as one";
    EXPECT_EQ(m.processes.requests[4].how, "waited");
    EXPECT_EQ(m.processes.requests[4].argv, (Words{"taskkill", "/f", "/im", "mpv.exe"}));
    EXPECT_EQ(m.processes.requests[4].terminal, 7) << "the waited-for program gets the lent terminal";
    EXPECT_EQ(m.handoff.lent, 1);
    EXPECT_EQ(m.handoff.takenBack, 1);
    // The waited-for program's exit status is the channel status.
    m.processes.waitedExitStatus = 4;
    ASSERT_TRUE(m.exec("executa \"xdg-open x\""));
    EXPECT_EQ(m.in.ioStatus, 4);
    m.processes.requests.pop_back();
    // Arguments reach the system as UTF-8.
    ASSERT_TRUE(m.exec("executa \"tocar a\xC3\xA7\xC3\xA3o.mp3\" &&"));
    EXPECT_EQ(m.processes.requests.back().argv, (Words{"tocar", "a\xC3\xA7\xC3\xA3o.mp3"}));
}

TEST(Executa, DocumentsOpenWithTheDesktopAndFailuresStopTheLine) {
    ProcessMachine m;
    m.processes.documents = {"www.radios.exemplo", "lista.txt"};
    m.processes.missing = {"naoexiste"};
    ASSERT_TRUE(m.exec("executa \"www.radios.exemplo\""));
    ASSERT_TRUE(m.exec("executa \"lista.txt ignorado\" &&"));
    ASSERT_EQ(m.launcher.requests.size(), 2u);
    EXPECT_EQ(m.launcher.requests[0].program, "");
    EXPECT_EQ(m.launcher.requests[0].target, "http://www.radios.exemplo");
    EXPECT_EQ(m.launcher.requests[1].target, "lista.txt");
    EXPECT_TRUE(m.processes.requests.empty());
    EXPECT_EQ(m.handoff.lent, 0) << "a document opened by the desktop keeps the console";

    EXPECT_FALSE(m.exec("executa \"lista.txt\" &&&")) << "a document has no pipes";
    EXPECT_FALSE(m.exec("executa \"naoexiste\" &&"));
    EXPECT_FALSE(m.exec("executa \"\""));
    EXPECT_FALSE(m.exec("executa \"cat\" x &&")) << "nothing may follow the value";
    EXPECT_TRUE(m.processes.requests.empty());
}

TEST(Executa, ReturnPauseComesFromTheSettingsWithinZeroToOneSecond) {
    ProcessMachine m;
    auto timed = [&m] {
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(m.exec("executa \"true\""));
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    };
    EXPECT_LT(timed(), 500);
    m.settings.writeSetting("ORALIX", "TEMPOESPERAPROGVOLTAR", "1500");
    EXPECT_GE(timed(), 950) << "out of range: the default second";
}

TEST(Executa, WithoutProcessServiceIsNotAvailable) {
    Machine m;
    EXPECT_FALSE(m.exec("executa \"true\" &&"));
    EXPECT_EQ(m.row(1), "Comando não disponível: EXECUTA");
}

TEST(ExisteProg, NamesMatchTheFileNameOrWholePathInAnyCase) {
    EXPECT_TRUE(programNameMatches("MPV.EXE", "/usr/bin/mpv"));
    EXPECT_TRUE(programNameMatches("MPV", "/usr/bin/mpv"));
    EXPECT_TRUE(programNameMatches("/USR/BIN/WGET", "/usr/bin/wget"));
    EXPECT_TRUE(programNameMatches("/USR/BIN/WGET.EXE", "/usr/bin/wget"));
    EXPECT_TRUE(programNameMatches("NOTARA.EXE", "/opt/x/notara.exe"));
    EXPECT_TRUE(programNameMatches("A\xC7\xC3O", "/tmp/a\xE7\xE3o"));
    EXPECT_FALSE(programNameMatches("MPV", "/usr/bin/mpv.exe"));
    EXPECT_FALSE(programNameMatches("MP", "/usr/bin/mpv"));
    EXPECT_FALSE(programNameMatches("BIN/MPV", "/usr/bin/mpv"));
    EXPECT_FALSE(programNameMatches(".EXE", "/usr/bin/"));
    EXPECT_FALSE(programNameMatches("", "/usr/bin/mpv"));

    ProcessMachine m;
    m.processes.running = {"/usr/bin/wget"};
    ASSERT_TRUE(m.exec("existeprog \" wget.exe \" p"));
    ASSERT_TRUE(m.exec("existeprog \"mpv.exe\" q"));
    EXPECT_EQ(m.var("p"), "1");
    EXPECT_EQ(m.var("q"), "0");
    EXPECT_FALSE(m.exec("existeprog \"wget\""));
}

TEST(StartedPrograms, NumberedAfterTheAmpersandsAskedAboutAndStoppedByNumberOnly) {
    ProcessMachine m;
    m.processes.documents = {"lista.txt"};
    ASSERT_TRUE(m.exec("executa \"mpv x\" && $toca"));
    ASSERT_TRUE(m.exec("executa \"ffmpeg -i y\"&p"));
    ASSERT_TRUE(m.exec("seja r \"antes\""));
    ASSERT_TRUE(m.exec("executa \"lista.txt\"&r"));
    EXPECT_EQ(m.var("$toca") + m.var("p") + m.var("r"), "12")
        << "a document opened by the desktop is not ours";
    ASSERT_EQ(m.processes.requests.size(), 2u);
    EXPECT_EQ(m.processes.requests[0].how + m.processes.requests[1].how, "hiddenshown");
    for (const char* bad : {"executa \"cat\" &&& x", "executa \"cat\" && x y", "executa \"cat\" && x &"})
        EXPECT_FALSE(m.exec(bad)) << bad;

    m.processes.runningNumbers.erase(2);  // the recorder ended by itself
    ASSERT_TRUE(m.exec("existeprog iniciado $toca a"));
    ASSERT_TRUE(m.exec("existeprog INICIADO p b"));
    ASSERT_TRUE(m.exec("existeprog iniciado \"\" c"));
    EXPECT_EQ(m.var("a") + m.var("b") + m.var("c"), "100");
    ASSERT_TRUE(m.exec("encerraprog $toca"));
    ASSERT_TRUE(m.exec("encerraprog p")) << "one that ended is left alone";
    ASSERT_TRUE(m.exec("encerraprog \"\""));
    for (const char* made :
         {"encerraprog 3", "encerraprog \"01\"", "encerraprog 0", "existeprog iniciado 9 a"})
        EXPECT_FALSE(m.exec(made)) << made;
    EXPECT_EQ(m.processes.stopped, (std::vector<int>{1}));
}

TEST(ChildConsole, LinesGoOutWithLineFeedAndOutputComesBackComposed) {
    ProcessMachine m;
    ASSERT_TRUE(m.exec("executa \"cat\" &&&"));
    ASSERT_TRUE(m.exec("enviacmd \"dir /w\""));
    EXPECT_EQ(m.processes.consoleInput, "dir /w\n");
    EXPECT_FALSE(m.exec("enviacmd"));

    m.processes.output = std::string(
        "sa\xED"
        "da\0lixo",
        10);
    m.processes.error = "erro";
    ASSERT_TRUE(m.exec("le console x"));
    EXPECT_EQ(m.var("x"),
              "sa\xED"
              "da\r\nerro\r\n")
        << "output up to a zero byte, then the error part";
    m.processes.error = "s\xF3 erro";
    ASSERT_TRUE(m.exec("le console x"));
    EXPECT_EQ(m.var("x"), "s\xF3 erro\r\n");
    ASSERT_TRUE(m.exec("le console x"));
    EXPECT_EQ(m.var("x"), "") << "nothing waiting";
    EXPECT_FALSE(m.exec("le console"));

    Machine bare;
    ASSERT_TRUE(bare.exec("le console x")) << "no process service: nothing waits";
    EXPECT_EQ(bare.var("x"), "");
}

TEST(Cmd, RunsOneLineAndRefusesBlockKeywords) {
    Machine m;
    ASSERT_TRUE(m.exec("cmd \"escreve \"\"oi\"\"\""));
    EXPECT_EQ(m.row(1), "oi");
    EXPECT_TRUE(m.exec("cmd \"* comentário\""));
    EXPECT_TRUE(m.exec("cmd \"@rotulo\""));
    EXPECT_TRUE(m.exec("cmd \"\""));
    for (const char* line : {"fim se", "repete 3", "enquanto 1 = 1", "senao", "sen\xC3\xA3o", "FIM"})
        EXPECT_FALSE(m.exec(std::string("cmd \"") + line + "\"")) << line;
    EXPECT_FALSE(m.exec("cmd \"escreve 1\" 2")) << "nothing may follow the value";
    EXPECT_FALSE(m.exec("cmd \"soma\"")) << "the line's own failure is the command's";
}

TEST(Transfere, CopiesAndPastesThroughTheProcessClipboard) {
    Machine m;
    m.set("$link", "http://r.exemplo/a\xE7\xE3o");
    ASSERT_TRUE(m.exec("transfere para x"));
    EXPECT_EQ(m.var("x"), "") << "an empty clipboard gives the empty text";
    ASSERT_TRUE(m.exec("transfere de $link"));
    ASSERT_TRUE(m.exec("TRANSFERE PARA y"));
    EXPECT_EQ(m.var("y"), "http://r.exemplo/a\xE7\xE3o");

    m.set("z", std::string(1000005, 'a'));
    ASSERT_TRUE(m.exec("transfere de z"));
    ASSERT_TRUE(m.exec("transfere para y"));
    EXPECT_EQ(m.var("y").size(), 999999u);

    EXPECT_FALSE(m.exec("transfere dex"));
    EXPECT_FALSE(m.exec("transfere para"));
    EXPECT_FALSE(m.exec("transfere para x y"));
    EXPECT_FALSE(m.exec("transfere x"));

    InProcessClipboard given;
    given.copy("do servi\xE7o");
    m.in.services.clipboard = &given;
    ASSERT_TRUE(m.exec("transfere para y"));
    EXPECT_EQ(m.var("y"), "do servi\xE7o") << "the services' clipboard comes first";

    // Where a copy went: the channel status.
    ASSERT_TRUE(m.exec("transfere de $link"));
    EXPECT_EQ(m.in.ioStatus, 1) << "kept inside the program only";
    struct Desktop final : Clipboard {
        bool answers = true;
        bool copy(std::string_view) override { return answers; }
        std::string paste() override { return {}; }
    } desktop;
    m.in.services.clipboard = &desktop;
    ASSERT_TRUE(m.exec("transfere de $link"));
    EXPECT_EQ(m.in.ioStatus, 0);
    desktop.answers = false;
    ASSERT_TRUE(m.exec("transfere de $link")) << "a clipboard that does not answer stops nothing";
    EXPECT_EQ(m.in.ioStatus, 2);
}

}  // namespace
}  // namespace parlendo
