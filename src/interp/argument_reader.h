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
#include <type_traits>

#include "text/cp1252_literal.h"
#include "text/words.h"

namespace parlendo {

class Interpreter;

// Removes the blanks (codes 32 and below) at the front. Inline: every reader starts with it.
inline void dropBlanks(std::string_view& rest) {
    size_t i = 0;
    while (i < rest.size() && static_cast<unsigned char>(rest[i]) <= 32) ++i;
    rest.remove_prefix(i);
}

// The general cases of readVariable and readInteger below.
bool readVariableInFull(Interpreter& in, std::string_view& rest, int& slot);
std::optional<int32_t> readIntegerInFull(Interpreter& in, std::string_view& rest, bool trimmed);

// A destination variable: "$NAME" or one letter. Gives its slot.
inline bool readVariable(Interpreter& in, std::string_view& rest, int& slot) {
    // Most arguments are one letter and a blank, or the letter at the end: read in place.
    if (!rest.empty() && (rest.size() == 1 || rest[1] == ' ')) {
        const unsigned char c = static_cast<unsigned char>(rest[0]);
        const unsigned up = c & 0xDFu;  // a-z to A-Z; anything else stays out of A-Z
        if (up >= 'A' && up <= 'Z' && (c < 0x80)) {
            slot = static_cast<int>(up - 'A');
            rest.remove_prefix(1);
            dropBlanks(rest);
            return true;
        }
    }
    return readVariableInFull(in, rest, slot);
}
// One value token: a number, a quoted text, a variable or a parenthesised expression.
bool readValue(Interpreter& in, std::string_view& rest, std::string& out);
// One value token taken as a number by toInteger (trimmed first when asked): the same as
// readValue and toInteger, without copying a literal number or a letter variable's text.
inline std::optional<int32_t> readInteger(Interpreter& in, std::string_view& rest, bool trimmed = false) {
    // Most numbers in lines are a few digits followed by a blank or the end: read in place. Nine
    // digits never reach 2^31.
    uint32_t v = 0;
    size_t n = 0;
    const size_t limit = rest.size() < 10 ? rest.size() : 10;
    for (; n < limit; ++n) {
        const unsigned d = static_cast<unsigned char>(rest[n]) - unsigned{'0'};
        if (d > 9) break;
        v = v * 10 + d;
    }
    if (n > 0 && n < 10 && (n == rest.size() || rest[n] == ' ')) {
        rest.remove_prefix(n);
        dropBlanks(rest);
        return static_cast<int32_t>(v);
    }
    return readIntegerInFull(in, rest, trimmed);
}
// The arguments of the counting commands in their usual form, all of them read at once: a
// one-letter variable, one blank and a number of one to eight digits that ends the text ("i 10").
// Gives what readVariable and readInteger would give on such a text; nothing for any other text,
// which the readers then take.
struct LetterAndNumber {
    int slot;
    int32_t number;
};
inline std::optional<LetterAndNumber> letterAndNumber(std::string_view args) {
    if (args.size() < 3 || args.size() > 2 + text::kWordBytes || args[1] != ' ') return std::nullopt;
    const unsigned char c = static_cast<unsigned char>(args[0]);
    const unsigned up = c & 0xDFu;
    if (up < 'A' || up > 'Z' || c >= 0x80) return std::nullopt;
    const int slot = static_cast<int>(up - 'A');
    if (args.size() == 3) {
        // One digit, the commonest step.
        const unsigned d = static_cast<unsigned char>(args[2]) - unsigned{'0'};
        if (d > 9) return std::nullopt;
        return LetterAndNumber{slot, static_cast<int32_t>(d)};
    }
    const uint64_t w = text::loadWord(args.data() + 2, args.size() - 2);
    if (text::leadingDigits(w) != args.size() - 2) return std::nullopt;
    return LetterAndNumber{slot, static_cast<int32_t>(text::digitsValue(w, args.size() - 2))};
}
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

// The language's division of whole numbers, the same for 32-bit commands and 64-bit
// expressions: truncated towards zero, and the smallest number divided by -1, which has no
// result of its width, wraps to itself. The divisor is not zero (each caller fails on zero
// with its own message).
template <typename Int>
constexpr Int divideWrapping(Int dividend, Int divisor) {
    if (divisor == -1) return static_cast<Int>(Int{0} - static_cast<std::make_unsigned_t<Int>>(dividend));
    return dividend / divisor;
}

// The expression inside a "(" value token, up to (not including) its closing ")". 64-bit,
// left to right, wrapping; division by zero and any stray character fail.
std::optional<int64_t> evalExpression(Interpreter& in, std::string_view& rest);

// Removes a trailing "&" (and the blanks before it); true when there was one.
bool takeTrailingAmpersand(std::string_view& args);

// The reasons handlers give when a reader finds nothing of its kind (see Interpreter::fail).
inline constexpr std::string_view kNoVariable = "variável esperada"_cp;
inline constexpr std::string_view kNotANumber = "valor não numérico"_cp;
// Followed by the text a command did not take.
inline constexpr std::string_view kLeftOver = "texto a mais: ";
// Followed by the arguments where a channel ("#" and a digit) was expected.
inline constexpr std::string_view kBadChannel = "canal inválido: "_cp;
// Followed by a list's name and "]".
inline constexpr std::string_view kNoList = "lista não encontrada: ["_cp;
// Fails for a value that is missing ("falta um valor") or cannot be read ("valor inválido: "
// and the text from it on).
bool failNoValue(Interpreter& in, std::string_view rest);
// True when nothing is left; otherwise fails with "texto a mais: " and what is left.
bool nothingMore(Interpreter& in, std::string_view rest);

}  // namespace parlendo
