// The two tables of the braille display: the dots of each character of the braille code text,
// and the character of each cell typed on the display's dot keys. Both are data files
// (share/oralix/braille/caracteres.tab and teclas.tab), whose format their headers describe.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlendo {

struct BrailleTables {
    // Dot bits of each Windows-1252 character (dot 1 = 1 ... dot 8 = 128).
    std::array<uint8_t, 256> dotsOf{};
    // The character of each six-dot cell typed (dot 1 = 1 ... dot 6 = 32).
    std::array<uint8_t, 64> keyOf{};
};

// A table's text read: nothing, with the 1-based number of the first bad line in `badLine`, when
// a line is not two numbers in range or repeats a code.
std::optional<std::array<uint8_t, 256>> parseBrailleCharacters(std::string_view text, int& badLine);
std::optional<std::array<uint8_t, 64>> parseBrailleKeys(std::string_view text, int& badLine);
// The tables written back in the same format, one line per entry.
std::string formatBrailleCharacters(const std::array<uint8_t, 256>& dotsOf);
std::string formatBrailleKeys(const std::array<uint8_t, 64>& keyOf);

// Both tables from a folder ending in "/"; nothing when one is missing or malformed, with the
// reason (UTF-8) in `error`.
std::optional<BrailleTables> loadBrailleTables(const std::string& folder, std::string& error);

}  // namespace parlendo
