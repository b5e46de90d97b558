// Terminal input decoding: bytes from the terminal to the program's keys.
#include "console/terminal_keys.h"

#include <optional>

#include "console/key_codes.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

constexpr char kEsc = 0x1B;
// Longest escape sequence taken; anything longer is garbage and is dropped.
constexpr size_t kLongestSequence = 32;

using Named = KeyName;

// The modifier parameter of xterm: 1 + a bit mask of Shift (1), Alt (2), Ctrl (4), Meta (8);
// Meta counts as Alt.
Modifiers fromParameter(int p) {
    int m = p > 1 ? p - 1 : 0;
    return Modifiers{(m & 1) != 0, (m & 4) != 0, (m & 10) != 0};
}

Named functionKey(int n) { return functionKeyName(n); }

// A byte that is no part of valid UTF-8, taken as Windows-1252; the five bytes that code
// leaves undefined give nothing.
std::optional<uint8_t> strayByte(uint8_t b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) return std::nullopt;
    return b;
}

// Reads the bytes held by the decoder. Each step reads one unit (a character, a control byte,
// an escape sequence) from `at` and says how many bytes it used, or that it needs more.
class Reader {
public:
    Reader(std::string_view s, uint8_t eraseByte, bool atEnd, std::vector<TerminalInput>& out)
        : s_(s), erase_(eraseByte), atEnd_(atEnd), out_(out) {}

    // Bytes used, or nothing when the unit at `at` is not complete yet.
    std::optional<size_t> unit(size_t at) {
        if (s_[at] == kEsc) return escape(at);
        std::optional<TypedKey> k;
        auto used = plain(at, k);
        if (used && k) emit(*k);
        return used;
    }

private:
    void emit(TypedKey k) { out_.push_back(TerminalInput{std::move(k), false, 0, 0}); }
    void emitMouse(TypedKey k, int column, int row) {
        out_.push_back(TerminalInput{std::move(k), true, column < 0 ? 0 : column, row < 0 ? 0 : row});
    }
    uint8_t at(size_t i) const { return static_cast<uint8_t>(s_[i]); }

    // A character or control byte at `i`; `key` stays empty for a character that has no
    // Windows-1252 byte.
    std::optional<size_t> plain(size_t i, std::optional<TypedKey>& key) {
        uint8_t b = at(i);
        if (b < 0x80) {
            key = asciiKey(b, erase_);
            return 1;
        }
        char32_t cp = 0;
        size_t len = 0;
        switch (text::decodeUtf8Prefix(s_, i, cp, len)) {
            case text::Utf8Prefix::Complete:
                if (auto c = cp1252Of(cp)) key = characterKey(*c);
                return len;
            case text::Utf8Prefix::Incomplete:
                if (!atEnd_) return std::nullopt;
                break;
            case text::Utf8Prefix::Invalid:
                break;
        }
        if (auto c = strayByte(b)) key = characterKey(*c);
        return 1;
    }

    std::optional<size_t> escape(size_t i) {
        if (i + 1 >= s_.size()) {
            if (!atEnd_) return std::nullopt;
            emit(byteKey(27));
            return 1;
        }
        uint8_t next = at(i + 1);
        if (next == '[' || next == 'O') {
            auto used = next == '[' ? csi(i + 2, {}) : ss3(i + 2, {});
            if (used) return *used + 2;
            if (!atEnd_) return std::nullopt;
            // An escape sequence that never finished: ESC with "[" or "O" was Alt with it;
            // anything longer is dropped.
            if (i + 2 == s_.size()) emit(withAlt(characterKey(next)));
            return s_.size() - i;
        }
        if (next == kEsc) {
            // ESC ESC [ ... is Alt with the key of the sequence; otherwise the first ESC was Esc.
            if (i + 2 >= s_.size() && !atEnd_) return std::nullopt;
            if (i + 2 < s_.size() && (at(i + 2) == '[' || at(i + 2) == 'O')) {
                const Modifiers alt{false, false, true};
                auto used = at(i + 2) == '[' ? csi(i + 3, alt) : ss3(i + 3, alt);
                if (used) return *used + 3;
                if (!atEnd_) return std::nullopt;
            }
            emit(byteKey(27));
            return 1;
        }
        std::optional<TypedKey> k;
        auto used = plain(i + 1, k);
        if (!used) return std::nullopt;
        if (k) emit(withAlt(*k));
        return *used + 1;
    }

