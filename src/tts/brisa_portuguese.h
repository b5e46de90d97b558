// The Brisa voice's letter-to-phoneme conversion (uttsPortug): the rules of the rule table applied
// to each word of an utterance, with its stress mark, punctuation pauses and liaison fixes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tts/brisa_exceptions.h"
#include "tts/brisa_rule_file.h"

namespace parlendo {

// Lines: ";" + code + "|" + token (a token's marker), a phoneme name (">" before the stressed
// one), a punctuation pause ("_,", "_?"…), "__", and the empty line that closes each word.
using PhonemeList = std::vector<std::string>;

// Appends the phoneme lines of an upper-case word whose stressed letter is at the 1-based
// position `stress` (0 for none).
void applyRules(const RuleTable& rules, std::string_view word, size_t stress, PhonemeList& out);

// The whole conversion of an utterance's intonation lines (code + "|" + token).
PhonemeList buildPhonemeList(const std::vector<std::string>& intonation, const RuleTable& rules,
                             const ExceptionTable& exceptions);

}  // namespace parlendo
