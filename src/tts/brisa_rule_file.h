// The Brisa voice's letter-to-phoneme rule table (uttsInic): the rules of portug.nrl in buckets by
// the first letter they consume.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

// One rule, left(focus)right=phonemes|comment; fields are cut to their widths when read.
struct BrisaRule {
    static constexpr size_t kContextWidth = 5;
    static constexpr size_t kFocusWidth = 5;
    static constexpr size_t kPhonemesWidth = 20;
    static constexpr size_t kAppliedWidth = 11;  // of the phoneme text, only these are written
    std::string left;                            // matched from its last character leftwards
    std::string focus;                           // the letters consumed; never empty in a bucket
    std::string right;                           // matched from its first character rightwards
    std::string phonemes;                        // phoneme names separated by "&"
    // The letter the left context wants right before the focus, when its last symbol is a plain
    // letter (0 otherwise): most rules of a bucket fail on it, so it is checked first.
    unsigned char letterBefore = 0;
};

class RuleTable {
public:
    static constexpr int kFirstBucket = 32;

    // Empties every bucket and reads the file; false when it cannot be read.
    bool loadRules(const std::string& path);
    void readRules(std::string_view contents);
    void freeRules();
    // The rules for the letter c, in file order; empty below code 32.
    const std::vector<BrisaRule>& bucket(unsigned char c) const;
    size_t ruleCount() const;

private:
    std::array<std::vector<BrisaRule>, 256 - kFirstBucket> buckets_;
};

}  // namespace parlendo