    // A CSI sequence whose parameters start at `i`; gives the bytes used from `i`.
    std::optional<size_t> csi(size_t i, Modifiers extra) {
        if (i >= s_.size()) return std::nullopt;
        uint8_t first = at(i);
        if (first == '[') {
            // The Linux console's F1-F5: ESC [ [ A ... ESC [ [ E.
            if (i + 1 >= s_.size()) return std::nullopt;
            uint8_t f = at(i + 1);
            if (f < 0x20) return 1;
            if (f >= 'A' && f <= 'E') emit(namedKey(functionKey(f - 'A' + 1), extra));
            return 2;
        }
        if (first == 'M') {
            // The legacy mouse report: button, column and row, each as one byte plus 32.
            if (i + 4 > s_.size()) return std::nullopt;
            mouse(at(i + 1) - 32, at(i + 2) - 33, at(i + 3) - 33, true);
            return 4;
        }
        size_t j = i;
        bool onlyDigits = true;
        for (;; ++j) {
            if (j - i > kLongestSequence) return j - i;
            if (j >= s_.size()) return std::nullopt;
            uint8_t c = at(j);
            if (c >= 0x30 && c <= 0x3F) {
                if (!(c >= '0' && c <= '9') && c != ';') onlyDigits = false;
                continue;
            }
            // rxvt ends Shift+key sequences with "$", which is an intermediate byte elsewhere.
            if (c == '$' && onlyDigits && j > i) return interpret(i, j, '$', extra) + 1;
            if (c >= 0x20 && c <= 0x2F) {
                onlyDigits = false;
                continue;
            }
            if (c >= 0x40 && c <= 0x7E) return interpret(i, j, c, extra) + 1;
            return j - i;  // a control byte or ESC inside: the sequence is dropped, the byte kept
        }
    }

    // Handles CSI parameters s_[from, final) with the final byte; gives final - from.
    size_t interpret(size_t from, size_t finalAt, uint8_t final, Modifiers extra) {
        std::string_view p = s_.substr(from, finalAt - from);
        size_t used = finalAt - from;
        if (!p.empty() && (p[0] == '<' || p[0] == '=' || p[0] == '>' || p[0] == '?')) {
            if (p[0] == '<' && (final == 'M' || final == 'm')) sgrMouse(p.substr(1), final == 'M');
            return used;  // other private sequences are answers to queries nobody made
        }
        // Numbers separated by ";"; a ":" sub-parameter (event types) is ignored.
        int nums[4] = {0, 0, 0, 0};
        int count = 0;
        bool sub = false;
        for (char c : p) {
            if (c == ';') {
                if (++count >= 4) break;
                sub = false;
            } else if (c == ':') {
                sub = true;
            } else if (c >= '0' && c <= '9' && !sub) {
                if (nums[count] < 100000) nums[count] = nums[count] * 10 + (c - '0');
            } else if (c != ':' && !sub) {
                return used;
            }
        }
        if (!p.empty()) ++count;
        if (count > 4) count = 4;
        const Modifiers mods = (count >= 2 ? fromParameter(nums[1]) : Modifiers{}) | extra;

        switch (final) {
            case '~':
                if (nums[0] == 27 && count >= 3) {
                    otherKey(nums[2], mods);
                    return used;
                }
                tilde(nums[0], mods);
                return used;
            case '^':
                tilde(nums[0], Modifiers{false, true, false} | extra);
                return used;
            case '$':
                tilde(nums[0], Modifiers{true, false, false} | extra);
                return used;
            case '@':
                tilde(nums[0], Modifiers{true, true, false} | extra);
                return used;
            case 'A':
                emit(namedKey(Named::Up, mods));
                return used;
            case 'B':
                emit(namedKey(Named::Down, mods));
                return used;
            case 'C':
                emit(namedKey(Named::Right, mods));
                return used;
            case 'D':
                emit(namedKey(Named::Left, mods));
                return used;
            case 'H':
                emit(namedKey(Named::Home, mods));
                return used;
            case 'F':
                emit(namedKey(Named::End, mods));
                return used;
            case 'P':
                emit(namedKey(Named::F1, mods));
                return used;
            case 'Q':
                emit(namedKey(Named::F2, mods));
                return used;
            case 'R':
                emit(namedKey(Named::F3, mods));
                return used;
            case 'S':
                emit(namedKey(Named::F4, mods));
                return used;
            case 'Z':
                emit(byteKey(9, mods | Modifiers{true, false, false}));
                return used;  // Shift+Tab
            case 'a':
                emit(namedKey(Named::Up, mods | Modifiers{true, false, false}));
                return used;
            case 'b':
                emit(namedKey(Named::Down, mods | Modifiers{true, false, false}));
                return used;
            case 'c':
                emit(namedKey(Named::Right, mods | Modifiers{true, false, false}));
                return used;
            case 'd':
                emit(namedKey(Named::Left, mods | Modifiers{true, false, false}));
                return used;
            case 'u':
                if (count >= 1) otherKey(nums[0], mods);
                return used;
            default:
                return used;  // focus reports, the keypad's centre key, and the like
        }
    }

