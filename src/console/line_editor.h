// The spoken line editor.
#pragma once

#include <string>

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

}  // namespace parlendo
