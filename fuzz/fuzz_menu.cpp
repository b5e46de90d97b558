// Fuzz target for the MENU command: arbitrary sub-command lines run against arbitrary keys (any
// byte, any extended code, any modifiers), with the menu's drawing and scrolling checked after
// every line.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/command_state.h"
#include "console/console_grid.h"
#include "console/grid_console_port.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "fuzz_scratch.h"
#include "interp/interpreter.h"
#include "platform/clock.h"

namespace {

using namespace parlendo;

constexpr size_t kMaxLines = 64;
constexpr size_t kMaxKeys = 256;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_menu: %s\n", what);
    std::abort();
}

const std::string& scratchFolder() { return parlendo::fuzzScratchFolder("parlendo-fuzz-menu"); }

std::vector<TypedKey> keysFrom(FuzzedDataProvider& in) {
    std::vector<TypedKey> keys;
    size_t n = in.ConsumeIntegralInRange<size_t>(0, kMaxKeys);
    for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
        uint8_t flags = in.ConsumeIntegral<uint8_t>();
        Modifiers held{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0};
        uint8_t b = in.ConsumeIntegral<uint8_t>();
        // Every other key is extended, so that moves and marks dominate.
        if (flags & 8)
            keys.push_back(TypedKey{std::string{'\0', static_cast<char>(b)}, held});
        else if (b != 0)
            keys.push_back(TypedKey{std::string(1, static_cast<char>(b)), held});
    }
    return keys;
}

void checkMenu(const Interpreter& in, const ConsoleGrid& console, uint8_t attributeBefore) {
    if (console.cursorColumn() < 1 || console.cursorColumn() > ConsoleGrid::kColumns + 1 ||
        console.cursorRow() < 1 || console.cursorRow() > ConsoleGrid::kRows)
        fail("cursor outside the grid");
    if (console.attribute() != attributeBefore) fail("the menu left its colours behind");
    if (!in.state->menu) return;
    const Menu& m = *in.state->menu;
    if (m.left() < 1 || m.right() > ConsoleGrid::kColumns || m.left() > m.right())
        fail("columns outside the grid");
    if (m.top() < 1 || m.bottom() > ConsoleGrid::kRows || m.top() > m.bottom()) fail("rows outside the grid");
    if (m.firstVisible() < 0 || m.firstVisible() > m.count()) fail("first visible row out of range");
    if (m.startPosition < 1) fail("start position below 1");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fuzz(data, size);
    std::vector<TypedKey> keyList = keysFrom(fuzz);
    bool fixed = fuzz.ConsumeBool();
    std::vector<std::string> lines;
    while (fuzz.remaining_bytes() > 0 && lines.size() < kMaxLines)
        lines.push_back(fuzz.ConsumeRandomLengthString(80));

    ConsoleGrid console;
    console.setFixedColours(fixed);
    console.setMagnification(2, 14, 6, 3);
    ScriptedKeys typed(keyList);
    KeyQueue keys(&typed);
    RecordingSpeech speech(keys);
    SettingsFile settings(fuzzScratchSettings(scratchFolder(), scratchFolder() + "/absent/oralix.ini"));
    FixedClock clock(LocalTime{2024, 5, 17, 13, 45, 30, 250, 5});
    GridConsolePort port(console, keys, speech);
    Interpreter in(Services{console, keys, speech, settings, clock, port});
    in.maxTextSize = size_t{1} << 16;

    // A menu to work on, so that most lines reach the keys rather than stopping at "no menu".
    in.executeLine("menu cria 3 2 40 12", false);
    for (const std::string& line : lines) {
        const uint8_t before = console.attribute();
        in.failed = false;
        in.executeLine("menu " + line, false);
        checkMenu(in, console, before);
        // The same text as an item, so items hold every byte.
        in.variables.set(VariableTable::letterSlot('X'), line);
        in.executeLine("menu adiciona x", false);
    }
    return 0;
}
