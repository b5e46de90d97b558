// Windows, keys and the mouse of the desktop, and ESPERA.
#include "commands/desktop.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <string>
#include <thread>

#include "console/console_grid.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// The longest titles the commands look at.
constexpr size_t kMatchedTitle = 143;
constexpr size_t kCapturedText = 254;
constexpr size_t kWaitedTitle = 250;

// Pauses after keys: a typed character or a named key, and a single character of ACIONA.
constexpr int kKeyPauseMs = 100;
constexpr int kQuickKeyPauseMs = 1;
// The title wait of ESPERA looks twice a second.
constexpr int kTitleCheckMs = 500;

struct KeyName {
    std::string_view name;
    int code;
};

constexpr std::array kKeyNames = {
    KeyName{"UP", 38},       KeyName{"DOWN", 40},   KeyName{"LEFT", 37},  KeyName{"RIGHT", 39},
    KeyName{"ESCAPE", 27},   KeyName{"ESC", 27},    KeyName{"ENTER", 13}, KeyName{"RETURN", 13},
    KeyName{"BACKSPACE", 8}, KeyName{"TAB", 9},     KeyName{"INS", 45},   KeyName{"HOME", 36},
    KeyName{"DEL", 46},      KeyName{"DELETE", 46}, KeyName{"END", 35},   KeyName{"PAGEUP", 33},
    KeyName{"PRIOR", 33},    KeyName{"PAGEDN", 34}, KeyName{"NEXT", 34},  KeyName{"SNAPSHOT", 44},
};

// The desktop of the run; a run given none (unit tests of other commands) has no display.
class DesktopOf {
public:
    explicit DesktopOf(Interpreter& in)
        : fallback_([&in] { return in.services.console.title(); }),
          desktop_(in.services.desktop ? *in.services.desktop : fallback_) {}
    Desktop* operator->() { return &desktop_; }

private:
    NoDisplayDesktop fallback_;
    Desktop& desktop_;
};

// Keys the program sends to its own window are handled at once.
void pumpOwn(Interpreter& in) {
    if (in.services.loop) in.services.loop->pump();
}

// The text up to the first blank, upper-cased, and what follows it.
std::string takeWord(std::string_view& args) {
    size_t end = 0;
    while (end < args.size() && !text::isBlank(args[end])) ++end;
    std::string word = text::upperCase(args.substr(0, end));
    args.remove_prefix(end);
    return word;
}

std::string cut(std::string s, size_t longest) {
    if (s.size() > longest) s.resize(longest);
    return s;
}

// Windows-1252 leaves these bytes without a character; they are typed as a blank.
bool undefinedCharacter(unsigned char c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

// Types one character: a control character as Ctrl with its letter, an accented letter as its
// dead key and base letter when the keyboard has the dead key (otherwise the letter itself,
// which the desktop can always type), any other character as itself.
void typeChar(Interpreter& in, Desktop* desk, unsigned char c, int pauseMs) {
    if (c < 32) {
        unsigned char letter = static_cast<unsigned char>(c + 64);
        if (letter >= 'A' && letter <= 'Z')
            desk->sendKey(letter, kModCtrl);
        else
            desk->typeCharacter(letter, kModCtrl);
    } else if (std::optional<AccentedLetter> parts = decomposeAccented(c)) {
        if (desk->typeDeadKey(parts->accent)) {
            pumpOwn(in);
            desk->typeCharacter(parts->base, 0);
        } else {
            desk->typeCharacter(c, 0);
        }
    } else {
        desk->typeCharacter(undefinedCharacter(c) ? ' ' : c, 0);
    }
    pumpOwn(in);
    pauseRun(in, pauseMs);
}

void sendKey(Interpreter& in, Desktop* desk, int code, int modifiers, int pauseMs) {
    if (code == kVkNumLock)
        desk->toggleNumLock();
    else
        desk->sendKey(code, modifiers);
    pumpOwn(in);
    pauseRun(in, pauseMs);
}

}  // namespace