    // CSI n ~ keys of xterm, rxvt and the Linux console.
    void tilde(int n, Modifiers m) {
        switch (n) {
            case 1:
            case 7:
                emit(namedKey(Named::Home, m));
                return;
            case 2:
                emit(namedKey(Named::Insert, m));
                return;
            case 3:
                emit(namedKey(Named::Delete, m));
                return;
            case 4:
            case 8:
                emit(namedKey(Named::End, m));
                return;
            case 5:
                emit(namedKey(Named::PageUp, m));
                return;
            case 6:
                emit(namedKey(Named::PageDown, m));
                return;
            case 11:
            case 12:
            case 13:
            case 14:
            case 15:
                emit(namedKey(functionKey(n - 10), m));
                return;
            case 17:
            case 18:
            case 19:
            case 20:
            case 21:
                emit(namedKey(functionKey(n - 11), m));
                return;
            case 23:
            case 24:
                emit(namedKey(functionKey(n - 12), m));
                return;
            default:
                break;
        }
        // The Linux console sends Shift+F1 ... Shift+F8 as F13 ... F20.
        static constexpr int kShifted[] = {25, 26, 28, 29, 31, 32, 33, 34};
        for (int k = 0; k < 8; ++k)
            if (kShifted[k] == n) emit(namedKey(functionKey(k + 1), m | Modifiers{true, false, false}));
    }

    // A key given by its character code with modifiers (CSI code;mod u and CSI 27;mod;code ~).
    void otherKey(int code, Modifiers m) {
        std::optional<TypedKey> k;
        if (code == 13)
            k = m.ctrl ? byteKey(10, m) : byteKey(13, m);
        else if (code == 9)
            k = byteKey(9, m);
        else if (code == 27)
            k = byteKey(27, m);
        else if (code == 8 || code == 127)
            k = m.ctrl ? byteKey(127, m) : byteKey(8, m);
        else if (code == 32)
            k = byteKey(' ', m);
        else if (m.ctrl && ((code >= 'a' && code <= 'z') || (code >= '@' && code <= '_'))) {
            uint8_t b = static_cast<uint8_t>(code & 0x1F);
            k = asciiKey(b, erase_);
            k->modifiers = k->modifiers | m;
        } else if (code > 32 && code < 0x110000) {
            char32_t cp = static_cast<char32_t>(code);
            if (m.shift && cp >= 'a' && cp <= 'z') cp -= 32;
            if (auto c = cp1252Of(cp)) k = byteKey(*c, m | characterKey(*c).modifiers);
        }
        if (!k) return;
        emit(m.alt ? withAlt(*k) : *k);
    }

    // SGR mouse report: button;column;row, "M" for a press, "m" for a release.
    void sgrMouse(std::string_view p, bool press) {
        int nums[3] = {0, 0, 0};
        int n = 0;
        for (char c : p) {
            if (c == ';') {
                if (++n >= 3) return;
            } else if (c >= '0' && c <= '9') {
                if (nums[n] < 100000) nums[n] = nums[n] * 10 + (c - '0');
            } else {
                return;
            }
        }
        if (n != 2) return;
        if (press) mouse(nums[0], nums[1] - 1, nums[2] - 1, false);
    }

