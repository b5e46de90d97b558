// The key codes of the console's keyboard, shared by every decoder of keys (the terminal's escape
// sequences, the window's key events), so that a key gives the same bytes whichever way it came.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/key_source.h"

namespace parlendo {

// The extended keys: 0 and a code in the queue.
enum class KeyName {
    Up,
    Down,
    Left,
    Right,
    Home,
    End,
    PageUp,
    PageDown,
    Insert,
    Delete,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
};

// F1 ... F12 by number.
KeyName functionKeyName(int n);

// One byte, with the modifiers given.
TypedKey byteKey(uint8_t b, Modifiers m = {});
// 0 and a code.
TypedKey extendedKey(uint8_t code, Modifiers m);
// An extended key: the Ctrl code when Ctrl is held; Shift+Insert is 254.
TypedKey namedKey(KeyName k, Modifiers m);
// A Windows-1252 character as typed; upper-case letters are reported with Shift, which is how
// they are typed.
TypedKey characterKey(uint8_t b);
// A byte below 128 as a terminal sends it: control bytes are Ctrl with a key, except the keys
// that have a byte of their own (Tab, Enter, Esc, and Backspace, whose byte is `eraseByte`).
TypedKey asciiKey(uint8_t b, uint8_t eraseByte);
// Adds Alt to a key: a letter or digit becomes 0 and its code; Ctrl+Alt with a letter too.
TypedKey withAlt(TypedKey k);
// Windows-1252 byte of a code point, or nothing; control characters have none here.
std::optional<uint8_t> cp1252Of(char32_t cp);

Modifiers operator|(Modifiers a, Modifiers b);

}  // namespace parlendo