bool titleMatches(std::string_view title, std::string_view pattern) {
    bool mustBegin = !pattern.empty() && pattern.front() == '*';
    if (mustBegin) pattern.remove_prefix(1);
    bool mustEnd = !pattern.empty() && pattern.back() == '*';
    if (mustEnd) pattern.remove_suffix(1);
    std::string t = text::upperCase(title.substr(0, std::min(title.size(), kMatchedTitle)));
    std::string p = text::upperCase(pattern);
    size_t at = t.find(p);
    if (at == std::string::npos) return false;
    if (mustBegin && at != 0) return false;
    if (mustEnd && at + p.size() != t.size()) return false;
    return true;
}

std::optional<int> keyNameCode(std::string_view upperName) {
    for (const KeyName& k : kKeyNames)
        if (k.name == upperName) return k.code;
    // F1 to F12.
    if (upperName.size() >= 2 && upperName.size() <= 3 && upperName[0] == 'F') {
        int n = 0;
        for (char c : upperName.substr(1)) {
            if (!text::isDigit(c)) return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (upperName[1] != '0' && n >= 1 && n <= 12) return 111 + n;
    }
    return std::nullopt;
}

std::optional<AccentedLetter> decomposeAccented(unsigned char c) {
    constexpr unsigned char kGrave = '`', kAcute = 0xB4, kCircumflex = '^', kTilde = '~', kDiaeresis = 0xA8;
    if (c == 0x9F) return AccentedLetter{kDiaeresis, 'Y'};  // Ÿ
    if (c == 0xFF) return AccentedLetter{kDiaeresis, 'y'};  // ÿ
    if (c < 0xC0) return std::nullopt;
    // The capitals from À to Ý; the small letters are 32 places further on.
    unsigned char capital = c >= 0xE0 ? static_cast<unsigned char>(c - 32) : c;
    unsigned char lower = c >= 0xE0 ? 32 : 0;
    auto of = [&](unsigned char accent, char base) {
        return AccentedLetter{accent, static_cast<unsigned char>(base + lower)};
    };
    switch (capital) {
        case 0xC0:
            return of(kGrave, 'A');
        case 0xC1:
            return of(kAcute, 'A');
        case 0xC2:
            return of(kCircumflex, 'A');
        case 0xC3:
            return of(kTilde, 'A');
        case 0xC4:
            return of(kDiaeresis, 'A');
        case 0xC8:
            return of(kGrave, 'E');
        case 0xC9:
            return of(kAcute, 'E');
        case 0xCA:
            return of(kCircumflex, 'E');
        case 0xCB:
            return of(kDiaeresis, 'E');
        case 0xCC:
            return of(kGrave, 'I');
        case 0xCD:
            return of(kAcute, 'I');
        case 0xCE:
            return of(kCircumflex, 'I');
        case 0xCF:
            return of(kDiaeresis, 'I');
        case 0xD1:
            return of(kTilde, 'N');
        case 0xD2:
            return of(kGrave, 'O');
        case 0xD3:
            return of(kAcute, 'O');
        case 0xD4:
            return of(kCircumflex, 'O');
        case 0xD5:
            return of(kTilde, 'O');
        case 0xD6:
            return of(kDiaeresis, 'O');
        case 0xD9:
            return of(kGrave, 'U');
        case 0xDA:
            return of(kAcute, 'U');
        case 0xDB:
            return of(kCircumflex, 'U');
        case 0xDC:
            return of(kDiaeresis, 'U');
        case 0xDD:
            return of(kAcute, 'Y');
        default:
            return std::nullopt;
    }
}

void pauseRun(Interpreter& in, long long milliseconds) {
    // EventLoop::sleep takes an int: a long pause is made of day-long steps.
    constexpr long long kStep = 24LL * 3600 * 1000;
    while (milliseconds > 0) {
        int step = static_cast<int>(std::min(milliseconds, kStep));
        if (in.services.loop)
            in.services.loop->sleep(step);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(step));
        milliseconds -= step;
    }
}

