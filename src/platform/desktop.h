// The desktop other programs run on: their windows, the keyboard and the mouse. Under X the
// windows and input events go through libxdo and Xlib; without a display nothing is found and
// input goes nowhere. Texts are Windows-1252 here; X gets and gives UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace parlendo {

using WindowId = uint64_t;

// A top-level window as the window commands see it.
struct WindowInfo {
    WindowId id = 0;
    std::string title;
    bool enabled = true;
    bool visible = false;
    bool minimised = false;
};

// Where a window stands on the screen: its outer left and top edges, frame included, and the
// width of the frame at its side.
struct WindowGeometry {
    int left = 0;
    int top = 0;
    int frameWidth = 0;
};

// Modifier bits of a key request, in the order they are pressed.
enum KeyModifier : int { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

// Virtual-key codes the commands name.
enum VirtualKey : int {
    kVkBackspace = 8,
    kVkTab = 9,
    kVkEnter = 13,
    kVkEscape = 27,
    kVkHome = 36,
    kVkEnd = 35,
    kVkInsert = 45,
    kVkNumLock = 144,
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Top-level windows, the front-most first.
    virtual std::vector<WindowInfo> windows() = 0;
    // Asks the window to close, as its close button does.
    virtual void close(WindowId window) = 0;
    // Shows the window in its normal size and state and brings it to the front with the focus.
    virtual void showNormal(WindowId window) = 0;
    // Shows the window maximised and brings it to the front with the focus.
    virtual void maximise(WindowId window) = 0;
    virtual void minimise(WindowId window) = 0;

    // The title of the window in front; empty when there is none.
    virtual std::string foregroundTitle() = 0;
    // The text of this program's own window when it has the keyboard focus; empty otherwise.
    virtual std::string focusedText() = 0;
    // Where the window in front stands; nothing when there is none.
    virtual std::optional<WindowGeometry> foregroundGeometry() = 0;
    // The console's own window, 0 when it has none the desktop knows of.
    virtual WindowId consoleWindow() = 0;

    // Presses Shift, Ctrl and Alt as the modifiers ask, presses and releases the key of the
    // virtual-key code, then releases the modifiers.
    virtual void sendKey(int virtualKey, int modifiers) = 0;
    // Types the character (Windows-1252) with the Shift level it needs, the modifiers held too.
    virtual void typeCharacter(unsigned char c, int modifiers) = 0;
    // Presses the key that carries the character with only the given modifiers: "A" and "!"
    // press the keys of "a" and "1" on a US keyboard.
    virtual void pressKeyOf(unsigned char c, int modifiers) = 0;
    // Presses the dead key of an accent (` ´ ^ ~ ¨); false, doing nothing, when the keyboard
    // map has no such dead key.
    virtual bool typeDeadKey(unsigned char accent) = 0;
    // Turns Num Lock over without any key event.
    virtual void toggleNumLock() = 0;

    virtual void moveMouse(int x, int y) = 0;
    // The left button pressed and released where the pointer is.
    virtual void leftClick() = 0;
};

// No display: no window is ever found, keys and clicks go nowhere, and the console, the only
// window there is, is in front with the focus.
class NoDisplayDesktop final : public Desktop {
public:
    explicit NoDisplayDesktop(std::function<std::string()> consoleTitle)
        : consoleTitle_(std::move(consoleTitle)) {}

    std::vector<WindowInfo> windows() override { return {}; }
    void close(WindowId) override {}
    void showNormal(WindowId) override {}
    void maximise(WindowId) override {}
    void minimise(WindowId) override {}
    std::string foregroundTitle() override { return consoleTitle_ ? consoleTitle_() : std::string(); }
    std::string focusedText() override { return foregroundTitle(); }
    std::optional<WindowGeometry> foregroundGeometry() override { return std::nullopt; }
    WindowId consoleWindow() override { return 0; }
    void sendKey(int, int) override {}
    void typeCharacter(unsigned char, int) override {}
    void pressKeyOf(unsigned char, int) override {}
    bool typeDeadKey(unsigned char) override { return false; }
    void toggleNumLock() override {}
    void moveMouse(int, int) override {}
    void leftClick() override {}

private:
    std::function<std::string()> consoleTitle_;
};

// A desktop held in memory for tests: windows are set up by the test, and every request is
// written down as a line of text in `events`.
class RecordingDesktop final : public Desktop {
public:
    std::vector<WindowInfo> windows() override { return windowList; }
    void close(WindowId w) override { record("close " + std::to_string(w)); }
    void showNormal(WindowId w) override { record("normal " + std::to_string(w)); }
    void maximise(WindowId w) override { record("maximise " + std::to_string(w)); }
    void minimise(WindowId w) override { record("minimise " + std::to_string(w)); }
    std::string foregroundTitle() override { return foreground; }
    std::string focusedText() override { return focused; }
    std::optional<WindowGeometry> foregroundGeometry() override { return geometry; }
    WindowId consoleWindow() override { return console; }
    // "key 13" or "key 27 +shift+ctrl": the code, then the modifiers held.
    void sendKey(int vk, int modifiers) override { record("key " + std::to_string(vk) + mods(modifiers)); }
    void typeCharacter(unsigned char c, int modifiers) override {
        record("char " + std::to_string(c) + mods(modifiers));
    }
    void pressKeyOf(unsigned char c, int modifiers) override {
        record("keyof " + std::to_string(c) + mods(modifiers));
    }
    bool typeDeadKey(unsigned char accent) override {
        if (!deadKeys) return false;
        record("dead " + std::to_string(accent));
        return true;
    }
    void toggleNumLock() override { record("numlock"); }
    void moveMouse(int x, int y) override { record("move " + std::to_string(x) + "," + std::to_string(y)); }
    void leftClick() override { record("click"); }

    std::vector<WindowInfo> windowList;
    std::string foreground;
    std::string focused;
    std::optional<WindowGeometry> geometry;
    WindowId console = 0;
    bool deadKeys = true;
    std::vector<std::string> events;

private:
    void record(std::string e) { events.push_back(std::move(e)); }
    static std::string mods(int m) {
        std::string s;
        if (m & kModShift) s += " +shift";
        if (m & kModCtrl) s += " +ctrl";
        if (m & kModAlt) s += " +alt";
        return s;
    }
};

// The X desktop of the named display (the DISPLAY variable's when empty); nothing when it
// cannot be opened. The console's title stands for the window in front when no X window is and
// the console's own window is not known to X.
std::unique_ptr<Desktop> openX11Desktop(const std::string& displayName = {},
                                        std::function<std::string()> consoleTitle = {});

// The X desktop when DISPLAY is set and opens, otherwise the desktop without a display.
std::unique_ptr<Desktop> createDesktop(std::function<std::string()> consoleTitle);

}  // namespace parlendo
