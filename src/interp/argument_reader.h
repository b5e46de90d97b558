// The argument reader: variables, values, channels and list names read from the front of a
// command's argument text, the integer conversion and parenthesised arithmetic.
//
// Every reader consumes what it reads from the front of `rest`, then drops the blanks (codes 32
// and below) that follow, and returns false when nothing of its kind is there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace parlendo {

class Interpreter;

// Removes the blanks (codes 32 and below) at the front. Inline: every reader starts with it.
inline void dropBlanks(std::string_view& rest) {
    size_t i = 0;
    while (i < rest.size() && static_cast<unsigned char>(rest[i]) <= 32) ++i;
    rest.remove_prefix(i);
}

// A destination variable: "$NAME" or one letter. Gives its slot.
bool readVariable(Interpreter& in, std::string_view& rest, int& slot);
// One value token: a number, a quoted text, a variable or a parenthesised expression.
bool readValue(Interpreter& in, std::string_view& rest, std::string& out);
// One value token taken as a number by toInteger (trimmed first when asked): the same as
// readValue and toInteger, without copying a literal number or a letter variable's text.
std::optional<int32_t> readInteger(Interpreter& in, std::string_view& rest, bool trimmed = false);
// Value tokens one after another, joined. `out` holds what was read even when something that
// is not a value is left over, in which case the result is false.
bool readValueList(Interpreter& in, std::string_view& rest, std::string& out);
// "#" and one digit, followed by a blank or the end.
bool readChannel(std::string_view& rest, int& digit);
// "[name]": the name up to the first "]" after at least one character; nothing after the "]"
// is dropped.
bool readBracketName(std::string_view& rest, std::string& name);

// Decimal, or hexadecimal with "$", "x", "X" or "0x"; optional sign; leading blanks; nothing may
// follow; the value must fit in 32 bits signed.
std::optional<int32_t> toInteger(std::string_view text);

// The expression inside a "(" value token, up to (not including) its closing ")". 64-bit,
// left to right, wrapping; division by zero and any stray character fail.
std::optional<int64_t> evalExpression(Interpreter& in, std::string_view& rest);

// Removes a trailing "&" (and the blanks before it); true when there was one.
bool takeTrailingAmpersand(std::string_view& args);

}  // namespace parlendo