// JANELA action pattern: acts on the first top-level window, front-most first, whose title
// matches. No match is no error: IoStatus says so.
bool cmdJanela(Interpreter& in, std::string_view args, int) {
    in.ioStatus = 0;
    std::string action = takeWord(args);
    std::string pattern;
    if (!readValue(in, args, pattern)) return false;
    DesktopOf desk(in);
    for (const WindowInfo& w : desk->windows()) {
        if (!w.enabled || (!w.visible && !w.minimised) || w.title.empty()) continue;
        if (!titleMatches(w.title, pattern)) continue;
        if (action == "FECHA")
            desk->close(w.id);
        else if (action == "NORMAL")
            desk->showNormal(w.id);
        else if (action == "MAXIMIZA")
            desk->maximise(w.id);
        else if (action == "MINIMIZA")
            desk->minimise(w.id);
        else
            return false;
        return true;
    }
    in.ioStatus = 1;
    return true;
}

// CAPTURA TÍTULO|TITULO|ATIVA|FOCO|CAMPO variable.
bool cmdCaptura(Interpreter& in, std::string_view args, int) {
    std::string what = takeWord(args);
    int slot = 0;
    if (!readVariable(in, args, slot)) return false;
    DesktopOf desk(in);
    std::string result;
    if (what == "T\xCDTULO" || what == "TITULO" || what == "ATIVA") {
        result = desk->foregroundTitle();
    } else if (what == "FOCO") {
        result = desk->focusedText();
    } else if (what == "CAMPO") {
        // Selects the current single-line field and copies it.
        sendKey(in, desk.operator->(), kVkHome, 0, kKeyPauseMs);
        sendKey(in, desk.operator->(), kVkEnd, kModShift, kKeyPauseMs);
        sendKey(in, desk.operator->(), kVkInsert, kModCtrl, kKeyPauseMs);
        if (in.services.clipboard) result = in.services.clipboard->paste();
    }
    return in.assign(slot, cut(std::move(result), kCapturedText));
}

// DIGITA value [&]: types the value, then Enter unless "&".
bool cmdDigita(Interpreter& in, std::string_view args, int) {
    bool noEnter = takeTrailingAmpersand(args);
    std::string value;
    if (!readValue(in, args, value)) return false;
    dropBlanks(args);
    if (!args.empty()) return false;
    DesktopOf desk(in);
    for (char c : value) typeChar(in, desk.operator->(), static_cast<unsigned char>(c), kKeyPauseMs);
    if (!noEnter) sendKey(in, desk.operator->(), kVkEnter, 0, kKeyPauseMs);
    return true;
}

// ACIONA value: one key, or a combination written CTRL+ SHIFT+ ALT+ in that order.
bool cmdAciona(Interpreter& in, std::string_view args, int) {
    std::string value;
    if (!readValue(in, args, value)) return false;
    dropBlanks(args);
    if (!args.empty() || value.empty()) return false;
    DesktopOf desk(in);
    if (value.size() == 1) {
        unsigned char c = static_cast<unsigned char>(value[0]);
        if (c >= 32 && c <= 127) {
            desk->pressKeyOf(c, 0);
            pumpOwn(in);
            pauseRun(in, kQuickKeyPauseMs);
        } else {
            typeChar(in, desk.operator->(), c, kQuickKeyPauseMs);
        }
        return true;
    }
    std::string upper = text::upperCase(value);
    std::string_view rest = upper;
    int modifiers = 0;
    if (text::takeUpperPrefix(rest, "CTRL+")) modifiers |= kModCtrl;
    if (text::takeUpperPrefix(rest, "SHIFT+")) modifiers |= kModShift;
    if (text::takeUpperPrefix(rest, "ALT+")) modifiers |= kModAlt;
    std::optional<int> code = keyNameCode(rest);
    if (!code && rest.size() >= 2 && rest[0] == '#') {
        int n = 0;
        for (char c : rest.substr(1)) {
            if (!text::isDigit(c) || n > 255) return false;
            n = n * 10 + (c - '0');
        }
        if (n < 1 || n > 254) return false;
        code = n;
    }
    if (!code && rest.size() == 1) {
        unsigned char c = static_cast<unsigned char>(rest[0]);
        if (text::isDigit(rest[0]) || (c >= 'A' && c <= 'Z')) {
            code = c;  // letters and digits are their own virtual-key codes
        } else {
            // Any other sign is the key that carries it: as a virtual-key code "." would be
            // Delete and "-" Insert.
            desk->pressKeyOf(c, modifiers);
            pumpOwn(in);
            pauseRun(in, kKeyPauseMs);
            return true;
        }
    }
    if (!code) return false;
    sendKey(in, desk.operator->(), *code, modifiers, kKeyPauseMs);
    return true;
}

