// Fuzz target for the interpreter: arbitrary bytes become script lines that are stored and run
// with a step limit, then executed one by one, with fake services all round.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_grid.h"
#include "console/grid_console_port.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "fuzz_scratch.h"
#include "interp/interpreter.h"
#include "platform/clock.h"

namespace {

constexpr size_t kMaxLines = 200;
constexpr uint64_t kStepLimit = 2000;
constexpr size_t kMaxTextSize = size_t{1} << 20;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_execute_line: %s\n", what);
    std::abort();
}

const std::string& scratchFolder() { return parlendo::fuzzScratchFolder("parlendo-fuzz"); }

// Keywords of commands that reach files, programs, the network, sound or other windows, and of
// CMD, which runs a computed text as a line. A line that holds one of them anywhere (in any letter
// case, so also in the command part of a one-line SE) is kept as a comment instead: fuzzing must
// not delete, write or start anything. Commands added to the table that touch the world belong
// here. REMOVE is treated apart because REMOVEQUOTED only edits a variable.
constexpr std::string_view kOutsideWorld[] = {
    "ABRE",    "RENOMEIA",   "REPLICA",   "CMD",         "ESPERA",     "DIGITA",     "ACIONA",  "CLICA",
    "CAPTURA", "TRANSFERE",  "JANELA",    "EXECUTA",     "EXISTEPROG", "GRAVABYTES", "LEBYTE",  "CRIABIN",
    "DIR",     "BUSCA",      "INTERNET",  "CONECTA",     "ATIVASSL",   "SERVE",      "OBSERVA", "TRAZDAREDE",
    "TOCA",    "MCI",        "MIDI",      "ALARME",      "MENSAGEM",   "IMAGEM",     "SENSOR",  "MSAA",
    "MENU",    "SINTCONFIG", "ARQBASE64", "ENCERRAPROG",
};

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool touchesOutside(std::string_view line) {
    std::string up(line);
    for (char& c : up) c = upperAscii(c);
    for (std::string_view word : kOutsideWorld)
        if (up.find(word) != std::string::npos) return true;
    for (size_t at = up.find("REMOVE"); at != std::string::npos; at = up.find("REMOVE", at + 1))
        if (up.compare(at, 12, "REMOVEQUOTED") != 0) return true;
    return false;
}

std::vector<std::string> scriptLines(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < input.size() && lines.size() < kMaxLines) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        std::string line(input.substr(start, end - start));
        if (touchesOutside(line)) line.insert(0, "*");
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// Every index the run loop and the jumps may leave behind: 0 after a jump back to before line 1,
// up to one past the line after the last.
void checkLine(const parlendo::Interpreter& in) {
    if (in.currentLine < 0 || in.currentLine > in.scriptSize + 2) fail("currentLine left the store");
    if (in.callStack.size() > static_cast<size_t>(parlendo::Interpreter::kCallDepth))
        fail("call stack deeper than its limit");
    for (int slot = 0; slot < parlendo::VariableTable::kSlots; ++slot)
        if (in.variables.text(slot).size() > in.maxTextSize) fail("a variable holds more than maxTextSize");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    std::vector<std::string> lines = scriptLines(data, size);

    ConsoleGrid console;
    // A few keys for the commands that read the keyboard: a letter, Enter, Down, Esc, a digit.
    ScriptedKeys typed(std::vector<std::string>{"s", "\r", std::string("\0\x50", 2), "\x1b", "7", "\r"});
    KeyQueue keys(&typed);
    RecordingSpeech speech(keys);
    SettingsFile settings(fuzzScratchSettings(scratchFolder(), scratchFolder() + "/absent/oralix.ini"));
    FixedClock clock(LocalTime{2024, 5, 17, 13, 45, 30, 250, 5});

    GridConsolePort port(console, keys, speech);
    Interpreter in(Services{console, keys, speech, settings, clock, port});
    in.stepLimit = kStepLimit;
    in.maxTextSize = kMaxTextSize;
    in.params = {"um", "dois tres"};
    for (size_t i = 0; i < lines.size(); ++i)
        if (!in.storeLine(lines[i], static_cast<int>(i + 1)))
            fail("storeLine refused a line within the store");

    RunOutcome outcome = in.run();
    checkLine(in);
    if (outcome.end == RunEnd::StepLimit && in.steps <= kStepLimit) fail("step limit reported early");
    (void)in.reportOutcome(outcome);

    // Each line once more on its own, as the run loop would execute it there; every other one
    // restricted, as the command part of a one-line SE is.
    for (size_t i = 0; i < lines.size(); ++i) {
        in.currentLine = static_cast<int>(i + 1);
        in.failed = false;
        in.stopRequested = false;
        bool ok = in.executeLine(lines[i], i % 2 == 1);
        if (ok == in.failed) fail("executeLine's result disagrees with failed");
        checkLine(in);
    }
    return 0;
}
