// Text editing and encoding conversions: CONCATENA, COPIA, DELETA, SUBSTITUI and the conversions.
#include <cstdint>
#include <optional>

#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "text/encodings.h"

namespace parlendo {

bool cmdConcatena(Interpreter& in, std::string_view args, int) {
    int slot;
    std::string v;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    if (!readValue(in, args, v)) return failNoValue(in, args);
    if (!args.empty()) return nothingMore(in, args);
    std::string& value = in.variables.edit(slot);
    if (value.size() + v.size() > in.maxTextSize)
        return in.assign(slot, std::string(in.maxTextSize + 1, ' '));
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
            if (suffix.size() + p > in.maxTextSize)
                return in.assign(slot, std::string(in.maxTextSize + 1, ' '));
        }
        if (p == 0) break;
        --p;
        suffix.push_back(value[p]);
    }
    return in.assign(slot, std::string(suffix.rbegin(), suffix.rend()));
}

bool cmdConvert(Interpreter& in, std::string_view args, int conversion) {
    std::string_view again = args;
    std::string value;
    if (!readValue(in, args, value)) return false;
    std::string converted;
    switch (conversion) {
        case kAnsiToUtf8:
            converted = text::cp1252ToUtf8(value);
            break;
        case kUtf8ToAnsi:
            converted = text::foldTwoByteUtf8(value);
            break;
        case kBase64Encode:
            converted = text::base64Encode(value);
            break;
        case kBase64Decode:
            converted = text::base64Decode(value);
            break;
        case kQuotedDecode:
            converted = text::quotedPrintableDecode(value);
            break;
        default:
            converted = text::quotedPrintableEncode(value);
            break;
    }
    int slot;
    if (!readVariable(in, again, slot)) return false;
    return in.assign(slot, std::move(converted));
}

}  // namespace parlendo
