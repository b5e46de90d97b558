// Starting and following other programs, running a text as a line, and the clipboard command.
#include "commands/processes.h"

#include <chrono>
#include <thread>

#include "console/settings_file.h"
#include "console/speech_front.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/clipboard.h"
#include "platform/event_loop.h"
#include "platform/launcher.h"
#include "platform/processes.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// The child console's pipes are read this much at a time, as one text.
constexpr size_t kChildOutputLimit = 65535;
// The clipboard command moves at most this many characters.
constexpr size_t kClipboardLimit = 999999;
// The pause after the user came back from a waited-for program, when the settings give none.
constexpr int kReturnPauseDefault = 1000;

enum Mode { kWaited = 0, kShown = 1, kHidden = 2, kConsole = 3 };

// Pauses while the event loop keeps the screen, the keys and the children looked after.
void pause(Interpreter& in, int milliseconds) {
    if (milliseconds <= 0) return;
    if (in.services.loop) in.services.loop->sleep(milliseconds);
    else std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int returnPause(Interpreter& in) {
    std::string setting = in.services.settings.readSettingOrDefault("ORALIX", "TEMPOESPERAPROGVOLTAR",
                                                                    std::to_string(kReturnPauseDefault));
    std::optional<int32_t> ms = toInteger(text::trim(setting));
    if (!ms || *ms < 0 || *ms > 1000) return kReturnPauseDefault;
    return *ms;
}

// The program's arguments as the system takes them.
std::vector<std::string> argumentsOf(const ProgramLine& line) {
    std::vector<std::string> argv = {text::cp1252ToUtf8(line.program)};
    for (const std::string& word : splitParameters(line.parameters)) argv.push_back(text::cp1252ToUtf8(word));
    return argv;
}

// Runs a program the user works in: the terminal is lent to it until it ends.
bool runWaited(Interpreter& in, Processes& processes, const std::vector<std::string>& argv) {
    TerminalHandoff* terminal = in.services.terminal;
    int fd = terminal ? terminal->lend() : -1;
    bool started = processes.runWaited(argv, fd);
    if (terminal) terminal->takeBack();
    return started;
}

// Opens a document or an address with the desktop's handler. An address written "www...." gets
// a scheme, without which the handler takes it for a file name.
bool openDocument(Interpreter& in, const std::string& target) {
    Launcher* launcher = in.services.launcher;
    if (!launcher) return false;
    if (text::startsWithUpper(target, "WWW.")) return launcher->open("", "http://" + target, "");
    return launcher->open("", target, "");
}

// Keeps the text up to its first zero byte.
std::string upToZero(std::string s) {
    if (size_t zero = s.find('\0'); zero != std::string::npos) s.resize(zero);
    return s;
}

}  // namespace

ProgramLine splitProgramLine(std::string_view value) {
    ProgramLine line;
    if (!value.empty() && value[0] == '"') {
        size_t close = value.find('"', 1);
        if (close == std::string_view::npos) {
            line.program = value.substr(1);
        } else {
            line.program = value.substr(1, close - 1);
            line.parameters = text::trim(value.substr(close + 1));
        }
        return line;
    }
    size_t blank = 0;
    while (blank < value.size() && !text::isBlank(value[blank])) ++blank;
    line.program = value.substr(0, blank);
    if (blank < value.size()) line.parameters = value.substr(blank + 1);
    return line;
}

std::vector<std::string> splitParameters(std::string_view parameters) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (text::isBlank(c) && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string readChildOutput(Interpreter& in) {
    Processes* processes = in.services.processes;
    if (!processes) return {};
    std::string output = upToZero(processes->readConsole(1, kChildOutputLimit));
    std::string error = upToZero(processes->readConsole(2, kChildOutputLimit));
    std::string result = output.empty() ? std::move(error) : output + "\r\n" + error;
    if (!result.empty()) result += "\r\n";
    return result;
}

bool cmdExecuta(Interpreter& in, std::string_view args, int) {
    int ampersands = 0;
    while (takeTrailingAmpersand(args)) ++ampersands;
    const int mode = ampersands >= 4 ? kShown : ampersands;
    std::string value;
    if (!readValue(in, args, value) || !args.empty()) return false;
    Processes* processes = in.services.processes;
    if (!processes) return cmdNotAvailable(in, args, 0);
    ProgramLine line = splitProgramLine(value);
    if (line.program.empty()) return false;
    in.services.speech.waitSpeech();

    ProgramKind kind = processes->classify(line.program);
    if (kind.kind == ProgramKind::Missing) return in.fail("programa não encontrado: " + line.program);
    if (kind.kind == ProgramKind::Document) {
        // A document has no input and output to connect; its parameters mean nothing to the
        // handler that opens it.
        if (mode == kConsole || !openDocument(in, line.program)) return false;
        if (mode == kWaited) pause(in, returnPause(in));
        return true;
    }
    std::vector<std::string> argv = argumentsOf(line);
    switch (mode) {
    case kWaited:
        if (!runWaited(in, *processes, argv)) return false;
        pause(in, returnPause(in));
        return true;
    case kShown: return processes->startDetached(argv, false);
    case kHidden: return processes->startDetached(argv, true);
    default: return processes->startConsole(argv);
    }
}

bool cmdExisteProg(Interpreter& in, std::string_view args, int) {
    std::string name;
    int slot;
    if (!readValue(in, args, name) || !readVariable(in, args, slot)) return false;
    Processes* processes = in.services.processes;
    if (!processes) return cmdNotAvailable(in, args, 0);
    in.variables.set(slot, processes->isRunning(text::trim(name)) ? "1" : "0");
    return true;
}

bool cmdEnviaCmd(Interpreter& in, std::string_view args, int) {
    std::string value;
    if (args.empty() || !readValue(in, args, value)) return false;
    Processes* processes = in.services.processes;
    if (!processes) return cmdNotAvailable(in, args, 0);
    pause(in, 100);
    // Programs of this system end their input lines with a line feed alone: a carriage return
    // would become part of the line they read.
    processes->writeConsole(value + "\n");
    return true;
}

bool cmdCmd(Interpreter& in, std::string_view args, int) {
    std::string line;
    if (!readValue(in, args, line)) return failNoValue(in, args);
    if (!args.empty()) return nothingMore(in, args);
    return in.executeLine(line, true);
}

bool cmdTransfere(Interpreter& in, std::string_view args, int) {
    const bool toClipboard = text::takeUpperPrefix(args, "DE ");
    if (!toClipboard && !text::takeUpperPrefix(args, "PARA ")) return false;
    int slot;
    if (!readVariable(in, args, slot) || !args.empty()) return false;
    Clipboard& clipboard = in.services.clipboard ? *in.services.clipboard : in.localClipboard;
    if (toClipboard) {
        const std::string& value = in.variables.text(slot);
        // A clipboard that cannot be reached changes nothing, and the script goes on.
        clipboard.copy(std::string_view(value).substr(0, kClipboardLimit));
        return true;
    }
    std::string pasted = clipboard.paste();
    if (pasted.size() > kClipboardLimit) pasted.resize(kClipboardLimit);
    return in.assign(slot, std::move(pasted));
}

}  // namespace parlendo
