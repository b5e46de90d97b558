// Assignment, value words, integer arithmetic, text editing and encoding conversions.
#include <charconv>
#include <cstdint>
#include <optional>

#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "text/cp1252.h"
#include "text/encodings.h"

namespace parlendo {

namespace {

std::string twoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

bool startsWithWordAndBlank(std::string_view s, std::string_view upperWord) {
    return s.size() > upperWord.size() && s[upperWord.size()] == ' ' && text::startsWithUpper(s, upperWord);
}

// The value words recognised only as the whole remaining text.
std::optional<std::string> valueWord(Interpreter& in, std::string_view rest) {
    std::string w = text::upperCase(rest);
    if (w == "PARAMS") {
        std::string v = std::to_string(in.params.size());
        for (const std::string& p : in.params) {
            v += ' ';
            for (char c : p) {
                if (c == ' ') v += "%20";
                else v += c;
            }
        }
        return v;
    }
    if (w == "CRLF") return std::string("\r\n");
    if (w != "DATA" && w != "HORA" && w != "DIA" && w != "TEMPO") return std::nullopt;
    LocalTime t = in.services.clock.now();
    if (w == "DATA") {
        std::string year = std::to_string(t.year);
        while (year.size() < 4) year = "0" + year;
        return twoDigits(t.day) + "/" + twoDigits(t.month) + "/" + year;
    }
    if (w == "HORA") return twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
    if (w == "DIA") {
        static constexpr const char* kDays[] = {"Domingo", "Segunda", "Terca", "Quarta",
                                                 "Quinta",  "Sexta",   "Sabado"};
        return std::string(kDays[((t.dayOfWeek % 7) + 7) % 7]);
    }
    // TEMPO counts days through the day of the week only, so it restarts every seven days.
    int days = ((t.dayOfWeek - in.startDay) % 7 + 7) % 7;
    int64_t now = (int64_t{t.hour} + 24 * days) * 360000 + t.minute * 6000 + t.second * 100 + t.millisecond / 10;
    return std::to_string(now - in.startHundredths);
}

std::string nthWord(int32_t n, std::string text) {
    for (int32_t i = 1; i < n && !text.empty(); ++i) {
        size_t blank = text.find(' ');
        if (blank == std::string::npos) text.clear();
        else text = std::string(text::trim(std::string_view(text).substr(blank + 1)));
    }
    size_t blank = text.find(' ');
    if (blank != std::string::npos) text.erase(blank);
    return text;
}

std::string chrOf(std::string_view t) {
    if (t.size() > 4 && t[3] == '#') {
        for (int i = 0; i < 3; ++i)
            if (t[i] != '0' && t[i] != '1') return "";
        t.remove_prefix(3);
    }
    if (t.empty() || t[0] != '#') return "";
    t.remove_prefix(1);
    if (!t.empty() && t[0] == '0') return "";
    std::optional<int32_t> code = toInteger(t);
    if (!code) return "";
    return std::string(1, static_cast<char>(((*code % 256) + 256) % 256));
}

// One function word and its arguments; nothing when its arguments are wrong.
std::optional<std::string> functionWord(Interpreter& in, int word, std::string_view args) {
    std::string a, b;
    if (!readValue(in, args, a)) return std::nullopt;
    bool two = word == 3 || word == 5;  // POS and PALAVRA
    if (two && !readValue(in, args, b)) return std::nullopt;
    if (!args.empty()) return std::nullopt;
    switch (word) {
    case 0: return std::to_string(a.size());
    case 1: return text::upperCase(a);
    case 2: return std::string(text::trim(a));
    case 3: {
        if (a.empty()) return std::string("0");
        size_t p = b.find(a);
        return std::to_string(p == std::string::npos ? 0 : p + 1);
    }
    case 4: {
        std::optional<int32_t> n = toInteger(a);
        if (!n) return std::nullopt;
        in.randomSeed = in.randomSeed * 134775813u + 1u;
        uint64_t r = (uint64_t{static_cast<uint32_t>(*n)} * in.randomSeed) >> 32;
        return std::to_string(r);
    }
    case 5: {
        std::optional<int32_t> n = toInteger(a);
        if (!n || *n < 1) return std::nullopt;
        return nthWord(*n, std::move(b));
    }
    case 6: return chrOf(a);
    case 7: return a.size() == 1 ? "#" + std::to_string(static_cast<unsigned char>(a[0])) : std::string();
    }
    return std::nullopt;
}

constexpr std::string_view kFunctionWords[] = {"TAMANHO", "MAIUSC", "TRIM", "POS",
                                               "RAND",    "PALAVRA", "CHR",  "ASC"};


}  // namespace

bool cmdSeja(Interpreter& in, std::string_view args, int) {
    int slot;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    if (!args.empty() && args[0] == '=') {
        args.remove_prefix(1);
        dropBlanks(args);
    }
    if (args.empty()) return in.fail("falta o valor");
    if (std::optional<std::string> v = valueWord(in, args)) return in.assign(slot, std::move(*v));
    for (int w = 0; w < 8; ++w) {
        if (startsWithWordAndBlank(args, kFunctionWords[w])) {
            std::optional<std::string> v = functionWord(in, w, args.substr(kFunctionWords[w].size() + 1));
            if (!v) return in.fail("argumentos inválidos de " + std::string(kFunctionWords[w]));
            return in.assign(slot, std::move(*v));
        }
    }
    std::string v;
    if (!readValue(in, args, v)) return failNoValue(in, args);
    if (!in.assign(slot, std::move(v))) return false;
    return nothingMore(in, args);
}

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
        if (addToNumber(in, usual->slot, in.variables.knownDecimalNumber(usual->slot), usual->number)) return true;
    return addInGeneral(in, args);
}