// CLICA [DUPLO|NULO] [TELA] x [,] y: a left click, a double click or a move of the pointer, at
// a point of the screen or of the window in front.
bool cmdClica(Interpreter& in, std::string_view args, int) {
    enum class Click { Single, Double, MoveOnly } click = Click::Single;
    std::string_view rest = text::trim(args);
    if (text::takeUpperPrefix(rest, "DUPLO"))
        click = Click::Double;
    else if (text::takeUpperPrefix(rest, "NULO"))
        click = Click::MoveOnly;
    rest = text::trim(rest);
    bool screen = text::takeUpperPrefix(rest, "TELA");
    std::optional<int32_t> x = readInteger(in, rest);
    if (!x) return false;
    dropBlanks(rest);
    if (!rest.empty() && rest[0] == ',') rest.remove_prefix(1);
    std::optional<int32_t> y = readInteger(in, rest);
    if (!y) return false;
    dropBlanks(rest);
    // Checked before the pointer moves, so that a malformed line clicks nowhere.
    if (!rest.empty()) return false;
    DesktopOf desk(in);
    long long originX = 0, originY = 0;
    if (!screen)
        if (std::optional<WindowGeometry> g = desk->foregroundGeometry()) {
            // The window's left edge and frame, and 4 pixels below its top edge.
            originX = static_cast<long long>(g->left) + g->frameWidth;
            originY = static_cast<long long>(g->top) + 4;
        }
    auto clamp = [](long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); };
    desk->moveMouse(clamp(originX + *x), clamp(originY + *y));
    pumpOwn(in);
    if (click != Click::MoveOnly) {
        desk->leftClick();
        pumpOwn(in);
        if (click == Click::Double) {
            desk->leftClick();
            pumpOwn(in);
        }
    }
    return true;
}

// HANDLE variable: the console's window, in decimal; 0 when the desktop knows none.
bool cmdHandle(Interpreter& in, std::string_view args, int) {
    int slot = 0;
    if (!readVariable(in, args, slot)) return false;
    DesktopOf desk(in);
    return in.assign(slot, std::to_string(desk->consoleWindow()));
}

// ESPERA [MS] n: a pause of n seconds, or milliseconds with MS. ESPERA n title: waits up to n
// seconds for the window in front to have the title in its own; IoStatus 1 when it never did.
bool cmdEspera(Interpreter& in, std::string_view args, int) {
    if (args.empty()) return false;
    in.ioStatus = 0;
    bool milliseconds = text::takeUpperPrefix(args, "MS");
    std::optional<int32_t> n = readInteger(in, args);
    if (!n) return false;
    dropBlanks(args);
    if (args.empty()) {
        // The whole length, not cut to 16 bits; a negative count does not pause.
        pauseRun(in, static_cast<long long>(std::max(*n, 0)) * (milliseconds ? 1 : 1000));
        return true;
    }
    std::string title;
    if (!readValue(in, args, title)) return false;
    std::string wanted = text::upperCase(title);
    DesktopOf desk(in);
    long long checks = 2LL * *n;
    for (long long i = 0; i < checks; ++i) {
        if (i > 0) pauseRun(in, kTitleCheckMs);
        if (text::upperCase(cut(desk->foregroundTitle(), kWaitedTitle)).find(wanted) != std::string::npos)
            return true;
    }
    in.ioStatus = 1;
    return true;
}

}  // namespace parlendo
