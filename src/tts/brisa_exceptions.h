// The Brisa voice's exception table (uttsExcessoes): whole words respelled in ordinary letters
// before the letter-to-phoneme rules read them (portug.exc).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

struct BrisaException {
    std::string word;        // upper case
    std::string respelling;  // upper case, read by the rules like any word
};

class ExceptionTable {
public:
    static constexpr size_t kCapacity = 15000;
    static constexpr size_t kLineWidth = 255;

    // Replaces the table by the file's entries, sorted; false when the file cannot be read (the
    // table is then empty).
    bool loadExceptions(const std::string& path);
    void readExceptions(std::string_view contents);
    // The word as the rules are to read it: its respelling, found with a plural s or a final m
    // stripped and put back; the word itself when it has no entry.
    std::string respell(std::string_view upperWord) const;
    const std::vector<BrisaException>& entries() const { return entries_; }

private:
    const BrisaException* find(std::string_view word) const;
    std::vector<BrisaException> entries_;
};

}  // namespace parlendo
