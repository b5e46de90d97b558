// The spoken line editor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlendo {

class Interpreter;

// How editing ended: an ordinary key (its byte) or an extended key (its code); or no key came.
struct EditExit {
    bool extended = false;
    int code = 0;
    bool inputEnded = false;
};

// Edits `text` in a field at a 1-based column and row, at most maxLength characters. On return
// the text has no trailing blanks.
EditExit editLine(Interpreter& in, std::string& text, int column, int row, int maxLength);

// Reads one byte, stops speech and plays the byte's recording (control codes other than 12 are
// silent, and so is the 0 that starts an extended key). Nothing when no key will come.
std::optional<uint8_t> readKeyWithEcho(Interpreter& in);

// Copies a text to the clipboard with a click, or beeps when there is no clipboard or the copy
// failed. Used by the editor and the screen review.
void copyWithSound(Interpreter& in, std::string_view text);

// Letters of words, for moving and reading by word: A-Z, a-z and the bytes 128-255, where
// Windows-1252 keeps the accented letters of Portuguese.
inline bool isWordLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 128;
}

// True when every byte of the non-empty word, upper-cased, is one of the consonants B-D, F-H,
// J-N, P-T, V-Z: such words cannot be pronounced and are spelled instead.
bool isConsonantsOnly(std::string_view word);

}  // namespace parlendo
