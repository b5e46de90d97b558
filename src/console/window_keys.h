// Window input decoding: the key, text and mouse events of the console window turned into the
// program's keys, the same bytes and modifiers the terminal decoder gives for the same keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/key_source.h"

namespace parlendo {

// A key going down (an SDL key code): the extended keys, Enter, Tab, Esc, Backspace, Ctrl with a
// letter and Alt with a letter or digit. Nothing for keys whose character comes as text.
std::optional<TypedKey> windowKeyDown(int32_t keycode, Modifiers m, bool numLock);
// Text typed (UTF-8): each character as its Windows-1252 byte; characters without one dropped.
std::vector<TypedKey> windowTextKeys(std::string_view utf8);
// A mouse button (1 left, 2 middle, 3 right): Enter, 0 67, Esc.
std::optional<TypedKey> windowMouseKey(int button, Modifiers m);
// The wheel turned: away from the user (y > 0) 0 72, towards 0 80.
std::optional<TypedKey> windowWheelKey(int y, Modifiers m);
// The chord key of the braille keyboard a key code is: 'A'-'Z' for a letter, ' ' for the space
// bar, 0 for any other key.
char windowChordKey(int32_t keycode);

// The size of a cell in pixels: the settings' width and height, or what the work area gives
// (13 pixels per 1024 of its width, 28 per 734 of its height), at least 4 x 8, at most 200 x 400.
struct WindowCellSize {
    int width;
    int height;
    bool operator==(const WindowCellSize&) const = default;
};
WindowCellSize windowCellSize(std::optional<int> width, std::optional<int> height, int workWidth,
                              int workHeight);

}  // namespace parlendo
