// The reader of phoneme lines.
#include "mbrola/pho_line.h"

#include <charconv>
#include <cmath>

namespace brisa {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The next blank-separated word of `rest`, which is advanced past it; empty at the end.
std::string_view nextWord(std::string_view& rest) {
    size_t start = 0;
    while (start < rest.size() && isBlank(rest[start])) ++start;
    size_t end = start;
    while (end < rest.size() && !isBlank(rest[end])) ++end;
    std::string_view word = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return word;
}

std::optional<double> number(std::string_view word) {
    if (word.empty()) return std::nullopt;
    if (word.front() == '+') word.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<PhonemeLine> parsePhonemeLine(std::string_view line) {
    if (line.size() > kMaxLineLength) return std::nullopt;
    if (size_t comment = line.find(';'); comment != std::string_view::npos) line = line.substr(0, comment);
    PhonemeLine out;
    std::string_view rest = line;
    std::string_view name = nextWord(rest);
    if (name.empty()) return out;
    if (name == "#") {
        if (!nextWord(rest).empty()) return std::nullopt;
        out.kind = PhonemeLine::Kind::Flush;
        return out;
    }
    if (name.size() > kMaxPhonemeName) return std::nullopt;
    std::optional<double> duration = number(nextWord(rest));
    if (!duration || *duration < 0 || *duration > kMaxDurationMs) return std::nullopt;
    out.kind = PhonemeLine::Kind::Phoneme;
    out.name = std::string(name);
    out.durationMs = *duration;
    for (;;) {
        std::string_view positionWord = nextWord(rest);
        if (positionWord.empty()) break;
        std::optional<double> position = number(positionWord);
        std::optional<double> hertz = number(nextWord(rest));
        if (!position || !hertz || *position < 0 || *position > 100 || *hertz <= 0 || *hertz > kMaxPitchHz)
            return std::nullopt;
        if (out.pitch.size() == kMaxPitchPoints) return std::nullopt;
        out.pitch.push_back({*position, *hertz});
    }
    return out;
}

}  // namespace brisa
