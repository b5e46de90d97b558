// The file commands' services to other commands: the channel forms of LE and ESCREVE, and the
// size text of HTAMARQ. The handlers themselves are declared with the command table's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace parlendo {

class Interpreter;

// The channel forms of the line commands. `rest` is the argument text after the "#n" token.
// LE #n variable: the next line of the channel into the variable, its status into IoStatus.
bool readChannelLine(Interpreter& in, int slot, std::string_view rest);
// ESCREVE #n values [&]: the values joined, as a line unless `endLine` is false; the status of
// the write into IoStatus.
bool writeChannelText(Interpreter& in, int slot, std::string_view rest, bool endLine);

// A file size for people: two decimals with the given separator and the unit (" B", "KB",
// " MB", "GB", " TB"), as HTAMARQ gives it.
std::string formatHumanSize(uint64_t size, char decimalSeparator);

}  // namespace parlendo
