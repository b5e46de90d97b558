// The argument reader and the expression evaluator.
#include "interp/argument_reader.h"

#include "interp/interpreter.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

using text::isAsciiLetter;
using text::isBlank;
using text::isDigit;

namespace {

// Registers a named variable, telling the user when there is no slot left for it.
bool namedSlotOrMessage(Interpreter& in, std::string_view name, int& slot) {
    std::optional<int> s = in.variables.namedSlot(name);
    if (!s) {
        if (!in.scanning) in.failShowing("Muitas variáveis no programa (máximo 101)"_cp);
        return false;
    }
    slot = *s;
    return true;
}

}  // namespace

bool readVariableInFull(Interpreter& in, std::string_view& rest, int& slot) {
    dropBlanks(rest);
    if (rest.empty()) return false;
    if (rest[0] == '$') {
        const size_t n = 1 + VariableTable::nameLength(rest.substr(1));
        if (n == 1) return false;
        if (!namedSlotOrMessage(in, rest.substr(1, n - 1), slot)) return false;
        rest.remove_prefix(n);
    } else if (isAsciiLetter(rest[0])) {
        if (rest.size() > 1 && (isDigit(rest[1]) || isAsciiLetter(rest[1]))) return false;
        slot = VariableTable::letterSlot(rest[0]);
        rest.remove_prefix(1);
    } else {
        return false;
    }
    dropBlanks(rest);
    return true;
}

bool readValue(Interpreter& in, std::string_view& rest, std::string& out) {
    dropBlanks(rest);
    if (rest.empty()) return false;
    char c = rest[0];
    if (c == '-' || isDigit(c)) {
        size_t n = 1;
        while (n < rest.size() && isDigit(rest[n])) ++n;
        out.assign(rest.substr(0, n));
        rest.remove_prefix(n);
    } else if (c == '"') {
        out.clear();
        size_t i = 1;
        for (;;) {
            size_t q = rest.find('"', i);
            if (q == std::string_view::npos) {  // no closing quote: the rest of the line
                out.append(rest.substr(i));
                i = rest.size();
                break;
            }
            out.append(rest.substr(i, q - i));
            if (q + 1 < rest.size() && rest[q + 1] == '"') {
                out.push_back('"');
                i = q + 2;
                continue;
            }
            i = q + 1;
            break;
        }
        rest.remove_prefix(i);
    } else if (c == '$') {
        int slot;
        if (!readVariable(in, rest, slot)) return false;
        out = in.variables.text(slot);
    } else if (isAsciiLetter(c)) {
        out = in.variables.text(VariableTable::letterSlot(c));
        rest.remove_prefix(1);
    } else if (c == '(') {
        rest.remove_prefix(1);
        std::optional<int64_t> v = evalExpression(in, rest);
        if (!v) return false;
        dropBlanks(rest);
        if (rest.empty() || rest[0] != ')') return false;
        rest.remove_prefix(1);
        out = std::to_string(*v);
    } else {
        return false;
    }
    dropBlanks(rest);
    return true;
}

