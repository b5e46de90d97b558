// Terminal input decoding: UTF-8 text, control bytes, the escape sequences of xterm, rxvt and the
// Linux console, and xterm mouse reports, turned into the program's keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/key_queue.h"

namespace parlendo {

// One thing typed on the terminal: a key, or a mouse button that stands for one. A mouse report
// also says which cell the pointer was on.
struct TerminalInput {
    TypedKey key;
    bool mouse = false;
    int column = 0;  // 0-based cell of the pointer, for a mouse report
    int row = 0;
    bool operator==(const TerminalInput&) const = default;
};

// Turns the bytes a terminal sends into keys, as the keyboard of the console would have typed
// them: characters as Windows-1252 bytes (characters without one are dropped), extended keys as
// 0 and their code (with the Ctrl code when Ctrl is held), Alt with a letter or digit as 0 and
// its code, mouse buttons as the mouse keys. The decoder keeps no clock: a sequence cut between
// two reads is completed by the next `feed`, and the caller calls `flush` when nothing more has
// come for kEscapeTimeoutMs, which turns a lone ESC into the Esc key.
//
// Backspace: terminals send either DEL (127) or BS (8) for it, and the other of the two for
// Ctrl+Backspace (and Ctrl+H). The byte the terminal uses as its erase character is Backspace
// (key 8); the other byte is Ctrl+Backspace (key 127).
class TerminalKeyDecoder {
public:
    static constexpr int kEscapeTimeoutMs = 50;

    explicit TerminalKeyDecoder(uint8_t eraseByte = 127) : eraseByte_(eraseByte == 8 ? 8 : 127) {}

    // Decodes the bytes, appending every complete key to `out`.
    void feed(std::string_view bytes, std::vector<TerminalInput>& out);
    // True while the bytes held may still begin a longer sequence (a lone ESC, an unfinished
    // escape sequence or UTF-8 character).
    bool pending() const { return !held_.empty(); }
    // Takes what is held as complete: a lone ESC is the Esc key, ESC with "[" or "O" is Alt with
    // that character, an unfinished UTF-8 character is taken byte by byte as Windows-1252, an
    // unfinished escape sequence is dropped.
    void flush(std::vector<TerminalInput>& out);

private:
    void decode(std::vector<TerminalInput>& out, bool atEnd);
    std::string held_;
    uint8_t eraseByte_;
};

}  // namespace parlendo
