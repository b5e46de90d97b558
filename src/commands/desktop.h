// Commands that drive other programs' windows, the keyboard and the mouse (JANELA, CAPTURA,
// DIGITA, ACIONA, CLICA, HANDLE) and the pause ESPERA, with the rules they share.
#pragma once

#include <optional>
#include <string_view>

namespace parlendo {

class Interpreter;

// A window title matches a JANELA pattern when the pattern, without a leading and a trailing
// "*", occurs in it, both upper-cased; a leading "*" asks that its first occurrence begin the
// title, a trailing one that it end it.
bool titleMatches(std::string_view title, std::string_view pattern);

// The virtual-key code of an ACIONA key name given upper-cased ("ESC", "F5", "PAGEDN").
std::optional<int> keyNameCode(std::string_view upperName);

// An accented letter typed as its accent's dead key and its base letter: "ã" is "~" and "a".
struct AccentedLetter {
    unsigned char accent;
    unsigned char base;
};
std::optional<AccentedLetter> decomposeAccented(unsigned char c);

// Pauses the run for the milliseconds given while the event loop goes on collecting keys.
void pauseRun(Interpreter& in, long long milliseconds);

}  // namespace parlendo