namespace {

// Decimal digits and nothing else, with the sign already taken off: the decimal case of
// toInteger. The magnitude may reach 2^31 only for a negative number.
inline std::optional<int32_t> decimalMagnitude(std::string_view digits, bool negative) {
    if (digits.empty()) return std::nullopt;
    if (digits.size() <= 9) {
        // Nine digits never reach 2^31: no bound to check on the way.
        uint32_t v = 0;
        for (char c : digits) {
            unsigned d = static_cast<unsigned char>(c) - unsigned{'0'};
            if (d > 9) return std::nullopt;
            v = v * 10 + d;
        }
        return negative ? static_cast<int32_t>(0u - v) : static_cast<int32_t>(v);
    }
    constexpr uint64_t kLimit = uint64_t{1} << 31;
    uint64_t v = 0;
    // One subtraction tells a digit; at most ten digits fit.
    for (char c : digits) {
        unsigned d = static_cast<unsigned char>(c) - unsigned{'0'};
        if (d > 9) return std::nullopt;
        v = v * 10 + d;
        if (v > kLimit) return std::nullopt;
    }
    if (!negative && v == kLimit) return std::nullopt;
    return static_cast<int32_t>(negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
}

// A variable's text as a number; when asked, a text that is no number is tried again without
// its blanks at both ends.
std::optional<int32_t> variableInteger(Interpreter& in, int slot, bool trimmed) {
    if (std::optional<int32_t> n = in.variables.number(slot)) return n;
    if (!trimmed) return std::nullopt;
    return toInteger(text::trim(in.variables.text(slot)));
}

}  // namespace

std::optional<int32_t> readIntegerInFull(Interpreter& in, std::string_view& rest, bool trimmed) {
    dropBlanks(rest);
    if (rest.empty()) return std::nullopt;
    char c = rest[0];
    std::optional<int32_t> n;
    if (c == '-' || isDigit(c)) {
        // The number token: a sign or digit and the digits after it. The usual short numbers
        // never get here (readInteger takes them in place).
        const bool negative = c == '-';
        const size_t first = negative ? 1 : 0;
        size_t end = first;
        while (end < rest.size() && isDigit(rest[end])) ++end;
        n = decimalMagnitude(rest.substr(first, end - first), negative);
        rest.remove_prefix(end);
    } else if (isAsciiLetter(c)) {
        n = variableInteger(in, VariableTable::letterSlot(c), trimmed);
        rest.remove_prefix(1);
    } else if (c == '$') {
        int slot;
        if (!readVariable(in, rest, slot)) return std::nullopt;
        return variableInteger(in, slot, trimmed);
    } else {
        std::string v;
        if (!readValue(in, rest, v)) return std::nullopt;
        return toInteger(trimmed ? text::trim(v) : std::string_view(v));
    }
    dropBlanks(rest);
    return n;
}

bool readValueList(Interpreter& in, std::string_view& rest, std::string& out) {
    out.clear();
    std::string piece;
    while (readValue(in, rest, piece)) {
        out += piece;
        if (out.size() > in.maxTextSize) return false;
    }
    dropBlanks(rest);
    return rest.empty();
}

bool readChannel(std::string_view& rest, int& digit) {
    dropBlanks(rest);
    if (rest.size() < 2 || rest[0] != '#' || !isDigit(rest[1])) return false;
    if (rest.size() > 2 && rest[2] != ' ') return false;
    digit = rest[1] - '0';
    rest.remove_prefix(2);
    dropBlanks(rest);
    return true;
}

bool readBracketName(std::string_view& rest, std::string& name) {
    dropBlanks(rest);
    if (rest.size() < 2 || rest[0] != '[') return false;
    size_t close = rest.find(']', 2);
    if (close == std::string_view::npos) return false;
    name.assign(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    return true;
}

std::optional<int32_t> toInteger(std::string_view t) {
    dropBlanks(t);
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (!t.empty() && (t[0] == '$' || t[0] == 'x' || t[0] == 'X')) {
        base = 16;
        t.remove_prefix(1);
    } else if (t.size() >= 2 && t[0] == '0' && t[1] == 'x') {
        base = 16;
        t.remove_prefix(2);
    }
    if (base == 10) return decimalMagnitude(t, negative);
    if (t.empty()) return std::nullopt;
    // Accumulate the magnitude; 2^31 is the largest allowed (for the negative end).
    constexpr uint64_t kLimit = uint64_t{1} << 31;
    uint64_t v = 0;
    for (char c : t) {
        int d;
        if (isDigit(c))
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (v > kLimit) return std::nullopt;
    }
    if (!negative && v == kLimit) return std::nullopt;
    int64_t s = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return static_cast<int32_t>(s);
}

bool failNoValue(Interpreter& in, std::string_view rest) {
    dropBlanks(rest);
    if (rest.empty()) return in.fail("falta um valor");
    return in.fail("valor inválido: "_cp + std::string(rest));
}

bool nothingMore(Interpreter& in, std::string_view rest) {
    dropBlanks(rest);
    if (rest.empty()) return true;
    return in.fail(std::string(kLeftOver) + std::string(rest));
}

bool takeTrailingAmpersand(std::string_view& args) {
    if (args.empty() || args.back() != '&') return false;
    args.remove_suffix(1);
    while (!args.empty() && isBlank(args.back())) args.remove_suffix(1);
    return true;
}

// Parenthesised arithmetic. Values are kept as unsigned 64-bit numbers so that every
// operation wraps the way two's complement does, without undefined behaviour.
namespace {

constexpr int kMaxDepth = 200;

struct Evaluator {
    Interpreter& in;
    std::string_view& s;
    int depth = 0;

    void blanks() { dropBlanks(s); }

    std::optional<uint64_t> expression() {
        if (++depth > kMaxDepth) return std::nullopt;
        std::optional<uint64_t> v = term();
        while (v) {
            blanks();
            if (s.empty() || (s[0] != '+' && s[0] != '-')) break;
            char op = s[0];
            s.remove_prefix(1);
            std::optional<uint64_t> r = term();
            if (!r) return std::nullopt;
            v = op == '+' ? *v + *r : *v - *r;
        }
        --depth;
        return v;
    }

    std::optional<uint64_t> term() {
        std::optional<uint64_t> v = factor();
        while (v) {
            blanks();
            if (s.empty() || (s[0] != '*' && s[0] != '/')) break;
            char op = s[0];
            s.remove_prefix(1);
            std::optional<uint64_t> r = factor();
            if (!r) return std::nullopt;
            if (op == '*') {
                v = *v * *r;
            } else {
                const int64_t b = static_cast<int64_t>(*r);
                if (b == 0) return std::nullopt;
                v = static_cast<uint64_t>(divideWrapping(static_cast<int64_t>(*v), b));
            }
        }
        return v;
    }

    std::optional<uint64_t> variable(int slot) {
        std::optional<int32_t> n = in.variables.number(slot);
        if (!n) return std::nullopt;
        return static_cast<uint64_t>(static_cast<int64_t>(*n));
    }

    std::optional<uint64_t> factor() {
        blanks();
        if (s.empty()) return std::nullopt;
        char c = s[0];
        if (isDigit(c)) {
            uint32_t acc = 0;
            size_t n = 0;
            while (n < s.size() && isDigit(s[n])) acc = acc * 10u + static_cast<uint32_t>(s[n++] - '0');
            s.remove_prefix(n);
            return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(acc)));
        }
        if (c == '-') {
            if (++depth > kMaxDepth) return std::nullopt;
            s.remove_prefix(1);
            std::optional<uint64_t> v = factor();
            --depth;
            if (!v) return std::nullopt;
            return uint64_t{0} - *v;
        }
        if (c == '(') {
            s.remove_prefix(1);
            std::optional<uint64_t> v = expression();
            if (!v) return std::nullopt;
            blanks();
            if (s.empty() || s[0] != ')') return std::nullopt;
            s.remove_prefix(1);
            return v;
        }
        if (c == '$') {
            const size_t n = 1 + VariableTable::nameLength(s.substr(1));
            if (n == 1) return std::nullopt;
            int slot;
            if (!namedSlotOrMessage(in, s.substr(1, n - 1), slot)) return std::nullopt;
            s.remove_prefix(n);
            return variable(slot);
        }
        if (isAsciiLetter(c)) {
            s.remove_prefix(1);
            return variable(VariableTable::letterSlot(c));
        }
        return std::nullopt;
    }
};

}  // namespace

std::optional<int64_t> evalExpression(Interpreter& in, std::string_view& rest) {
    Evaluator e{in, rest};
    std::optional<uint64_t> v = e.expression();
    if (!v) return std::nullopt;
    return static_cast<int64_t>(*v);
}

}  // namespace parlendo
