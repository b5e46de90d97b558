// Starting and following other programs, stopping those started, running a text as a line, and
// the clipboard command.
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
#include "text/cp1252_literal.h"

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
    if (in.services.loop)
        in.services.loop->sleep(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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

// Runs a program the user works in: the terminal is lent to it until it ends. Its exit status
// becomes the channel status, so that a script can tell whether it did its work.
bool runWaited(Interpreter& in, Processes& processes, const std::vector<std::string>& argv) {
    TerminalHandoff* terminal = in.services.terminal;
    int fd = terminal ? terminal->lend() : -1;
    int status = 0;
    bool started = processes.runWaited(argv, fd, &status);
    if (terminal) terminal->takeBack();
    if (started) in.ioStatus = status;
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

// The number EXECUTA gave a started program, as it gave it: decimal digits without a leading
// zero. Any other text is no such number.
std::optional<int> startedNumber(std::string_view text) {
    if (text.empty() || text.size() > 9 || text[0] == '0') return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (!text::isDigit(c)) return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
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
    std::string value;
    if (!readValue(in, args, value)) return false;
    // "value & v" or "value && v": the ampersands stand between the value and a variable that
    // receives the number of the program started.
    std::optional<int> numberSlot;
    if (ampersands == 0 && !args.empty()) {
        while (!args.empty() && args.front() == '&') {
            ++ampersands;
            args.remove_prefix(1);
            dropBlanks(args);
        }
        int slot;
        if (ampersands == 0 || !readVariable(in, args, slot)) return false;
        numberSlot = slot;
    }
    const int mode = ampersands >= 4 ? kShown : ampersands;
    if (!args.empty() || (numberSlot && mode == kConsole)) return false;
    Processes* processes = in.services.processes;
    if (!processes) return cmdNotAvailable(in, args, 0);
    ProgramLine line = splitProgramLine(value);
    if (line.program.empty()) return false;
    in.services.speech.waitSpeech();

    ProgramKind kind = processes->classify(line.program);
    if (kind.kind == ProgramKind::Missing) return in.fail("programa não encontrado: "_cp + line.program);
    if (kind.kind == ProgramKind::Document) {
        // A document has no input and output to connect; its parameters mean nothing to the
        // handler that opens it.
        if (mode == kConsole || !openDocument(in, line.program)) return false;
        if (mode == kWaited) pause(in, returnPause(in));
        // The desktop's handler runs on its own: there is no program of ours to follow.
        return !numberSlot || in.assign(*numberSlot, "");
    }
    std::vector<std::string> argv = argumentsOf(line);
    switch (mode) {
        case kWaited:
            if (!runWaited(in, *processes, argv)) return false;
            pause(in, returnPause(in));
            return true;
        case kShown:
        case kHidden: {
            std::optional<int> number = processes->startDetached(argv, mode == kHidden);
            if (!number) return false;
            return !numberSlot || in.assign(*numberSlot, std::to_string(*number));
        }
        default:
            return processes->startConsole(argv);
    }
}

bool cmdExisteProg(Interpreter& in, std::string_view args, int) {
    const bool byNumber = text::takeUpperPrefix(args, "INICIADO ");
    std::string name;
    int slot;
    if (!readValue(in, args, name) || !readVariable(in, args, slot)) return false;
    Processes* processes = in.services.processes;
    if (!processes) return cmdNotAvailable(in, args, 0);
    if (!byNumber) {
        in.variables.set(slot, processes->isRunning(text::trim(name)) ? "1" : "0");
        return true;
    }
    std::string_view number = text::trim(name);
    bool runs = false;
    if (!number.empty()) {
        std::optional<int> n = startedNumber(number);
        Processes::Started state = n ? processes->started(*n) : Processes::Started::Unknown;
        if (state == Processes::Started::Unknown) return false;
        runs = state == Processes::Started::Running;
    }
    in.variables.set(slot, runs ? "1" : "0");
    return true;
}

bool cmdEncerraProg(Interpreter& in, std::string_view args, int) {
    std::string value;
    if (!readValue(in, args, value) || !args.empty()) return false;
    Processes* processes = in.services.processes;
    if (!processes) return cmdNotAvailable(in, args, 0);
    std::string_view number = text::trim(value);
    if (number.empty()) return true;  // nothing was started
    std::optional<int> n = startedNumber(number);
    return n && processes->stopStarted(*n);
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
        // A clipboard that cannot be reached changes nothing, and the script goes on. The
        // channel status tells where the text went: 0 the desktop's clipboard, 1 only the one
        // inside this program (there is no other), 2 nowhere (the desktop's did not answer).
        const bool copied = clipboard.copy(std::string_view(value).substr(0, kClipboardLimit));
        in.ioStatus = !copied ? 2 : clipboard.shared() ? 0 : 1;
        return true;
    }
    std::string pasted = clipboard.paste();
    if (pasted.size() > kClipboardLimit) pasted.resize(kClipboardLimit);
    return in.assign(slot, std::move(pasted));
}

}  // namespace parlendo
