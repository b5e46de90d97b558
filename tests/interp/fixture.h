// An interpreter wired to fakes: a grid, scripted keys, a recording speech front, a fixed clock
// and a settings file in a temporary folder.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "console/console_grid.h"
#include "console/grid_console_port.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "interp/interpreter.h"
#include "platform/clock.h"
#include "text/cp1252.h"

namespace parlendo::testing {

// Test sources are UTF-8; the interpreter works in Windows-1252.
inline std::string cp(const std::string& utf8) { return text::utf8ToCp1252(utf8); }

inline std::filesystem::path freshTempFolder(const std::string& tag) {
    static int counter = 0;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    auto base = std::filesystem::temp_directory_path() /
                ("parlendo-test-" + tag + "-" + std::to_string(stamp) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(base);
    std::filesystem::create_directories(base);
    return base;
}

inline SettingsLocation tempSettings(const std::filesystem::path& folder) {
    SettingsLocation l;
    l.executableFolder = folder.string();
    l.explicitFile = (folder / "oralix.ini").string();
    l.userFolder = (folder / "user").string();
    l.compatibilityFolder = (folder / "compat").string();
    return l;
}

struct Machine {
    explicit Machine(std::vector<std::string> keyList = {})
        : folder(freshTempFolder("m")),
          typed(std::move(keyList)),
          keys(&typed),
          speech(keys),
          settings(tempSettings(folder)),
          clock(LocalTime{2026, 12, 5, 14, 30, 15, 250, 6}),
          port(console, keys, speech),
          in(Services{console, keys, speech, settings, clock, port}) {}
    ~Machine() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Runs one line as a command of its own (a one-line script when control flow is needed).
    bool exec(const std::string& utf8Line) { return in.executeLine(cp(utf8Line), false); }
    std::string var(const std::string& name) {
        if (name.size() == 1) return in.variables.text(VariableTable::letterSlot(name[0]));
        return in.variables.text(*in.variables.namedSlot(name.substr(1)));
    }
    void set(const std::string& name, const std::string& value) {
        if (name.size() == 1)
            in.variables.set(VariableTable::letterSlot(name[0]), value);
        else
            in.variables.set(*in.variables.namedSlot(name.substr(1)), value);
    }
    RunOutcome runLines(const std::vector<std::string>& utf8Lines) {
        int n = 0;
        for (const auto& l : utf8Lines) in.storeLine(cp(l), ++n);
        return in.run();
    }
    std::string row(int r) {
        std::string t = console.rowText(r);
        while (!t.empty() && t.back() == ' ') t.pop_back();
        return text::cp1252ToUtf8(t);
    }

    std::filesystem::path folder;
    ConsoleGrid console;
    ScriptedKeys typed;
    KeyQueue keys;
    RecordingSpeech speech;
    SettingsFile settings;
    FixedClock clock;
    GridConsolePort port;
    Interpreter in;
};

}  // namespace parlendo::testing
