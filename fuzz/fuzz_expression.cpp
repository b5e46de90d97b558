// Fuzz target for the argument reader: parenthesised arithmetic, value tokens and lists, and the
// integer conversion, each checked against a plain restatement of the language's rules.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_grid.h"
#include "console/grid_console_port.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/speech_front.h"
#include "interp/argument_reader.h"
#include "interp/interpreter.h"
#include "platform/clock.h"

namespace {

using parlendo::Interpreter;

[[noreturn]] void fail(const char* what, std::string_view input) {
    std::fprintf(stderr, "fuzz_expression: %s\ninput: \"%.*s\"\n", what, static_cast<int>(input.size()),
                 input.data());
    std::abort();
}

bool blank(char c) { return static_cast<unsigned char>(c) <= 32; }
bool digit(char c) { return c >= '0' && c <= '9'; }
bool letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The integer conversion as the language states it: blanks, a sign, "$", "x", "X" or "0x" for
// hexadecimal, digits and nothing after them, within 32 bits signed.
std::optional<int32_t> expectedInteger(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && blank(t[i])) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    int base = 10;
    if (i < t.size() && (t[i] == '$' || t[i] == 'x' || t[i] == 'X')) {
        base = 16;
        ++i;
    } else if (t.substr(i, 2) == "0x") {
        base = 16;
        i += 2;
    }
    if (i == t.size()) return std::nullopt;
    int64_t magnitude = 0;
    bool tooBig = false;
    for (; i < t.size(); ++i) {
        char c = t[i];
        int d;
        if (digit(c))
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        if (!tooBig) magnitude = magnitude * base + d;
        if (magnitude > (int64_t{1} << 32)) tooBig = true;
    }
    if (tooBig) return std::nullopt;
    int64_t v = negative ? -magnitude : magnitude;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(v);
}

// The expression grammar, evaluated left to right with 64-bit wrapping arithmetic. It reads the
// variables but never registers a name. `depth` counts nested expressions and signs, so that
// only expressions well within the reader's nesting limit are compared.
struct ExpectedExpression {
    const Interpreter& in;
    std::string_view s;
    int depth = 0;
    int deepest = 0;

    void blanks() {
        while (!s.empty() && blank(s[0])) s.remove_prefix(1);
    }
    void enter() { deepest = std::max(deepest, ++depth); }

    std::optional<uint64_t> valueOf(const std::string& text) {
        std::optional<int32_t> n = expectedInteger(text);
        if (!n) return std::nullopt;
        return static_cast<uint64_t>(static_cast<int64_t>(*n));
    }

    std::optional<uint64_t> named(std::string_view name) {
        std::string upper(name);
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        const std::vector<std::string>& names = in.variables.names();
        for (size_t k = 0; k < names.size(); ++k)
            if (names[k] == upper)
                return valueOf(in.variables.text(parlendo::VariableTable::kLetters + static_cast<int>(k)));
        return valueOf("");  // never assigned: the empty text, which is no number
    }

    std::optional<uint64_t> expression() {
        enter();
        std::optional<uint64_t> v = term();
        while (v) {
            blanks();
            if (s.empty() || (s[0] != '+' && s[0] != '-')) break;
            bool plus = s[0] == '+';
            s.remove_prefix(1);
            std::optional<uint64_t> r = term();
            if (!r) return std::nullopt;
            v = plus ? *v + *r : *v - *r;
        }
        --depth;
        return v;
    }

    std::optional<uint64_t> term() {
        std::optional<uint64_t> v = factor();
        while (v) {
            blanks();
            if (s.empty() || (s[0] != '*' && s[0] != '/')) break;
            bool times = s[0] == '*';
            s.remove_prefix(1);
            std::optional<uint64_t> r = factor();
            if (!r) return std::nullopt;
            if (times) {
                v = *v * *r;
                continue;
            }
            int64_t a = static_cast<int64_t>(*v), b = static_cast<int64_t>(*r);
            if (b == 0) return std::nullopt;
            // Two's complement: the smallest number divided by -1 wraps to itself.
            if (b == -1)
                v = uint64_t{0} - *v;
            else
                v = static_cast<uint64_t>(a / b);
        }
        return v;
    }

