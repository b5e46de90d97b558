// The system's process service with real programs: what a name stands for, exec failures, the
// child console's pipes, the process list, and no zombie left behind.
#include "platform/processes.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "../interp/fixture.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The children of this process that are zombies, read from /proc.
std::vector<int> zombieChildren() {
    std::vector<int> found;
    const std::string self = std::to_string(::getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream f(entry.path() / "stat");
        std::string stat;
        if (!std::getline(f, stat)) continue;
        size_t close = stat.rfind(')');
        if (close == std::string::npos || close + 4 > stat.size()) continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string state, parent;
        rest >> state >> parent;
        if (state == "Z" && parent == self) found.push_back(std::stoi(entry.path().filename().string()));
    }
    return found;
}

// Reads the child console until `want` bytes came or two seconds passed.
std::string readFor(Processes& p, size_t want, int stream = 1) {
    std::string got;
    for (int i = 0; i < 400 && got.size() < want; ++i) {
        got += p.readConsole(stream, 65535);
        if (got.size() < want) std::this_thread::sleep_for(5ms);
    }
    return got;
}

// A copy of sleep under a name no other process has.
struct UniqueSleeper {
    UniqueSleeper() : folder(testing::freshTempFolder("proc")) {
        path = folder / ("dorminhoco-" + std::to_string(::getpid()));
        fs::copy_file("/bin/sleep", path);
        fs::permissions(path, fs::perms::owner_all);
    }
    ~UniqueSleeper() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    fs::path folder, path;
};

TEST(SystemProcesses, ClassifiesProgramsDocumentsAndAddresses) {
    auto p = createProcesses();
    EXPECT_EQ(p->classify("sh").kind, ProgramKind::Executable);
    EXPECT_EQ(p->classify("/bin/sh").kind, ProgramKind::Executable);
    testing::Machine m;  // for its temporary folder
    std::ofstream(m.folder / "lista.txt") << "r\u00e1dios\n";
    fs::permissions(m.folder / "lista.txt", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(p->classify(std::string(m.folder / "lista.txt")).kind, ProgramKind::Document);
    EXPECT_EQ(p->classify(std::string(m.folder)).kind, ProgramKind::Document) << "a folder";
    EXPECT_EQ(p->classify("https://radios.exemplo/x").kind, ProgramKind::Document);
    EXPECT_EQ(p->classify("www.radios.exemplo").kind, ProgramKind::Document);
    EXPECT_EQ(p->classify("programa-que-nao-existe-1234").kind, ProgramKind::Missing);
    EXPECT_EQ(p->classify("c:\\zefran\\notara.exe").kind, ProgramKind::Missing) << "a drive is no scheme";
}

TEST(SystemProcesses, StartsFailWhenTheProgramCannotRun) {
    auto p = createProcesses();
    testing::Machine m;  // for its temporary folder
    fs::path bad = m.folder / "nao-executavel";
    std::ofstream(bad) << "\x7f"
                          "ELF but not really";
    fs::permissions(bad, fs::perms::owner_all);
    EXPECT_FALSE(p->startDetached({bad.string()}, true)) << "the exec failure is seen";
    EXPECT_FALSE(p->startConsole({bad.string()}));
    EXPECT_FALSE(p->runWaited({bad.string()}, -1));
    EXPECT_FALSE(p->startDetached({"programa-que-nao-existe-1234"}, false));
    int status = -1;
    EXPECT_TRUE(p->runWaited({"sh", "-c", "exit 3"}, -1, &status)) << "an exit status is no start failure";
    EXPECT_EQ(status, 3);
    EXPECT_TRUE(p->runWaited({"sh", "-c", "kill -TERM $$"}, -1, &status));
    EXPECT_EQ(status, 128 + 15) << "a signal's end is told apart from an exit code";
    EXPECT_FALSE(p->writeConsole("x\n")) << "no child console yet";
}

// Pieces of a program's output: a character cut anywhere waits for the rest of its bytes; bytes
// no more bytes can make a character are not held back; the end gives up what is held.
TEST(PipeText, HoldsOnlyTheStartOfACharacterStillToCome) {
    PipeText pipe;
    EXPECT_EQ(pipe.take("a\xE2", false), "a");
    EXPECT_EQ(pipe.take("\x82", false), "");
    EXPECT_EQ(pipe.take("\xAC!", false), "\x80!") << "the euro sign, cut twice";
    EXPECT_EQ(pipe.take("\xF0\x9F\x98", false), "");
    EXPECT_EQ(pipe.take("\x80", false), "?") << "a character Windows-1252 lacks";
    EXPECT_EQ(pipe.take("x\xC3", true), "x\xC3") << "the end: the byte taken as it is";
    EXPECT_EQ(pipe.take("\xA7", false), "\xA7") << "nothing was held past the end";
    EXPECT_EQ(pipe.take("y\xE0\x80", false), "y\xE0\x80") << "no UTF-8 can start so: not held";
}

TEST(SystemProcesses, ChildConsoleEchoesAndKeepsCharactersWhole) {
    auto p = createProcesses();
    ASSERT_TRUE(p->startConsole({"cat"}));
    ASSERT_TRUE(p->writeConsole("linha a\xE7\xE3o\n"));
    EXPECT_EQ(readFor(*p, 11), "linha a\xE7\xE3o\n") << "UTF-8 both ways";
    EXPECT_EQ(p->readConsole(2, 65535), "");

    // A character cut between two writes of the program arrives whole.
    ASSERT_TRUE(p->startConsole({"sh", "-c", "printf '\\303'; sleep 0.3; printf '\\247\\n'; echo erro >&2"}));
    EXPECT_EQ(readFor(*p, 2), "\xE7\n");
    EXPECT_EQ(readFor(*p, 5, 2), "erro\n");

    // A new child console closes the pipes of the one before: its cat sees the end of its input.
    testing::Machine m;
    const fs::path mark = m.folder / "fim";
    ASSERT_TRUE(p->startConsole({"sh", "-c", "cat; echo fim > \"$0\"", mark.string()}));
    ASSERT_TRUE(p->startConsole({"sh", "-c", "sleep 5"}));
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        std::this_thread::sleep_for(10ms);
        ended = fs::exists(mark);
    }
    EXPECT_TRUE(ended) << "the earlier child still has its input open";
}

