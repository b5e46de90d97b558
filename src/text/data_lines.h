// Reading the voices' data files: their lines one by one, and the fields of a line.
#pragma once

#include <string>
#include <string_view>

namespace parlendo::text {

// Calls take(line) for every line of a text, without its LF or CR LF; stops when take returns false.
template <typename Take>
void forEachLine(std::string_view contents, Take take) {
    size_t start = 0;
    while (start < contents.size()) {
        size_t end = contents.find('\n', start);
        if (end == std::string_view::npos) end = contents.size();
        std::string_view line = contents.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!take(line)) return;
        start = end + 1;
    }
}

// The part of `line` from `from` to the first `delimiter` (or to the end), cut to `width`;
// `from` moves past the delimiter, or to npos when there was none (the later fields are empty).
inline std::string cutField(std::string_view line, size_t& from, char delimiter, size_t width) {
    if (from == std::string_view::npos) return {};
    const size_t end = line.find(delimiter, from);
    const std::string_view field =
        line.substr(from, (end == std::string_view::npos ? line.size() : end) - from);
    from = end == std::string_view::npos ? end : end + 1;
    return std::string(field.substr(0, width));
}

}  // namespace parlendo::text
