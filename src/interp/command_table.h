// The command table: every keyword of the language and the handler that carries it out.
#pragma once

#include <span>
#include <string_view>

#include "text/cp1252.h"

namespace parlendo {

class Interpreter;

// A handler takes the argument text (trimmed) and returns success. `param` is the fixed
// parameter of the entry (the operator of the arithmetic family), 0 elsewhere.
using Handler = bool (*)(Interpreter& in, std::string_view args, int param);

struct CommandEntry {
    std::string_view keyword;
    Handler handler;
    int param;
};

// The entries in matching order.
std::span<const CommandEntry> commandTable();

// Finds the handler for an upper-cased keyword; null when none matches.
const CommandEntry* findCommand(std::string_view upperKeyword);

// The entry of a trimmed line's keyword, which runs to its first blank (code 32) and is matched
// by the upper-casing rule; null when there is none. `length` is the keyword's length.
const CommandEntry* lineKeyword(std::string_view line, size_t& length);

// A script line trimmed of blanks (codes 32 and below) at both ends; empty for a line that does
// nothing: an empty line, a comment ("*") or a label ("@").
inline std::string_view commandPart(std::string_view line) {
    const std::string_view t = text::trimLeft(line);
    if (t.empty() || t[0] == '*' || t[0] == '@') return {};
    return text::trimRight(t);
}

// Runs the store's lines from the current one on, as Interpreter::run does, until past the last
// line, a failing line (which sets `failed`) or a stop. False when the step limit was reached
// first, with the current line the one that was not run.
bool runLines(Interpreter& in);

// Runs a trimmed script line that is neither empty, a comment nor a label: the keyword is what
// stands before the first blank and the arguments the rest. When `restricted`, the block keywords
// (REPETE, ENQUANTO, SENAO, SENÃO, FIM) fail at once, before any tracing. Writes the keyword line
// when tracing, then runs the keyword's handler with the arguments, or reports
// "Comando inválido: " and fails.
bool dispatchLine(Interpreter& in, std::string_view line, bool restricted);

}  // namespace parlendo
