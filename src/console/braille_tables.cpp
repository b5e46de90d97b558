// Reading and writing the braille display's tables: lines of two numbers, ";" comments.
#include "console/braille_tables.h"

#include <cstddef>

#include "platform/file_system.h"

namespace parlendo {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The next field of a line: the bytes up to a blank.
std::string_view field(std::string_view& line) {
    size_t start = 0;
    while (start < line.size() && isBlank(line[start])) ++start;
    size_t end = start;
    while (end < line.size() && !isBlank(line[end])) ++end;
    std::string_view f = line.substr(start, end - start);
    line.remove_prefix(end);
    return f;
}

std::optional<int> code(std::string_view f) {
    if (f.empty() || f.size() > 3) return std::nullopt;
    int v = 0;
    for (char c : f) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > 255) return std::nullopt;
    return v;
}

// "0" for the empty cell, or dots from 1 to `highest`, each at most once.
std::optional<int> dots(std::string_view f, char highest) {
    if (f == "0") return 0;
    if (f.empty()) return std::nullopt;
    int bits = 0;
    for (char c : f) {
        if (c < '1' || c > highest) return std::nullopt;
        int bit = 1 << (c - '1');
        if (bits & bit) return std::nullopt;
        bits |= bit;
    }
    return bits;
}

std::string dotsText(int bits) {
    std::string t;
    for (int d = 0; d < 8; ++d)
        if (bits & (1 << d)) t.push_back(static_cast<char>('1' + d));
    return t.empty() ? "0" : t;
}

// Calls entry(first, second) for each line of two fields; false, with the line's number, when
// a line has fewer or entry refuses it.
template <typename Entry>
bool readLines(std::string_view text, int& badLine, Entry entry) {
    int number = 0;
    while (!text.empty()) {
        ++number;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::string_view rest = line;
        std::string_view first = field(rest);
        if (first.empty() || first[0] == ';') continue;
        std::string_view second = field(rest);
        if (!entry(first, second)) {
            badLine = number;
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::array<uint8_t, 256>> parseBrailleCharacters(std::string_view text, int& badLine) {
    std::array<uint8_t, 256> table{};
    std::array<bool, 256> seen{};
    bool ok = readLines(text, badLine, [&](std::string_view first, std::string_view second) {
        std::optional<int> c = code(first);
        std::optional<int> d = dots(second, '8');
        if (!c || !d || seen[*c]) return false;
        seen[*c] = true;
        table[*c] = static_cast<uint8_t>(*d);
        return true;
    });
    if (!ok) return std::nullopt;
    return table;
}

std::optional<std::array<uint8_t, 64>> parseBrailleKeys(std::string_view text, int& badLine) {
    std::array<uint8_t, 64> table;
    table.fill(' ');
    std::array<bool, 64> seen{};
    bool ok = readLines(text, badLine, [&](std::string_view first, std::string_view second) {
        std::optional<int> d = dots(first, '6');
        std::optional<int> c = code(second);
        if (!c || !d || seen[*d]) return false;
        seen[*d] = true;
        table[*d] = static_cast<uint8_t>(*c);
        return true;
    });
    if (!ok) return std::nullopt;
    return table;
}

std::string formatBrailleCharacters(const std::array<uint8_t, 256>& dotsOf) {
    std::string out;
    for (int c = 0; c < 256; ++c) out += std::to_string(c) + " " + dotsText(dotsOf[c]) + "\n";
    return out;
}

std::string formatBrailleKeys(const std::array<uint8_t, 64>& keyOf) {
    std::string out;
    for (int d = 0; d < 64; ++d) out += dotsText(d) + " " + std::to_string(keyOf[d]) + "\n";
    return out;
}

std::optional<BrailleTables> loadBrailleTables(const std::string& folder, std::string& error) {
    BrailleTables tables;
    for (const char* name : {"caracteres.tab", "teclas.tab"}) {
        std::string path = folder + name;
        std::optional<std::string> text = readSystemFile(path);
        if (!text) {
            error = "cannot read " + path;
            return std::nullopt;
        }
        int bad = 0;
        bool ok = false;
        if (name[0] == 'c') {
            auto t = parseBrailleCharacters(*text, bad);
            if ((ok = t.has_value())) tables.dotsOf = *t;
        } else {
            auto t = parseBrailleKeys(*text, bad);
            if ((ok = t.has_value())) tables.keyOf = *t;
        }
        if (!ok) {
            error = path + ": bad line " + std::to_string(bad);
            return std::nullopt;
        }
    }
    return tables;
}

}  // namespace parlendo
