// The Brisa voice's stress finder: an accent decides; otherwise the word's ending is read from the
// right by a small state machine of Portuguese stress.
#include "tts/brisa_stress.h"

#include <string>

#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

char lowerLetter(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 192 && c <= 222 && c != 215)) return static_cast<char>(c + 32);
    return ch;
}

bool isStressAccent(char c) {
    switch (static_cast<unsigned char>(c)) {
        case 0xE0:  // à
        case 0xE1:  // á
        case 0xE2:  // â
        case 0xE3:  // ã
        case 0xE9:  // é
        case 0xEA:  // ê
        case 0xED:  // í
        case 0xF3:  // ó
        case 0xF4:  // ô
        case 0xF5:  // õ
        case 0xFA:  // ú
            return true;
        default:
            return false;
    }
}

bool isPlainVowel(char c) {
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'w' || c == 'y' || c == '\xFC';
}
bool isAEO(char c) { return c == 'a' || c == 'e' || c == 'o'; }
bool isGQ(char c) { return c == 'g' || c == 'q'; }

}  // namespace

size_t stressPosition(std::string_view word) {
    std::string w(word);
    for (char& c : w) c = lowerLetter(c);
    const size_t n = w.size();
    for (size_t i = n; i > 0; --i)
        if (isStressAccent(w[i - 1])) return i;
    bool anyVowel = false;
    for (char c : w) anyVowel = anyVowel || isPlainVowel(c);
    if (!anyVowel) return 0;

    // States are named by the part of the ending read so far (see the comments).
    int state = 0;
    size_t b = 0;
    for (size_t i = n; i > 0; --i) {
        const char c = w[i - 1];
        switch (state) {
            case 0:  // the last letter (a final s is skipped)
                if (isAEO(c))
                    b = i, state = 1;
                else if (c == 'i')
                    b = i, state = 20;
                else if (c == 'u')
                    b = i, state = 10;
                else if (c == 'm')
                    state = 40;
                else if (c != 's')
                    state = 30;
                break;
            case 1:  // the word ends in a, e or o
                if (c == 'u')
                    state = 4;
                else if (isPlainVowel(c))
                    return i;
                else
                    state = 2;
                break;
            case 2:  // looking for the vowel before the last
                if (isAEO(c)) return i;
                if (c == 'i' || c == 'u') b = i, state = 3;
                break;
            case 3:  // an i or u found there
                if (isAEO(c)) return i;
                if (c != 'u') return b;
                state = 5;
                break;
            case 4:  // the final vowel after a u: gua, que are one syllable
                if (isGQ(c)) {
                    b = i + 2;
                    state = 2;
                } else {
                    return i + 1;
                }
                break;
            case 5:  // a u before that i or u
                return isGQ(c) ? i + 2 : i + 1;
            case 10:  // a final u
                if (isAEO(c) || c == 'i') return i;
                return b;
            case 20:  // a final i
                if (isAEO(c))
                    b = i;
                else if (c == 'u')
                    state = 21;
                else
                    return b;
                break;
            case 21:  // a u before the final i
                return isGQ(c) ? i + 2 : i + 1;
            case 30:  // a final consonant
                if (isPlainVowel(c)) return i;
                break;
            case 40:  // a final m
                if (c == 'a' || c == 'e')
                    b = i, state = 1;
                else if (c == 'i' || c == 'o' || c == 'u')
                    return i;
                else
                    state = 0;
                break;
            default:
                return b;
        }
    }
    return b;
}

bool isUnstressedWord(std::string_view w) {
    return w.size() <= 2 || w == "POR" || w == "DAS" || w == "DOS" || w == "COM" || w == "NÃO"_cp ||
           w == "SIM";
}

}  // namespace parlendo
