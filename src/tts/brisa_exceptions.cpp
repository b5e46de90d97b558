// The Brisa voice's exception table: reading portug.exc and the respelling of a word.
#include "tts/brisa_exceptions.h"

#include <algorithm>

#include "text/cp1252.h"
#include "tts/brisa_data_file.h"

namespace parlendo {

bool ExceptionTable::loadExceptions(const std::string& path) {
    entries_.clear();
    std::string contents;
    if (!readBrisaFile(path, contents)) return false;
    readExceptions(contents);
    return true;
}

// Each non-empty line, upper-cased, is word=respelling|comment; a line without "=" gives a word
// ending in "|", which no word of a text can equal.
void ExceptionTable::readExceptions(std::string_view contents) {
    entries_.clear();
    text::forEachLine(contents, [this](std::string_view line) {
        if (entries_.size() >= kCapacity) return false;
        line = line.substr(0, kLineWidth);
        if (line.empty()) return true;
        const std::string upper = text::upperCase(line);
        const size_t eq = upper.find('=');
        if (eq == std::string::npos) {
            entries_.push_back({upper + "|", std::string()});
            return true;
        }
        const size_t bar = upper.find('|', eq + 1);
        entries_.push_back(
            {upper.substr(0, eq),
             upper.substr(eq + 1, bar == std::string::npos ? std::string::npos : bar - eq - 1)});
        return true;
    });
    // std::string compares bytes as unsigned characters: the byte-wise order of the file format.
    std::sort(entries_.begin(), entries_.end(),
              [](const BrisaException& a, const BrisaException& b) { return a.word < b.word; });
}

const BrisaException* ExceptionTable::find(std::string_view word) const {
    auto at = std::lower_bound(entries_.begin(), entries_.end(), word,
                               [](const BrisaException& e, std::string_view w) { return e.word < w; });
    return at != entries_.end() && at->word == word ? &*at : nullptr;
}

std::string ExceptionTable::respell(std::string_view word) const {
    std::string suffix;
    while (!word.empty()) {
        if (const BrisaException* e = find(word)) return e->respelling + suffix;
        const char last = word.back();
        if (last != 'S' && last != 'M') break;
        suffix.insert(suffix.begin(), last);
        word.remove_suffix(1);
    }
    return std::string(word) + suffix;
}

}  // namespace parlendo
