// The Brisa voice's stress finder (uttsTonica): which vowel of a Portuguese word is stressed.
#pragma once

#include <cstddef>
#include <string_view>

namespace parlendo {

// The 1-based position of the stressed vowel of a word (Windows-1252, any letter case): the
// rightmost accented vowel, else the place the ending gives; 0 for a word without a vowel.
size_t stressPosition(std::string_view word);
// True for the words read without stress: those of one or two letters and a few short words.
bool isUnstressedWord(std::string_view upperWord);

}  // namespace parlendo
