// The key codes of the console's keyboard: extended keys, Alt with letters and digits, control
// bytes and characters.
#include "console/key_codes.h"

#include <string>

#include "text/cp1252.h"

namespace parlendo {

namespace {

struct Codes {
    uint8_t plain, ctrl;
};

// In the order of KeyName.
constexpr Codes kCodes[] = {
    {72, 113}, {80, 114}, {75, 115}, {77, 116}, {71, 119}, {79, 117}, {73, 132}, {81, 118},
    {82, 255}, {83, 83},  {59, 94},  {60, 95},  {61, 96},  {62, 97},  {63, 98},  {64, 99},
    {65, 100}, {66, 101}, {67, 102}, {68, 103}, {69, 104}, {70, 105},
};

// PC scan codes of the letters, which Alt with a letter gives.
constexpr uint8_t kAltLetter[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                    49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};

bool isUpperLetter(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7) || b == 0x8A || b == 0x8C ||
           b == 0x8E || b == 0x9F;
}

}  // namespace

KeyName functionKeyName(int n) { return static_cast<KeyName>(static_cast<int>(KeyName::F1) + n - 1); }

Modifiers operator|(Modifiers a, Modifiers b) {
    return Modifiers{a.shift || b.shift, a.ctrl || b.ctrl, a.alt || b.alt};
}

TypedKey byteKey(uint8_t b, Modifiers m) { return TypedKey{std::string(1, static_cast<char>(b)), m}; }

TypedKey extendedKey(uint8_t code, Modifiers m) {
    return TypedKey{std::string{'\0', static_cast<char>(code)}, m};
}

TypedKey namedKey(KeyName k, Modifiers m) {
    const Codes& c = kCodes[static_cast<int>(k)];
    uint8_t code = m.ctrl ? c.ctrl : c.plain;
    if (k == KeyName::Insert && m.shift && !m.ctrl) code = 254;
    return extendedKey(code, m);
}

TypedKey characterKey(uint8_t b) { return byteKey(b, Modifiers{isUpperLetter(b), false, false}); }

TypedKey asciiKey(uint8_t b, uint8_t eraseByte) {
    const Modifiers ctrl{false, true, false};
    if (b == 0) return byteKey(' ', ctrl);  // Ctrl+Space
    if (b == 8 || b == 127) return b == eraseByte ? byteKey(8) : byteKey(127, ctrl);
    if (b == 9 || b == 13 || b == 27) return byteKey(b);
    if (b == 10) return byteKey(10, ctrl);  // Ctrl+Enter, Ctrl+J
    if (b < 32) return byteKey(b, ctrl);
    return characterKey(b);
}

TypedKey withAlt(TypedKey k) {
    k.modifiers.alt = true;
    if (k.bytes.size() != 1) return k;
    uint8_t b = static_cast<uint8_t>(k.bytes[0]);
    if (b >= 'a' && b <= 'z') return extendedKey(kAltLetter[b - 'a'], k.modifiers);
    if (b >= 'A' && b <= 'Z') return extendedKey(kAltLetter[b - 'A'], k.modifiers);
    if (b >= '1' && b <= '9') return extendedKey(static_cast<uint8_t>(120 + b - '1'), k.modifiers);
    if (b == '0') return extendedKey(129, k.modifiers);
    if (k.modifiers.ctrl && b >= 1 && b <= 26 && b != 9 && b != 10 && b != 13)
        return extendedKey(kAltLetter[b - 1], k.modifiers);
    return k;
}

std::optional<uint8_t> cp1252Of(char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0) || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
        return std::nullopt;
    const int b = text::cp1252Byte(cp);
    if (b < 0) return std::nullopt;
    return static_cast<uint8_t>(b);
}

}  // namespace parlendo