bool cmdArithmetic(Interpreter& in, std::string_view args, int op) {
    int slot;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    std::optional<int32_t> a = in.variables.number(slot);
    if (!a) return in.fail("variável não numérica");
    std::optional<int32_t> n = readInteger(in, args);
    if (!n) return in.fail(kNotANumber);
    uint32_t ua = static_cast<uint32_t>(*a), un = static_cast<uint32_t>(*n);
    int32_t result;
    switch (op) {
    case kSubtract: result = static_cast<int32_t>(ua - un); break;
    case kMultiply: result = static_cast<int32_t>(ua * un); break;
    default:
        if (*n == 0) return in.failShowing("Divisão por zero");
        result = divideWrapping(*a, *n);
    }
    in.variables.setNumber(slot, result);
    return nothingMore(in, args);
}

bool cmdConcatena(Interpreter& in, std::string_view args, int) {
    int slot;
    std::string v;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    if (!readValue(in, args, v)) return failNoValue(in, args);
    if (!args.empty()) return nothingMore(in, args);
    std::string& value = in.variables.edit(slot);
    if (value.size() + v.size() > in.maxTextSize) return in.assign(slot, std::string(in.maxTextSize + 1, ' '));
    value += v;
    return true;
}

bool cmdCopia(Interpreter& in, std::string_view args, int) {
    int target, source;
    if (!readVariable(in, args, target) || !readVariable(in, args, source)) return in.fail(kNoVariable);
    std::optional<int32_t> from = readInteger(in, args, /*trimmed=*/true);
    if (!from) return in.fail(kNotANumber);
    std::optional<int32_t> to = readInteger(in, args, /*trimmed=*/true);
    if (!to) return in.fail(kNotANumber);
    const std::string& s = in.variables.text(source);
    int64_t count = int64_t{*to} - *from + 1;
    int64_t start = *from < 1 ? 1 : *from;
    size_t first = 0, length = 0;
    if (count > 0 && start <= static_cast<int64_t>(s.size())) {
        int64_t avail = static_cast<int64_t>(s.size()) - start + 1;
        first = static_cast<size_t>(start - 1);
        length = static_cast<size_t>(count < avail ? count : avail);
    }
    if (target == source) {
        // A variable cut down to a part of itself is cut in place.
        std::string& t = in.variables.edit(target);
        t.resize(first + length);
        t.erase(0, first);
    } else {
        in.variables.set(target, std::string_view(s).substr(first, length));
    }
    return true;
}

bool cmdDeleta(Interpreter& in, std::string_view args, int) {
    int slot;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    std::optional<int32_t> from = readInteger(in, args, /*trimmed=*/true);
    if (!from) return in.fail(kNotANumber);
    std::optional<int32_t> count = readInteger(in, args, /*trimmed=*/true);
    if (!count) return in.fail(kNotANumber);
    std::string& s = in.variables.edit(slot);
    if (*from >= 1 && static_cast<size_t>(*from) <= s.size() && *count > 0)
        s.erase(static_cast<size_t>(*from - 1), static_cast<size_t>(*count));
    return true;
}

