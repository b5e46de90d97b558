// Window input decoding: SDL key codes, text and mouse buttons to the program's keys.
#include "console/window_keys.h"

#include <SDL_keycode.h>

#include <algorithm>

#include "console/key_codes.h"
#include "text/cp1252.h"

namespace parlendo {

namespace {

// Backspace is byte 8 in the window; Ctrl+Backspace (and Ctrl+H) 127, as on a terminal whose
// erase character is DEL.
constexpr uint8_t kEraseByte = 127;

std::optional<KeyName> namedOf(int32_t keycode, bool numLock) {
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return functionKeyName(keycode - SDLK_F1 + 1);
    switch (keycode) {
        case SDLK_UP:
            return KeyName::Up;
        case SDLK_DOWN:
            return KeyName::Down;
        case SDLK_LEFT:
            return KeyName::Left;
        case SDLK_RIGHT:
            return KeyName::Right;
        case SDLK_HOME:
            return KeyName::Home;
        case SDLK_END:
            return KeyName::End;
        case SDLK_PAGEUP:
            return KeyName::PageUp;
        case SDLK_PAGEDOWN:
            return KeyName::PageDown;
        case SDLK_INSERT:
            return KeyName::Insert;
        case SDLK_DELETE:
            return KeyName::Delete;
        default:
            break;
    }
    if (numLock) return std::nullopt;  // the keypad types its digits as text
    switch (keycode) {
        case SDLK_KP_8:
            return KeyName::Up;
        case SDLK_KP_2:
            return KeyName::Down;
        case SDLK_KP_4:
            return KeyName::Left;
        case SDLK_KP_6:
            return KeyName::Right;
        case SDLK_KP_7:
            return KeyName::Home;
        case SDLK_KP_1:
            return KeyName::End;
        case SDLK_KP_9:
            return KeyName::PageUp;
        case SDLK_KP_3:
            return KeyName::PageDown;
        case SDLK_KP_0:
            return KeyName::Insert;
        case SDLK_KP_PERIOD:
            return KeyName::Delete;
        default:
            return std::nullopt;
    }
}

// A key with a byte of its own, as a terminal sends it (modifiers it cannot send are not given).
std::optional<TypedKey> ownByteKey(int32_t keycode, Modifiers m) {
    const Modifiers ctrl{false, m.ctrl, false};
    switch (keycode) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return m.ctrl ? byteKey(10, ctrl) : byteKey(13);
        case SDLK_TAB:
            return byteKey(9, Modifiers{m.shift, false, false});
        case SDLK_ESCAPE:
            return byteKey(27);
        case SDLK_BACKSPACE:
            return m.ctrl ? byteKey(127, ctrl) : byteKey(8);
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<TypedKey> windowKeyDown(int32_t keycode, Modifiers m, bool numLock) {
    if (std::optional<KeyName> name = namedOf(keycode, numLock)) return namedKey(*name, m);
    std::optional<TypedKey> k = ownByteKey(keycode, m);
    if (!k && m.ctrl) {
        // Ctrl with a letter, the space bar or one of [ \ ] is the control byte of that key.
        const bool controlKey =
            (keycode >= 'a' && keycode <= 'z') || keycode == '[' || keycode == '\\' || keycode == ']';
        if (controlKey)
            k = asciiKey(static_cast<uint8_t>(keycode & 0x1F), kEraseByte);
        else if (keycode == ' ')
            k = asciiKey(0, kEraseByte);
    }
    if (!k && m.alt && keycode > 32 && keycode < 127) {
        uint8_t c = static_cast<uint8_t>(keycode);
        if (m.shift && c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 32);
        k = characterKey(c);
    }
    if (!k) return std::nullopt;
    return m.alt ? withAlt(*k) : *k;
}

std::vector<TypedKey> windowTextKeys(std::string_view utf8) {
    std::vector<TypedKey> keys;
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        size_t len = 0;
        if (text::decodeUtf8Prefix(utf8, i, cp, len) != text::Utf8Prefix::Complete) {
            ++i;  // SDL gives whole characters; anything else is dropped
            continue;
        }
        if (std::optional<uint8_t> c = cp1252Of(cp)) keys.push_back(characterKey(*c));
        i += len;
    }
    return keys;
}

std::optional<TypedKey> windowMouseKey(int button, Modifiers m) {
    switch (button) {
        case 1:
            return byteKey(13, m);
        case 2:
            return extendedKey(67, m);
        case 3:
            return byteKey(27, m);
        default:
            return std::nullopt;
    }
}

std::optional<TypedKey> windowWheelKey(int y, Modifiers m) {
    if (y > 0) return extendedKey(72, m);
    if (y < 0) return extendedKey(80, m);
    return std::nullopt;
}

char windowChordKey(int32_t keycode) {
    if (keycode >= 'a' && keycode <= 'z') return static_cast<char>(keycode - 32);
    if (keycode == ' ') return ' ';
    return 0;
}

WindowCellSize windowCellSize(std::optional<int> width, std::optional<int> height, int workWidth,
                              int workHeight) {
    int w = width ? *width : static_cast<int>(workWidth / 1024.0 * 13);
    int h = height ? *height : static_cast<int>(workHeight / 734.0 * 28);
    return WindowCellSize{std::clamp(w, 4, 200), std::clamp(h, 8, 400)};
}

}  // namespace parlendo
