// The Brisa voice's text normalisation (uttsPreproc): numbers, ordinals, spelled consonant runs,
// abbreviations and symbols rewritten as Portuguese words the letter-to-phoneme rules can read.
// Text in and out is Windows-1252, one byte per character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

struct Abbreviation {
    std::string key;        // upper-cased
    std::string expansion;  // as written
};

// The entries of portug.abr, in file order.
class AbbreviationTable {
public:
    static constexpr size_t kCapacity = 2000;

    // Replaces the table by the file's entries; false when the file cannot be read (the table is
    // then empty).
    bool loadAbbreviations(const std::string& path);
    // The same from the text of an abbreviation file.
    void readAbbreviations(std::string_view contents);
    // The expansion of the first entry whose key is the upper-cased word; empty when none.
    std::string_view findAbbreviation(std::string_view word) const;
    const std::vector<Abbreviation>& entries() const { return entries_; }

private:
    std::vector<Abbreviation> entries_;
};

enum class Gender { Masculine, Feminine };

// Portuguese number words of 0 to 999 999 999 999 999 (larger values are cut to fifteen digits).
std::string cardinalWords(uint64_t value);
std::string ordinalWords(uint64_t value, Gender gender);
// The spoken name of a character; empty for the control codes and the bytes without a name.
std::string_view symbolName(unsigned char c);
// The upper case of the system's Windows-1252 locale: a-z, the accented letters 224-254 but the
// division sign, and the four letters whose capitals lie in 128-159.
std::string localeUpper(std::string_view s);

// The whole rewrite of one utterance.
std::string normalizeText(std::string_view text, const AbbreviationTable& abbreviations);

}  // namespace parlendo
