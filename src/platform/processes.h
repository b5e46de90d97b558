// Programs started by the script: waited for with the terminal lent to them, started detached,
// or kept as the one child console with pipes; and the process list, to tell whether a program
// runs. Texts given and taken here are Windows-1252; the system gets UTF-8.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event_loop.h"
#include "text/cp1252.h"

namespace parlendo {

// The terminal the console is drawn on, lent to a program the user works in while the script
// waits for it. The host implements it with the terminal renderer; without a terminal there is
// nothing to lend.
class TerminalHandoff {
public:
    virtual ~TerminalHandoff() = default;
    // Puts the terminal back in the modes it had before the console took it (normal screen,
    // cooked input, cursor shown) and gives its descriptor; -1 when there is no terminal.
    virtual int lend() = 0;
    // Takes the terminal again and draws the whole console anew.
    virtual void takeBack() = 0;
};

// What a program name stands for.
struct ProgramKind {
    enum Kind { Executable, Document, Missing } kind = Missing;
    std::string path;  // the executable found (UTF-8), for Executable
};

// Started programs are this process's children until they end; they are reaped by a sweep of
// waitpid(WNOHANG) over the ones still known, on every pump of the event loop and before every
// start and every look at the process list. No SIGCHLD handler is installed.
class Processes : public EventSource {
public:
    // An executable file found by its path or on PATH; otherwise an existing file or folder, or
    // an address ("scheme://...", "www...."), to be opened with its program; otherwise missing.
    virtual ProgramKind classify(std::string_view program) = 0;

    // Runs a program and waits until it ends. With a terminal descriptor (>= 0) the program runs
    // in a process group of its own that holds the terminal's foreground meanwhile (when this
    // process holds it); otherwise it shares this process's standard streams. False when it could
    // not be started (the exec failure included). The program's exit status goes to exitStatus
    // when given: its exit code, or 128 and the signal's number when a signal ended it.
    virtual bool runWaited(const std::vector<std::string>& argv, int terminal, int* exitStatus = nullptr) = 0;

    // Starts a program in a session of its own with nothing on its standard streams, and does
    // not wait for it. Hidden, it is not given the display variables, so it opens no window.
    // Gives the program's number: 1, 2, ... in the order of the starts that succeeded, never
    // given twice, by which it is asked about and stopped; nothing when it could not be started.
    virtual std::optional<int> startDetached(const std::vector<std::string>& argv, bool hidden) = 0;

    // What became of the program startDetached numbered `number`: it runs (it has not ended and
    // been reaped), it has ended, or no program was given that number.
    enum class Started { Unknown, Running, Ended };
    virtual Started started(int number) = 0;
    // Stops the program startDetached numbered `number` with the process group it leads: SIGTERM
    // to the group, then SIGKILL to what is left of it after a short grace; the program is reaped
    // before this returns. A program that has ended is left alone, as is every process this one
    // did not start: the group's number is signalled only while its leader is an unreaped child.
    // False when no program was given that number.
    virtual bool stopStarted(int number) = 0;

    // Starts the child console: a program in a session of its own whose standard input, output
    // and error are pipes of this process. The pipes of an earlier one are closed first.
    virtual bool startConsole(const std::vector<std::string>& argv) = 0;
    // Writes to the child console's input without waiting long for a child that does not read;
    // false when there is no child console or the bytes could not all be written.
    virtual bool writeConsole(std::string_view text) = 0;
    // What is waiting on the child console's output (stream 1) or error (stream 2), at most
    // `maxBytes` bytes read, without waiting. Empty when nothing waits.
    virtual std::string readConsole(int stream, size_t maxBytes) = 0;

    // True when a process that is not a zombie runs the program `name` (see programNameMatches).
    virtual bool isRunning(std::string_view name) = 0;

    // Reaps the children that have ended.
    virtual void reap() = 0;
    void pump() override { reap(); }
};

// The real processes of the system.
std::unique_ptr<Processes> createProcesses();

// Whether a process whose executable is `path` (Windows-1252) runs the program `upperName`
// (upper-cased): the path's file name or the whole path, upper-cased, equals it; a name ending
// in ".EXE" also matches without that ending.
bool programNameMatches(std::string_view upperName, std::string_view path);

// Text read from a program in pieces, as Windows-1252: a UTF-8 character cut between two pieces
// waits for the rest of its bytes, until the program has ended its output.
class PipeText {
public:
    // The text of the bytes given and of those held from before; `ended` gives the held ones
    // up as they are.
    std::string take(std::string_view bytes, bool ended);
    void clear() { held_.clear(); }

private:
    std::string held_;
};

// Remembers what it was asked to do, for tests; runs nothing.
class RecordingProcesses final : public Processes {
public:
    struct Request {
        std::string how;  // "waited", "shown", "hidden", "console"
        std::vector<std::string> argv;
        int terminal = -1;
    };

    ProgramKind classify(std::string_view program) override {
        std::string p(program);
        if (documents.count(p)) return {ProgramKind::Document, {}};
        if (missing.count(p)) return {ProgramKind::Missing, {}};
        return {ProgramKind::Executable, "/bin/" + p};
    }
    bool runWaited(const std::vector<std::string>& argv, int terminal, int* exitStatus = nullptr) override {
        requests.push_back({"waited", argv, terminal});
        if (exitStatus) *exitStatus = waitedExitStatus;
        return true;
    }
    std::optional<int> startDetached(const std::vector<std::string>& argv, bool hidden) override {
        requests.push_back({hidden ? "hidden" : "shown", argv, -1});
        runningNumbers.insert(++lastNumber);
        return lastNumber;
    }
    Started started(int number) override {
        if (number < 1 || number > lastNumber) return Started::Unknown;
        return runningNumbers.count(number) ? Started::Running : Started::Ended;
    }
    bool stopStarted(int number) override {
        if (number < 1 || number > lastNumber) return false;
        if (runningNumbers.erase(number)) stopped.push_back(number);
        return true;
    }
    bool startConsole(const std::vector<std::string>& argv) override {
        requests.push_back({"console", argv, -1});
        consoleInput.clear();
        return true;
    }
    bool writeConsole(std::string_view text) override {
        consoleInput += text;
        return true;
    }
    std::string readConsole(int stream, size_t maxBytes) override {
        std::string& waiting = stream == 1 ? output : error;
        std::string taken = waiting.substr(0, maxBytes);
        waiting.erase(0, taken.size());
        return taken;
    }
    bool isRunning(std::string_view name) override {
        std::string upper = text::upperCase(name);
        for (const std::string& path : running)
            if (programNameMatches(upper, path)) return true;
        return false;
    }
    void reap() override {}

    std::vector<Request> requests;
    std::set<std::string> documents, missing;
    std::vector<std::string> running;  // executable paths
    int lastNumber = 0;                // of the last program started without waiting
    std::set<int> runningNumbers;      // those not ended; a test ends one by erasing it
    std::vector<int> stopped;          // the numbers stopStarted stopped, in order
    std::string consoleInput, output, error;
    int waitedExitStatus = 0;
};

}  // namespace parlendo
