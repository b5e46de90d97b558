// The built-in voice's translator: Windows-1252 text in, phonetic text out, driven by the rule
// file regras.rgr (letter-to-sound rules) and the exception file portug.exc (whole-word
// respellings). The phonetic text holds, for each word, "[" then its sound units separated by
// "/" then "]"; a unit is a rule's output or " /_" and a character (that character's recording).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

// One letter-to-sound rule: left(focus)right=output. Fields are cut to their widths when read.
struct TranslatorRule {
    static constexpr size_t kContextWidth = 5;
    static constexpr size_t kFocusWidth = 5;
    static constexpr size_t kOutputWidth = 11;
    std::string left;    // matched from its last character leftwards
    std::string focus;   // the characters the rule consumes (never empty in a bucket)
    std::string right;   // matched from its first character rightwards
    std::string output;  // the sound units written for the focus
};

struct TranslatorException {
    std::string word;
    std::string replacement;
};

class Translator {
public:
    static constexpr int kFirstBucket = 32;  // blank
    static constexpr int kLastBucket = 95;   // underscore
    static constexpr size_t kMaxExceptions = 15000;
    static constexpr size_t kExceptionLineWidth = 255;

    // Empties the rule table and reads the rule file; false when it cannot be opened. The path
    // is a Windows-1252 file name, as the program's other file names.
    bool loadTranslatorRules(const std::string& path);
    // The same from the text of a rule file.
    void readTranslatorRules(std::string_view contents);
    void freeTranslatorRules();
    // Replaces the exception table by the file's entries, sorted; false when it cannot be opened
    // (the table is then empty).
    bool loadTranslatorExceptions(const std::string& path);
    void readTranslatorExceptions(std::string_view contents);

    // The whole conversion of a run of text.
    std::string translateText(std::string_view text) const;

    // The rules tried for a character whose upper-cased code is c (32-95), in file order.
    const std::vector<TranslatorRule>& bucket(unsigned char c) const { return buckets_[c - kFirstBucket]; }
    size_t ruleCount() const;
    const std::vector<TranslatorException>& exceptions() const { return exceptions_; }

    // The replacement of a word from the exception table, with the "s" and "m" endings
    // stripped and put back (see the .cpp); the word itself when it has no exception.
    std::string applyExceptions(std::string_view word) const;

private:
    const TranslatorException* findException(std::string_view word) const;
    bool replaceException(std::string& word) const;
    // For each position of the word being converted, the first and last position of the run of
    // vowels and accent marks it lies in (0 outside one), so that "#" matches in one step.
    struct VowelRuns {
        std::vector<int32_t> first, last;
    };
    void convertWord(std::string_view word, std::string& out, VowelRuns& runs) const;
    bool matchLeft(std::string_view context, std::string_view word, long position,
                   const VowelRuns& runs) const;
    bool matchRight(std::string_view context, std::string_view word, long position,
                    const VowelRuns& runs) const;

    std::array<std::vector<TranslatorRule>, kLastBucket - kFirstBucket + 1> buckets_;
    std::vector<TranslatorException> exceptions_;
};

// The first step of the conversion, exposed for tests: W and Y between letters become u and i,
// the apostrophe after d is dropped, bytes 128-255 are expanded to a vowel and its accent mark
// (or the like), and control bytes and the bytes that expand to nothing become blank, zero
// byte, blank.
std::string premapTranslatorText(std::string_view text);

// Stress marking of a word (lower-case letters and accent marks), exposed for tests: upper-cases
// the stressed vowel, leaving the word unchanged when the stress falls on its first letter.
// vowels is the count of vowels of the word as it was read.
void markTranslatorStress(std::string& word, int vowels);

}  // namespace parlendo
