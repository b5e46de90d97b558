// The window's keys against the terminal's: the same key gives the same bytes and modifiers.
#include "console/window_keys.h"

#include <SDL2/SDL_keycode.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console_grid.h"
#include "console/terminal_keys.h"
#include "console/window_renderer.h"

namespace parlendo {
namespace {

// A key as LE TECLA writes it: the flags of Shift, Ctrl and Alt, then "#code" or "#0#code".
std::string keyText(const TypedKey& k) {
    std::string t;
    t += k.modifiers.shift ? '1' : '0';
    t += k.modifiers.ctrl ? '1' : '0';
    t += k.modifiers.alt ? '1' : '0';
    for (char c : k.bytes) t += "#" + std::to_string(static_cast<unsigned char>(c));
    return t;
}

std::string terminalKey(std::string_view bytes) {
    TerminalKeyDecoder d(127);
    std::vector<TerminalInput> out;
    d.feed(bytes, out);
    d.flush(out);
    return out.size() == 1 ? keyText(out[0].key) : "(" + std::to_string(out.size()) + " keys)";
}

std::string windowKey(int32_t keycode, Modifiers m) {
    std::optional<TypedKey> k = windowKeyDown(keycode, m, true);
    return k ? keyText(*k) : "(none)";
}

constexpr Modifiers kNone{};
constexpr Modifiers kShift{true, false, false};
constexpr Modifiers kCtrl{false, true, false};
constexpr Modifiers kAlt{false, false, true};
constexpr Modifiers kCtrlAlt{false, true, true};
constexpr Modifiers kShiftCtrl{true, true, false};

TEST(WindowKeysTest, KeyDownGivesWhatAnXtermSendsForTheSameKey) {
    struct Case {
        int32_t keycode;
        Modifiers mods;
        const char* xterm;  // what xterm sends for that key
        const char* text;   // LE TECLA's text of it
    };
    const Case cases[] = {
        {SDLK_F1, kNone, "\x1bOP", "000#0#59"},
        {SDLK_F4, kCtrl, "\x1b[1;5S", "010#0#97"},
        {SDLK_F5, kNone, "\x1b[15~", "000#0#63"},
        {SDLK_F9, kCtrlAlt, "\x1b[20;7~", "011#0#102"},
        {SDLK_F12, kNone, "\x1b[24~", "000#0#70"},
        {SDLK_F11, kCtrl, "\x1b[23;5~", "010#0#104"},
        {SDLK_UP, kNone, "\x1b[A", "000#0#72"},
        {SDLK_DOWN, kShift, "\x1b[1;2B", "100#0#80"},
        {SDLK_LEFT, kCtrl, "\x1b[1;5D", "010#0#115"},
        {SDLK_RIGHT, kAlt, "\x1b[1;3C", "001#0#77"},
        {SDLK_HOME, kNone, "\x1b[H", "000#0#71"},
        {SDLK_END, kCtrl, "\x1b[1;5F", "010#0#117"},
        {SDLK_PAGEUP, kCtrl, "\x1b[5;5~", "010#0#132"},
        {SDLK_PAGEDOWN, kNone, "\x1b[6~", "000#0#81"},
        {SDLK_INSERT, kShift, "\x1b[2;2~", "100#0#254"},
        {SDLK_INSERT, kCtrl, "\x1b[2;5~", "010#0#255"},
        {SDLK_DELETE, kNone, "\x1b[3~", "000#0#83"},
        {SDLK_RETURN, kNone, "\r", "000#13"},
        {SDLK_KP_ENTER, kNone, "\r", "000#13"},
        {SDLK_RETURN, kCtrl, "\n", "010#10"},
        {SDLK_TAB, kNone, "\t", "000#9"},
        {SDLK_TAB, kShift, "\x1b[Z", "100#9"},
        {SDLK_ESCAPE, kNone, "\x1b", "000#27"},
        {SDLK_BACKSPACE, kNone, "\x7f", "000#8"},
        {SDLK_BACKSPACE, kCtrl, "\x08", "010#127"},
        {'b', kCtrl, "\x02", "010#2"},
        {'h', kCtrl, "\x08", "010#127"},
        {'m', kCtrl, "\r", "000#13"},
        {'\\', kCtrl, "\x1c", "010#28"},
        {' ', kCtrl, std::string_view("\0", 1).data(), "010#32"},
        {'a', kAlt,
         "\x1b"
         "a",
         "001#0#30"},
        {'z', kAlt,
         "\x1b"
         "z",
         "001#0#44"},
        {'1', kAlt,
         "\x1b"
         "1",
         "001#0#120"},
        {'0', kAlt,
         "\x1b"
         "0",
         "001#0#129"},
        {'q', kCtrlAlt, "\x1b\x11", "011#0#16"},
    };
    for (const Case& c : cases) {
        std::string_view sent = c.keycode == ' ' && c.mods == kCtrl ? std::string_view("\0", 1) : c.xterm;
        EXPECT_EQ(terminalKey(sent), c.text) << "terminal, key " << c.keycode;
        EXPECT_EQ(windowKey(c.keycode, c.mods), c.text) << "window, key " << c.keycode;
    }
    // Keys whose character comes as text give nothing when they go down.
    EXPECT_EQ(windowKey('a', kNone), "(none)");
    EXPECT_EQ(windowKey('a', kShift), "(none)");
    // The keypad moves the cursor without Num Lock and types digits with it.
    EXPECT_EQ(keyText(*windowKeyDown(SDLK_KP_8, kNone, false)), "000#0#72");
    EXPECT_FALSE(windowKeyDown(SDLK_KP_8, kNone, true));
    EXPECT_EQ(keyText(*windowKeyDown(SDLK_F10, kShiftCtrl, true)), "110#0#103");
}

TEST(WindowKeysTest, TextIsTypedAsWindows1252AsOnTheTerminal) {
    const std::string typed =
        "aZ\xc3\xa7\xe2\x82\xac\xe4\xb8\xad!";  // a Z ç € (a character without a byte) !
    std::vector<std::string> window;
    for (const TypedKey& k : windowTextKeys(typed)) window.push_back(keyText(k));
    TerminalKeyDecoder d(127);
    std::vector<TerminalInput> out;
    d.feed(typed, out);
    std::vector<std::string> terminal;
    terminal.reserve(out.size());
    for (const TerminalInput& in : out) terminal.push_back(keyText(in.key));
    EXPECT_EQ(window, (std::vector<std::string>{"000#97", "100#90", "000#231", "000#128", "000#33"}));
    EXPECT_EQ(window, terminal);
}

TEST(WindowKeysTest, MouseButtonsAndWheelAreKeys) {
    EXPECT_EQ(keyText(*windowMouseKey(1, kNone)), "000#13");
    EXPECT_EQ(keyText(*windowMouseKey(3, kNone)), "000#27");
    EXPECT_EQ(keyText(*windowMouseKey(2, kShift)), "100#0#67");
    EXPECT_FALSE(windowMouseKey(4, kNone));
    EXPECT_EQ(keyText(*windowWheelKey(1, kNone)), "000#0#72");
    EXPECT_EQ(keyText(*windowWheelKey(-2, kNone)), "000#0#80");
    EXPECT_FALSE(windowWheelKey(0, kNone));
    EXPECT_EQ(windowChordKey('f'), 'F');
    EXPECT_EQ(windowChordKey(' '), ' ');
    EXPECT_EQ(windowChordKey(SDLK_F1), 0);
}

TEST(WindowKeysTest, CellSizeFromTheSettingsOrTheWorkArea) {
    // 1024 x 734 is the size the defaults are written for: 13 x 28.
    EXPECT_EQ(windowCellSize(std::nullopt, std::nullopt, 1024, 734), (WindowCellSize{13, 28}));
    // A full-HD work area below a task bar of 40 pixels: trunc(1920/1024*13), trunc(1040/734*28).
    EXPECT_EQ(windowCellSize(std::nullopt, std::nullopt, 1920, 1040), (WindowCellSize{24, 39}));
    EXPECT_EQ(windowCellSize(10, 20, 1920, 1040), (WindowCellSize{10, 20}));
    EXPECT_EQ(windowCellSize(9, std::nullopt, 1024, 734), (WindowCellSize{9, 28}));
    // Absurd sizes are held to what a window can show.
    EXPECT_EQ(windowCellSize(100000, 1, 1024, 734), (WindowCellSize{200, 8}));
    EXPECT_EQ(windowCellSize(std::nullopt, std::nullopt, 0, 0), (WindowCellSize{4, 8}));
}

TEST(WindowKeysTest, MagnifiedLineRunsFollowTheScrollOfTheLine) {
    ConsoleGrid grid;
    grid.setMagnification(2, 14, 6, 3);
    std::string text;
    for (int i = 1; i <= 60; ++i) text += static_cast<char>('A' + i % 26);
    grid.drawMagnifiedLine(text, 50);
    std::vector<WindowMagnifiedRun> runs = windowMagnifiedRuns(grid.magnified());
    ASSERT_EQ(runs.size(), 3u);
    // Characters 10 to 48 in the letter colour, 49 in the cursor colour, then blanks to 40 cells.
    EXPECT_EQ(runs[0].cell, 0);
    EXPECT_EQ(runs[0].text, text.substr(9, 39));
    EXPECT_EQ(runs[0].colour, 14);
    EXPECT_EQ(runs[1].cell, 39);
    EXPECT_EQ(runs[1].text, text.substr(48, 1));
    EXPECT_EQ(runs[1].colour, 3);
    EXPECT_EQ(runs[2].cell, 40);
    EXPECT_EQ(runs[2].text, std::string(40, ' '));
    // With the cursor at 1 nothing is in the cursor colour.
    grid.drawMagnifiedLine(text, 1);
    runs = windowMagnifiedRuns(grid.magnified());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].colour, 14);
    EXPECT_EQ(runs[0].text, text.substr(0, 40));
    grid.setMagnification(0, 14, 6, 3);
    EXPECT_TRUE(windowMagnifiedRuns(grid.magnified()).empty());
}

}  // namespace
}  // namespace parlendo