bool cmdSubstitui(Interpreter& in, std::string_view args, int) {
    int slot;
    std::string old, neu;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    if (!readValue(in, args, old) || !readValue(in, args, neu)) return failNoValue(in, args);
    const std::string& value = in.variables.text(slot);
    if (old.size() > value.size()) return true;
    // The scan runs from the end towards the start over the text as changed so far. The text
    // left of the scan position is still the original; the part from it on is built up
    // reversed, so that each step only adds at its end.
    const size_t m = old.size();
    std::string reversedOld(old.rbegin(), old.rend());
    std::string reversedNew(neu.rbegin(), neu.rend());
    size_t p = value.size() - m;
    std::string suffix(value.rbegin(), value.rbegin() + static_cast<std::ptrdiff_t>(m));
    for (;;) {
        if (suffix.size() >= m && suffix.compare(suffix.size() - m, m, reversedOld) == 0) {
            suffix.resize(suffix.size() - m);
            suffix += reversedNew;
            if (suffix.size() + p > in.maxTextSize) return in.assign(slot, std::string(in.maxTextSize + 1, ' '));
        }
        if (p == 0) break;
        --p;
        suffix.push_back(value[p]);
    }
    return in.assign(slot, std::string(suffix.rbegin(), suffix.rend()));
}

bool cmdRandomiza(Interpreter& in, std::string_view args, int) {
    if (!args.empty()) return false;
    LocalTime t = in.services.clock.now();
    in.randomSeed = static_cast<uint32_t>(((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond);
    return true;
}

bool cmdConvert(Interpreter& in, std::string_view args, int conversion) {
    std::string_view again = args;
    std::string value;
    if (!readValue(in, args, value)) return false;
    std::string converted;
    switch (conversion) {
    case kAnsiToUtf8: converted = text::cp1252ToUtf8(value); break;
    case kUtf8ToAnsi: converted = text::foldTwoByteUtf8(value); break;
    case kBase64Encode: converted = text::base64Encode(value); break;
    case kBase64Decode: converted = text::base64Decode(value); break;
    case kQuotedDecode: converted = text::quotedPrintableDecode(value); break;
    default: converted = text::quotedPrintableEncode(value); break;
    }
    int slot;
    if (!readVariable(in, again, slot)) return false;
    return in.assign(slot, std::move(converted));
}

namespace {

// The two files of a file conversion: the source, which must exist, and the target, replaced.
bool openConversionFiles(Interpreter& in, std::string_view args, std::unique_ptr<File>& source,
                         std::unique_ptr<File>& target) {
    std::string sourceName, targetName;
    if (!readValue(in, args, sourceName) || !readValue(in, args, targetName)) return false;
    source = File::open(sourceName, "rb");
    if (!source) return false;
    target = File::open(targetName, "wb");
    return target != nullptr;
}

}  // namespace

bool cmdCodArqBase64(Interpreter& in, std::string_view args, int) {
    std::unique_ptr<File> source, target;
    if (!openConversionFiles(in, args, source, target)) return false;
    text::Base64LineEncoder encoder;
    char block[1024];
    std::string lines;
    for (;;) {
        size_t n = source->read(block, sizeof block);
        if (n == 0) break;
        lines.clear();
        encoder.feed(std::string_view(block, n), lines);
        if (!target->write(lines)) return false;
    }
    if (source->failed()) return false;
    lines.clear();
    encoder.finish(lines);
    return target->write(lines) && target->close();
}

bool cmdDecodArqBase64(Interpreter& in, std::string_view args, int) {
    std::unique_ptr<File> source, target;
    if (!openConversionFiles(in, args, source, target)) return false;
    text::Base64Decoder decoder;
    std::string out;
    char block[1024];
    for (;;) {
        size_t n = source->read(block, sizeof block);
        if (n == 0) break;
        out.clear();
        bool more = decoder.feed(std::string_view(block, n), out);
        if (!target->write(out)) return false;
        if (!more) break;
    }
    if (source->failed()) return false;
    out.clear();
    decoder.finish(out);
    return target->write(out) && target->close();
}

}  // namespace parlendo