TEST(SystemProcesses, FindsRunningProgramsAndNotZombies) {
    UniqueSleeper sleeper;
    const std::string name = sleeper.path.filename().string();
    auto p = createProcesses();
    EXPECT_FALSE(p->isRunning(name));
    ASSERT_TRUE(p->startDetached({sleeper.path.string(), "0.3"}, true));
    EXPECT_TRUE(p->isRunning(name));
    EXPECT_TRUE(p->isRunning(text::upperCase(name) + ".EXE"));
    EXPECT_TRUE(p->isRunning(sleeper.path.string()));
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        std::this_thread::sleep_for(10ms);
        ended = !p->isRunning(name);
    }
    EXPECT_TRUE(ended) << "still listed after it ended";

    // A zombie is no running program: a child that nobody reaps yet.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(sleeper.path.c_str(), name.c_str(), "0", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    bool zombie = false;
    for (int i = 0; i < 300 && !zombie; ++i) {
        std::this_thread::sleep_for(10ms);
        for (int z : zombieChildren()) zombie = zombie || z == pid;
    }
    ASSERT_TRUE(zombie);
    EXPECT_FALSE(p->isRunning(name));
    ::waitpid(pid, nullptr, 0);
}

TEST(SystemProcesses, StopsAStartedProgramWithItsGroupKillingWhatIgnoresTheRequest) {
    UniqueSleeper sleeper;
    const std::string name = sleeper.path.filename().string();
    auto p = createProcesses();
    // A shell that ignores SIGTERM waits for a child of its group, which ignores it too.
    std::optional<int> n =
        p->startDetached({"sh", "-c", "trap '' TERM; \"$0\" 20 & wait", sleeper.path.string()}, true);
    ASSERT_EQ(n, 1);
    for (int i = 0; i < 300 && !p->isRunning(name); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(p->isRunning(name));
    EXPECT_EQ(p->started(1), Processes::Started::Running);
    EXPECT_FALSE(p->stopStarted(2)) << "a number never given";
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(p->stopStarted(1));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 1900ms) << "the grace before SIGKILL";
    EXPECT_LT(took, 5s);
    EXPECT_EQ(p->started(1), Processes::Started::Ended);
    // The child was sent SIGKILL with the group; the system may take a moment to end it.
    for (int i = 0; i < 100 && p->isRunning(name); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(p->isRunning(name)) << "the child in the group was stopped too";
    EXPECT_EQ(zombieChildren(), std::vector<int>{}) << "the program was reaped";
    ASSERT_EQ(p->startDetached({"true"}, true), 2) << "numbers are never given twice";
    for (int i = 0; i < 300 && p->started(2) == Processes::Started::Running; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(p->stopStarted(2)) << "one that ended is left alone";
}

TEST(SystemProcesses, LeavesNoZombies) {
    {
        auto p = createProcesses();
        for (int i = 0; i < 20; ++i) ASSERT_TRUE(p->startDetached({"true"}, i % 2 == 0));
        ASSERT_TRUE(p->startConsole({"true"}));
        ASSERT_TRUE(p->startConsole({"sh", "-c", "exit 0"}));
        ASSERT_TRUE(p->runWaited({"true"}, -1));
        std::this_thread::sleep_for(300ms);
        p->pump();
        EXPECT_EQ(zombieChildren(), std::vector<int>{}) << "after a pump";
        ASSERT_TRUE(p->startDetached({"true"}, false));
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_EQ(zombieChildren(), std::vector<int>{}) << "after the service ends";
}

}  // namespace
}  // namespace parlendo