    // A mouse button: left is Enter, right is Esc, middle 0 67, the wheel 0 72 (away from the
    // user) and 0 80 (towards). Releases and motion give nothing.
    void mouse(int button, int column, int row, bool legacy) {
        if (button < 0 || (button & 32)) return;
        Modifiers m{(button & 4) != 0, (button & 16) != 0, (button & 8) != 0};
        int which = button & ~(4 | 8 | 16);
        switch (which) {
            case 0:
                emitMouse(byteKey(13, m), column, row);
                return;
            case 1:
                emitMouse(extendedKey(67, m), column, row);
                return;
            case 2:
                emitMouse(byteKey(27, m), column, row);
                return;
            case 3:
                return;  // a release in the legacy report
            case 64:
                emitMouse(extendedKey(72, m), column, row);
                return;
            case 65:
                emitMouse(extendedKey(80, m), column, row);
                return;
            default:
                (void)legacy;
                return;
        }
    }

    // An SS3 sequence (ESC O) whose body starts at `i`: cursor and F1-F4 keys in application
    // mode, rxvt's Ctrl+arrows and the application keypad.
    std::optional<size_t> ss3(size_t i, Modifiers extra) {
        size_t j = i;
        int param = 0;
        while (j < s_.size() && at(j) >= '0' && at(j) <= '9' && j - i < 3)
            param = param * 10 + (at(j++) - '0');
        if (j >= s_.size()) return std::nullopt;
        uint8_t f = at(j);
        if (f < 0x20 || f >= 0x7F) return j - i;
        Modifiers m = (j > i ? fromParameter(param) : Modifiers{}) | extra;
        const Modifiers ctrl{false, true, false};
        switch (f) {
            case 'A':
                emit(namedKey(Named::Up, m));
                break;
            case 'B':
                emit(namedKey(Named::Down, m));
                break;
            case 'C':
                emit(namedKey(Named::Right, m));
                break;
            case 'D':
                emit(namedKey(Named::Left, m));
                break;
            case 'H':
                emit(namedKey(Named::Home, m));
                break;
            case 'F':
                emit(namedKey(Named::End, m));
                break;
            case 'P':
                emit(namedKey(Named::F1, m));
                break;
            case 'Q':
                emit(namedKey(Named::F2, m));
                break;
            case 'R':
                emit(namedKey(Named::F3, m));
                break;
            case 'S':
                emit(namedKey(Named::F4, m));
                break;
            case 'a':
                emit(namedKey(Named::Up, m | ctrl));
                break;
            case 'b':
                emit(namedKey(Named::Down, m | ctrl));
                break;
            case 'c':
                emit(namedKey(Named::Right, m | ctrl));
                break;
            case 'd':
                emit(namedKey(Named::Left, m | ctrl));
                break;
            case 'M':
                emit(byteKey(13, m));
                break;  // the keypad's Enter
            case 'X':
                emit(byteKey('=', m));
                break;
            default:
                if (f >= 'j' && f <= 'y') emit(byteKey(static_cast<uint8_t>("*+,-./0123456789"[f - 'j']), m));
                break;
        }
        return j - i + 1;
    }

    std::string_view s_;
    uint8_t erase_;
    bool atEnd_;
    std::vector<TerminalInput>& out_;
};

}  // namespace

void TerminalKeyDecoder::decode(std::vector<TerminalInput>& out, bool atEnd) {
    Reader r(held_, eraseByte_, atEnd, out);
    size_t at = 0;
    while (at < held_.size()) {
        std::optional<size_t> used = r.unit(at);
        if (!used) break;
        at += *used;
    }
    held_.erase(0, at);
}

void TerminalKeyDecoder::feed(std::string_view bytes, std::vector<TerminalInput>& out) {
    held_.append(bytes);
    decode(out, false);
}

void TerminalKeyDecoder::flush(std::vector<TerminalInput>& out) {
    decode(out, true);
    held_.clear();
}

}  // namespace parlendo