    std::optional<uint64_t> factor() {
        blanks();
        if (s.empty()) return std::nullopt;
        char c = s[0];
        if (digit(c)) {
            uint64_t acc = 0;
            while (!s.empty() && digit(s[0])) {
                acc = (acc * 10 + static_cast<uint64_t>(s[0] - '0')) % (uint64_t{1} << 32);
                s.remove_prefix(1);
            }
            int64_t signed32 = acc >= (uint64_t{1} << 31) ? static_cast<int64_t>(acc) - (int64_t{1} << 32)
                                                          : static_cast<int64_t>(acc);
            return static_cast<uint64_t>(signed32);
        }
        if (c == '-') {
            enter();
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
            size_t n = 1;
            // A name: ASCII letters, digits and underscores.
            while (n < s.size() && (letter(s[n]) || digit(s[n]) || s[n] == '_')) ++n;
            if (n == 1) return std::nullopt;
            std::string_view name = s.substr(1, n - 1);
            s.remove_prefix(n);
            return named(name);
        }
        if (letter(c)) {
            s.remove_prefix(1);
            int slot = (c >= 'a' ? c - 'a' : c - 'A');
            return valueOf(in.variables.text(slot));
        }
        return std::nullopt;
    }
};

void setNamed(Interpreter& in, std::string_view name, std::string value) {
    std::optional<int> slot = in.variables.namedSlot(name);
    if (slot) in.variables.set(*slot, std::move(value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    std::string_view input(reinterpret_cast<const char*>(data), size);

    ConsoleGrid console;
    ScriptedKeys typed(std::vector<std::string>{});
    KeyQueue keys(&typed);
    RecordingSpeech speech(keys);
    SettingsLocation where;
    where.explicitFile = "/nonexistent/parlendo-fuzz/oralix.ini";  // only read, never written here
    SettingsFile settings(where);
    FixedClock clock(LocalTime{});
    GridConsolePort port(console, keys, speech);
    Interpreter in(Services{console, keys, speech, settings, clock, port});
    in.maxTextSize = 4096;

    // Variables of every kind the readers meet: numbers at the ends of the 32-bit range,
    // hexadecimal, blanks in front, texts that are no number, and the empty text.
    const char* letters[] = {"7", "-3", "abc", "2147483647", "-2147483648", " 12", "$1F", "", "0x10", "-0"};
    for (int i = 0; i < 10; ++i) in.variables.set(i, letters[i]);
    setNamed(in, "X", "40");
    setNamed(in, "num2", "-9");
    setNamed(in, "texto", "ola mundo");
    setNamed(in, "grande", "x7FFFFFFF");

    // Arithmetic, checked against the grammar restated above.
    {
        std::string_view rest = input;
        std::optional<int64_t> got = evalExpression(in, rest);
        ExpectedExpression expected{in, input};
        std::optional<uint64_t> want = expected.expression();
        if (expected.deepest < 150) {
            if (got.has_value() != want.has_value()) fail("expression accepted differently", input);
            if (got && static_cast<uint64_t>(*got) != *want) fail("expression value differs", input);
            if (got && rest.size() != expected.s.size()) fail("expression stopped elsewhere", input);
        }
    }

    // The integer conversion.
    {
        std::optional<int32_t> got = toInteger(input);
        if (got != expectedInteger(input)) fail("toInteger differs from the rule", input);
        if (got && toInteger(std::to_string(*got)) != got)
            fail("toInteger does not read back its number", input);
    }

    // One value token and a list of them: what is consumed is a prefix, and after a success the
    // rest starts with no blank.
    {
        std::string_view rest = input;
        std::string out;
        if (readValue(in, rest, out)) {
            if (!rest.empty() && blank(rest[0])) fail("readValue left a blank", input);
            if (out.size() > input.size() + 64)
                fail("readValue gave a longer text than it could read", input);
        }
        if (rest.size() > input.size()) fail("readValue grew the text", input);

        std::string_view listRest = input;
        std::string joined;
        bool all = readValueList(in, listRest, joined);
        if (all && !listRest.empty()) fail("readValueList succeeded with text left", input);
    }

    // The destination variable reader never gives a slot outside the table.
    {
        std::string_view rest = input;
        int slot = -1;
        if (readVariable(in, rest, slot) && (slot < 0 || slot >= VariableTable::kSlots))
            fail("readVariable gave a slot outside the table", input);
    }
    return 0;
}
