// The interpreter: the script store, the run loop, label lookup and the end-of-run report.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "interp/list_table.h"
#include "interp/variables.h"
#include "platform/clipboard.h"

namespace parlendo {

class ConsoleGrid;
class ConsolePort;
struct CommandEntry;
class KeyQueue;
class SpeechFront;
class SettingsFile;
class Clock;
class Clipboard;
class Launcher;
class EventLoop;
class WavePlayer;
class Processes;
class TerminalHandoff;
class Desktop;
class Network;
class PictureLayer;
class Accessibility;

// The services the interpreter reaches the world through; the host owns them.
struct Services {
    ConsoleGrid& console;
    KeyQueue& keys;
    SpeechFront& speech;
    SettingsFile& settings;
    Clock& clock;
    // What the interpreter itself writes, speaks and reads keys through: the same console.
    ConsolePort& port;
    // Services a run can do without: tests leave them empty, the host fills them in.
    Clipboard* clipboard = nullptr;       // the text clipboard
    Launcher* launcher = nullptr;         // opens documents and addresses with their programs
    EventLoop* loop = nullptr;            // pumps the terminal and other sources while waiting
    WavePlayer* player = nullptr;         // the one path to the sound device
    Processes* processes = nullptr;       // starts and finds programs; without it they are not available
    TerminalHandoff* terminal = nullptr;  // lends the terminal to a waited-for program
    Desktop* desktop = nullptr;           // other programs' windows, the keyboard and the mouse
    Network* network = nullptr;           // the connection layer and the TLS state of the program
    PictureLayer* pictures = nullptr;     // shows IMAGEM's picture; none in a terminal
    // Other programs' user-interface elements; it must outlive the run (MSAA MONITORA hands it
    // the run's event ring).
    Accessibility* accessibility = nullptr;
    // Takes a line for the script's writer (UTF-8, no line end): why the run failed, and
    // warnings such as a block never closed. Empty: the lines go nowhere.
    std::function<void(const std::string&)> diagnostic = nullptr;
};

// What the command subsystems keep between commands (the file channels, the byte buffer, the
// directory search, the menu): defined with them in commands/command_state.h, above the
// interpreter, which only makes it, resets it and frees it through these.
struct CommandState;
struct CommandStateDeleter {
    void operator()(CommandState* state) const;
};
std::unique_ptr<CommandState, CommandStateDeleter> makeCommandState();
// Closes the channels (keeping what was written), empties the byte buffer, closes the binary
// output file and the directory search; the menu stays.
void resetCommandState(CommandState& state);
void closeChannels(CommandState& state);

enum class RunEnd {
    Finished,    // past the last line, or TERMINA
    Failed,      // a command failed at `line`
    InputEnded,  // the program waited for a key and none will ever come
    StepLimit,   // the step limit set for fuzzing was reached
};

struct RunOutcome {
    RunEnd end = RunEnd::Finished;
    int line = 0;
};

// The closing lines of the store and the blocks a run has left open, for the warnings given when
// the run falls off the end of the script.
struct OpenBlocks {
    // The last "FIM SE", "FIM ENQUANTO" and "FIM REPETE" lines of the store; 0 when there is none.
    int lastFimSe = 0;
    int lastFimEnquanto = 0;
    int lastFimRepete = 0;
    struct Head {
        int line;
        std::string_view blockWord;  // "SE", "ENQUANTO" or "REPETE"
    };
    // Lines run whose block no closing line ends, in the order first run.
    std::vector<Head> unclosed;
};

class Interpreter {
public:
    static constexpr int kStoreCapacity = 5000;
    static constexpr int kCallDepth = 20;

    explicit Interpreter(Services services);

    void reset();
    // Puts a line at a number from 1 to 5000; returns false beyond the store.
    bool storeLine(std::string text, int number);
    RunOutcome run();
    bool executeLine(std::string_view text, bool restricted);
    bool findLabel(std::string_view name);
    // Speaks the closing message or the execution-error report, which waits for Enter.
    // Returns the outcome, turned into InputEnded when the wait found no key.
    RunOutcome reportOutcome(RunOutcome outcome);
    // The exit status of the harness for an outcome: 0 finished, 1 failed, 3 keys exhausted.
    static int exitStatus(const RunOutcome& outcome);

    const std::string& line(int number) const { return store_[number]; }

    // Output shared by every command.
    void write(std::string_view bytes);
    void writeLine(std::string_view text);
    void speak(std::string_view text);
    // Writes the text, speaks it and ends the console line.
    void showMessage(std::string_view text);
    // Writes and speaks the decimal form of a number, without a line end.
    void showNumber(int64_t n);
    // Notes why the line being run fails and returns false, for `return in.fail("...")`. The
    // first reason noted on a line stands, so a reader's own reason outlives its caller's; none
    // is noted while the store is scanned.
    bool fail(std::string_view reason);
    // Writes and speaks the message as showMessage does, notes it as the reason (first letter
    // lowered) and returns false.
    bool failShowing(std::string_view message);
    // Gives the script's writer a line about a script line: "NAME:LINE: WHAT: TEXT", the text
    // being the line's own (Windows-1252 in, UTF-8 out).
    void diagnose(int line, std::string_view what);
    // A text is too long to keep: messages and fails.
    bool assign(int slot, std::string value);
    // The plain line input: keys until Enter, echoed without speech. False when no key came.
    bool readLine(std::string& out, size_t bufferSize = 128);

    Services services;

    int currentLine = 1;
    int scriptSize = 0;
    bool stopRequested = false;
    bool silentEnd = false;
    bool failed = false;
    bool traceOn = false;
    // Set while the store is scanned for block boundaries: readers stay silent then.
    bool scanning = false;
    std::vector<int> callStack;
    const CommandEntry* currentEntry = nullptr;  // the command being carried out
    // Why the line being run fails, when its handler said (Windows-1252); the run loop empties
    // it before each line.
    std::string failReason;
    // The script's name in diagnostics: its path as given, or the carried script's name.
    std::string scriptName = "script";
    OpenBlocks openBlocks;
    VariableTable variables;
    ListTable lists;
    std::unique_ptr<CommandState, CommandStateDeleter> state = makeCommandState();
    // The clipboard of TRANSFERE when the services give none.
    InProcessClipboard localClipboard;
    int32_t ioStatus = 0;
    // Speak typed characters (setting FALANDO, toggled by F4 in the editor) and speak in full
    // (setting FALARTUDO); the host reads both at start.
    bool speechEcho = true;
    bool speakInFull = true;
    // The text last searched for in the screen review, repeated by Ctrl+F5.
    std::string reviewSearch;
    uint32_t randomSeed = 0;
    std::vector<std::string> params;
    // Day of week and hundredths of a second of the day at reset.
    int startDay = 0;
    int64_t startHundredths = 0;
    // Longest text a variable may hold.
    size_t maxTextSize = size_t{64} << 20;
    // Commands run before the run stops with StepLimit; 0 means no limit (fuzzing sets one).
    uint64_t stepLimit = 0;
    uint64_t steps = 0;

private:
    std::vector<std::string> store_;
};

}  // namespace parlendo
