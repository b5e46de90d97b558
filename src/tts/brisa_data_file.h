// Reading the Brisa voice's data files: the whole file as bytes, then its lines one by one.
#pragma once

#include <string>
#include <string_view>

namespace parlendo {

// The whole file (a Windows-1252 file name, as the program's other names); false when it cannot
// be opened or read.
bool readBrisaFile(const std::string& path, std::string& contents);

// Calls take(line) for every line of a text, without its LF or CR LF; stops when take returns false.
template <typename Take>
void forEachBrisaLine(std::string_view contents, Take take) {
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

}  // namespace parlendo
