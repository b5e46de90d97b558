// Integer arithmetic on variables (SOMA, SUBTRAI, MULTIPLICA, DIVIDE) and RANDOMIZA, which
// seeds the random numbers.
#include <charconv>
#include <cstdint>
#include <optional>

#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/clock.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

// A variable holding a plain decimal number `a`, the usual counter, is added to directly when any
// sum's text fits in a variable. False, with nothing done, otherwise.
inline bool addToNumber(Interpreter& in, int slot, std::optional<int32_t> a, int32_t n) {
    if (!a || in.maxTextSize < 11) return false;
    in.variables.setNumber(slot, static_cast<int32_t>(static_cast<uint32_t>(*a) + static_cast<uint32_t>(n)));
    return true;
}

// SOMA in general: any variable, any value, any text in the variable.
[[gnu::noinline]] bool addInGeneral(Interpreter& in, std::string_view args) {
    int slot;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    std::optional<int32_t> n = readInteger(in, args);
    if (!n) return in.fail(kNotANumber);
    if (addToNumber(in, slot, in.variables.decimalNumber(slot), *n)) return true;
    // Otherwise the number at the end of the text is replaced by the sum; what stands in front
    // of it stays.
    std::string& value = in.variables.edit(slot);
    size_t tail = value.size();
    while (tail > 0 && text::isDigit(value[tail - 1])) --tail;
    if (tail > 0 && tail < value.size() && value[tail - 1] == '-') --tail;
    std::optional<int32_t> t = toInteger(std::string_view(value).substr(tail));
    uint32_t sum = static_cast<uint32_t>(t.value_or(0)) + static_cast<uint32_t>(*n);
    char digits[12];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, static_cast<int32_t>(sum));
    if (tail + static_cast<size_t>(end - digits) > in.maxTextSize)
        return in.assign(slot, std::string(in.maxTextSize + 1, ' '));  // says so and fails
    value.resize(tail);
    value.append(digits, end);
    return true;
}

}  // namespace

bool cmdSoma(Interpreter& in, std::string_view args, int) {
    // The usual counter: a letter holding a plain decimal number, and a literal number.
    if (std::optional<LetterAndNumber> usual = letterAndNumber(args))
        if (addToNumber(in, usual->slot, in.variables.knownDecimalNumber(usual->slot), usual->number))
            return true;
    return addInGeneral(in, args);
}

bool cmdArithmetic(Interpreter& in, std::string_view args, int op) {
    int slot;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    std::optional<int32_t> a = in.variables.number(slot);
    if (!a) return in.fail("variável não numérica"_cp);
    std::optional<int32_t> n = readInteger(in, args);
    if (!n) return in.fail(kNotANumber);
    uint32_t ua = static_cast<uint32_t>(*a), un = static_cast<uint32_t>(*n);
    int32_t result;
    switch (op) {
        case kSubtract:
            result = static_cast<int32_t>(ua - un);
            break;
        case kMultiply:
            result = static_cast<int32_t>(ua * un);
            break;
        default:
            if (*n == 0) return in.failShowing("Divisão por zero"_cp);
            result = divideWrapping(*a, *n);
    }
    in.variables.setNumber(slot, result);
    return nothingMore(in, args);
}

bool cmdRandomiza(Interpreter& in, std::string_view args, int) {
    if (!args.empty()) return false;
    LocalTime t = in.services.clock.now();
    in.randomSeed = static_cast<uint32_t>(((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond);
    return true;
}

}  // namespace parlendo
