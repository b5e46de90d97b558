// The built-in voice's translator: pre-mapping, word reading, exceptions, stress marking and the
// letter-to-sound rules that turn a run of text into the phonetic text of the diphone voice.
#include "tts/translator.h"

#include <algorithm>
#include <memory>

#include "platform/file.h"
#include "text/data_lines.h"

namespace parlendo {

namespace {

// Character classes. Only ASCII letters are letters: accented letters are expanded to a vowel
// and an accent mark before words are read, and Ç (expanded to "ss") is not a letter.
constexpr bool isVowel(unsigned char c) {
    switch (c) {
        case 'a':
        case 'e':
        case 'i':
        case 'o':
        case 'u':
        case 'A':
        case 'E':
        case 'I':
        case 'O':
        case 'U':
            return true;
        default:
            return false;
    }
}
constexpr bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool isLetter(unsigned char c) { return isAsciiLetter(c); }
constexpr bool isConsonant(unsigned char c) { return isAsciiLetter(c) && !isVowel(c); }
constexpr bool isAccentMark(unsigned char c) {
    return c == '"' || c == '\'' || c == '^' || c == '`' || c == '~';
}
constexpr bool isWordChar(unsigned char c) { return isLetter(c) || isAccentMark(c); }
constexpr bool isPunctuation(unsigned char c) {
    return c == ' ' || c == '!' || c == ',' || c == '.' || c == ':' || c == ';' || c == '?';
}
constexpr unsigned char lowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
// Only a-z: the other bytes that reach a word (digits, signs, the symbols of 128-255 kept as
// they are) must keep their own letter recordings.
constexpr unsigned char upperAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
constexpr bool isBackVowel(unsigned char c) {
    c = lowerAscii(c);
    return c == 'a' || c == 'o';
}
constexpr bool isFrontVowel(unsigned char c) {
    c = lowerAscii(c);
    return c == 'e' || c == 'i';
}
constexpr bool isUpperVowel(unsigned char c) {
    return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}

// What a byte 128-255 becomes before words are read.
struct Expansion {
    enum Kind : uint8_t { Text, Itself, Nothing } kind;
    char text[3];
};

constexpr Expansion T(const char* s) { return {Expansion::Text, {s[0], s[0] ? s[1] : '\0', '\0'}}; }
constexpr Expansion kSelf{Expansion::Itself, {}};
constexpr Expansion kNone{Expansion::Nothing, {}};

// Bytes 128 to 255 in order, 16 to a line.
constexpr Expansion kExpansions[128] = {
    // 128-143: € . ‚ ƒ „ … † ‡ ˆ ‰ Š ‹ Œ . Ž .
    kSelf,
    kNone,
    kNone,
    kNone,
    kNone,
    kSelf,
    kSelf,
    kSelf,
    kNone,
    kSelf,
    kNone,
    kNone,
    kNone,
    kNone,
    kNone,
    kNone,
    // 144-159: . ‘ ’ “ ” • – — ˜ ™ š › œ . ž Ÿ
    kNone,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kNone,
    kSelf,
    kNone,
    kNone,
    kNone,
    kNone,
    kNone,
    kNone,
    // 160-175: no-break space ¡ ¢ £ ¤ ¥ ¦ § ¨ © ª « ¬ soft hyphen ® ¯
    T(" "),
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kNone,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kNone,
    kSelf,
    kSelf,
    // 176-191: ° ± ² ³ ´ µ ¶ · ¸ ¹ º » ¼ ½ ¾ ¿
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kNone,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    kSelf,
    // 192-207: À Á Â Ã Ä Å Æ Ç È É Ê Ë Ì Í Î Ï
    T("a`"),
    T("a'"),
    T("a^"),
    T("a~"),
    T("a~"),
    T("aa"),
    T("ae"),
    T("ss"),
    T("e`"),
    T("e'"),
    T("e^"),
    T("e\""),
    T("i`"),
    T("i'"),
    T("i^"),
    T("i\""),
    // 208-223: Ð Ñ Ò Ó Ô Õ Ö × Ø Ù Ú Û Ü Ý Þ ß
    kNone,
    T("nh"),
    T("o`"),
    T("o'"),
    T("o^"),
    T("o~"),
    T("o`"),
    kSelf,
    T("oe"),
    T("u`"),
    T("u'"),
    T("u^"),
    T("u"),
    T("y"),
    T("th"),
    T("ss"),
    // 224-239: à á â ã ä å æ ç è é ê ë ì í î ï
    T("a`"),
    T("a'"),
    T("a^"),
    T("a~"),
    T("a~"),
    T("aa"),
    T("ae"),
    T("ss"),
    T("e`"),
    T("e'"),
    T("e^"),
    T("e\""),
    T("i`"),
    T("i'"),
    T("i^"),
    T("i\""),
    // 240-255: ð ñ ò ó ô õ ö ÷ ø ù ú û ü ý þ ÿ
    kNone,
    T("nh"),
    T("o`"),
    T("o'"),
    T("o^"),
    T("o~"),
    T("o`"),
    kSelf,
    T("oe"),
    T("u`"),
    T("u'"),
    T("u^"),
    T("u"),
    T("y"),
    T("th"),
    T("y"),
};

// The whole file as bytes; false when it cannot be opened.
bool readWholeFile(const std::string& path, std::string& contents) {
    std::unique_ptr<File> f = File::open(path, "rb");
    if (!f) return false;
    contents.clear();
    char buffer[16384];
    while (size_t n = f->read(buffer, sizeof buffer)) contents.append(buffer, n);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading the data files

void Translator::freeTranslatorRules() {
    for (auto& chain : buckets_) {
        chain.clear();
        chain.shrink_to_fit();
    }
}

size_t Translator::ruleCount() const {
    size_t n = 0;
    for (const auto& chain : buckets_) n += chain.size();
    return n;
}

bool Translator::loadTranslatorRules(const std::string& path) {
    freeTranslatorRules();
    std::string contents;
    if (!readWholeFile(path, contents)) return false;
    readTranslatorRules(contents);
    return true;
}

// Each line is left(focus)right=output|comment; ";" at the start makes a comment line. Fields
// end at the first "(", then the next ")", then the next "=", then the next "|".
void Translator::readTranslatorRules(std::string_view contents) {
    freeTranslatorRules();
    text::forEachLine(contents, [this](std::string_view line) {
        if (!line.empty() && line.front() == ';') return true;
        TranslatorRule rule;
        size_t at = 0;
        rule.left = text::cutField(line, at, '(', TranslatorRule::kContextWidth);
        rule.focus = text::cutField(line, at, ')', TranslatorRule::kFocusWidth);
        rule.right = text::cutField(line, at, '=', TranslatorRule::kContextWidth);
        rule.output = text::cutField(line, at, '|', TranslatorRule::kOutputWidth);
        // A rule without focus would match without consuming anything: it is never tried, and
        // neither is one whose focus starts outside the 64 buckets.
        if (rule.focus.empty()) return true;
        unsigned char first = static_cast<unsigned char>(rule.focus.front());
        if (first < kFirstBucket || first > kLastBucket) return true;
        buckets_[first - kFirstBucket].push_back(std::move(rule));
        return true;
    });
}

bool Translator::loadTranslatorExceptions(const std::string& path) {
    exceptions_.clear();
    std::string contents;
    if (!readWholeFile(path, contents)) return false;
    readTranslatorExceptions(contents);
    return true;
}

// Each non-empty line is word=replacement (at most 255 characters are read of a line). With
// "|=|" appended, a line without "=" gives a word ending in "|", which no word read from a
// text can equal.
void Translator::readTranslatorExceptions(std::string_view contents) {
    exceptions_.clear();
    text::forEachLine(contents, [this](std::string_view line) {
        if (exceptions_.size() >= kMaxExceptions) return false;
        line = line.substr(0, kExceptionLineWidth);
        if (line.empty()) return true;
        std::string full(line);
        full += "|=|";
        size_t equals = full.find('=');
        size_t bar = full.find('|', equals + 1);
        exceptions_.push_back({full.substr(0, equals), full.substr(equals + 1, bar - equals - 1)});
        return true;
    });
    // Byte-wise order (std::string compares as unsigned bytes); equal words keep file order.
    std::stable_sort(
        exceptions_.begin(), exceptions_.end(),
        [](const TranslatorException& a, const TranslatorException& b) { return a.word < b.word; });
}

// ---------------------------------------------------------------------------------------------
// Pre-mapping

std::string premapTranslatorText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2 + 8);
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool letterBefore = i > 0 && isLetter(static_cast<unsigned char>(text[i - 1]));
        const bool letterAfter = i + 1 < n && isLetter(static_cast<unsigned char>(text[i + 1]));
        if ((c == 'W' || c == 'w') && (letterBefore || letterAfter)) {
            out += 'u';
        } else if ((c == 'Y' || c == 'y') && (letterBefore || letterAfter)) {
            out += 'i';
        } else if (c == '\'' && i > 0 && (text[i - 1] == 'd' || text[i - 1] == 'D')) {
            // "d'água" reads as one word.
        } else if (c < 32) {
            out.append(" \0 ", 3);
        } else if (c >= 128) {
            const Expansion& e = kExpansions[c - 128];
            if (e.kind == Expansion::Text)
                out += e.text;
            else if (e.kind == Expansion::Itself)
                out += static_cast<char>(c);
            else
                out.append(" \0 ", 3);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Exceptions

// Halving search of the sorted table, counted 1 to n.
const TranslatorException* Translator::findException(std::string_view word) const {
    long lower = 1;
    long upper = static_cast<long>(exceptions_.size());
    while (lower <= upper) {
        long middle = (lower + upper) / 2;
        const TranslatorException& e = exceptions_[middle - 1];
        int order = word.compare(e.word);
        if (order == 0) return &e;
        if (order > 0)
            lower = middle + 1;
        else
            upper = middle - 1;
    }
    return nullptr;
}

// A word not in the table is looked up again without a final "s" or "m" (plurals, verb
// endings), as often as it ends in one; the endings stripped follow the replacement. The word
// is changed only when an exception is found.
bool Translator::replaceException(std::string& word) const {
    const std::string_view whole(word);
    for (size_t length = whole.size(); length > 0; --length) {
        if (const TranslatorException* e = findException(whole.substr(0, length))) {
            std::string result;
            result.reserve(e->replacement.size() + whole.size() - length);
            result += e->replacement;
            result += whole.substr(length);
            word = std::move(result);
            return true;
        }
        const char last = whole[length - 1];
        if (last != 's' && last != 'm') break;
    }
    return false;
}

std::string Translator::applyExceptions(std::string_view word) const {
    std::string result(word);
    replaceException(result);
    return result;
}

// ---------------------------------------------------------------------------------------------
// Stress

// The word is scanned from its last character leftwards; the state remembers what was seen to
// the right. States 6 and 7 mark the character one or two places to the right of the current
// one. The scan covers positions length down to 1; the step at the left boundary (position 0)
// only marks for state 7 (position 2: "ainda"), since marking position 1 is never done.
void markTranslatorStress(std::string& word, int vowels) {
    const long n = static_cast<long>(word.size());
    if (vowels < 2 && !(vowels == 1 && n > 0 && word.back() == 'l')) return;
    auto at = [&](long p) -> unsigned char {
        return p >= 1 && p <= n ? lowerAscii(static_cast<unsigned char>(word[p - 1])) : 0;
    };
    auto mark = [&](long p) {
        if (p >= 2 && p <= n)
            word[p - 1] = static_cast<char>(upperAscii(static_cast<unsigned char>(word[p - 1])));
    };
    auto gq = [](unsigned char c) { return c == 'g' || c == 'q'; };
    int state = 0;
    for (long here = n; here >= 0; --here) {
        if (here == 0) {
            if (state == 7) mark(2);
            return;
        }
        const unsigned char c = at(here);
        switch (state) {
            case 0:
                if (c == 'a' || c == 'e' || c == 'o')
                    state = 5;
                else if (c == 'i' || c == 'u')
                    state = 3;
                else if (c == 'l' || c == 'n' || c == 'r' || c == 'x' || c == 'z')
                    state = 1;
                else if (c == 'm')
                    state = 2;
                else if (c == 's')
                    state = 4;
                break;
            case 1:
                if (isVowel(c)) state = 6;
                break;
            case 2:
                // -im and -um after a vowel take the stress themselves (ruim, Caim).
                if ((c == 'i' || c == 'u') && isVowel(at(here - 1))) {
                    mark(here);
                    return;
                }
                if (c == 'a' || c == 'e')
                    state = 5;
                else if (c == 'i' || c == 'u')
                    state = 3;
                else if (c == 'o')
                    state = 6;
                break;
            case 3:
                if (isConsonant(c) || (c == 'u' && gq(at(here - 1))))
                    state = 7;
                else
                    state = 6;
                break;
            case 4:
                if (c == 'a' || c == 'e' || c == 'o')
                    state = 5;
                else if (c == 'i' || c == 'u')
                    state = 3;
                break;
            case 5:
                // The u of que, gue, qui, gui is silent: the stress goes past it (toque, pegue).
                if (c == 'u' && gq(at(here - 1)) && isFrontVowel(at(here + 1))) break;
                if (c == 'a' || c == 'e' || c == 'o')
                    state = 6;
                else if (c == 'i' || c == 'u')
                    state = 8;
                break;
            case 6:
                mark(here + 1);
                return;
            case 7:
                mark(here + 2);
                return;
            case 8: {
                if (isConsonant(c) || (c == 'u' && gq(at(here - 1)))) {
                    state = 7;
                    break;
                }
                // A vowel before i or u: the i or u carries the stress when a closing l m n r z
                // follows it (ra-i-nha, a-in-da, sa-ir-mos).
                const unsigned char after = at(here + 2);
                const unsigned char next = at(here + 3);
                const bool closing =
                    after == 'l' || after == 'm' || after == 'n' || after == 'r' || after == 'z';
                if (closing && ((after == 'n' && next == 'h') || (after == 'r' && next == 'r') ||
                                (isConsonant(next) && next != 'h')))
                    state = 7;
                else
                    state = 6;
                break;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Rule conversion

// Left context, read from its last character leftwards from `position` (the character just
// left of the focus; 0 is the boundary left of the word).
bool Translator::matchLeft(std::string_view context, std::string_view word, long position,
                           const VowelRuns& runs) const {
    const long n = static_cast<long>(word.size());
    auto at = [&](long p) -> unsigned char {
        return p >= 1 && p <= n ? static_cast<unsigned char>(word[p - 1]) : 0;
    };
    long p = position;
    for (size_t k = context.size(); k-- > 0;) {
        const unsigned char symbol = static_cast<unsigned char>(context[k]);
        const bool inside = p >= 1;
        const unsigned char c = at(p);
        switch (symbol) {
            case '#':
                if (!inside || !(isVowel(c) || isAccentMark(c))) return false;
                p = runs.first[p] - 1;
                break;
            case '%':
                if (inside) return false;
                break;
            case ']':
                if (inside && isBackVowel(c))
                    --p;
                else if (inside && isAccentMark(c) && isBackVowel(at(p - 1)))
                    p -= 2;
                else
                    return false;
                break;
            case '_':
                if (!inside) break;
                if (isVowel(c))
                    --p;
                else if (isAccentMark(c) && isVowel(at(p - 1)))
                    p -= 2;
                else
                    return false;
                break;
            case '|':
                if (!inside) return false;
                if (lowerAscii(c) != 'n' && lowerAscii(c) != 'r' && lowerAscii(c) != 's') return false;
                --p;
                break;
            default:
                if (!inside || upperAscii(c) != symbol) return false;
                --p;
                break;
        }
    }
    return true;
}

// Right context, read from its first character rightwards from `position` (the character just
// right of the focus; length + 1 is the boundary right of the word).
bool Translator::matchRight(std::string_view context, std::string_view word, long position,
                            const VowelRuns& runs) const {
    const long n = static_cast<long>(word.size());
    auto at = [&](long p) -> unsigned char {
        return p >= 1 && p <= n ? static_cast<unsigned char>(word[p - 1]) : 0;
    };
    long p = position;
    for (const char symbolChar : context) {
        const unsigned char symbol = static_cast<unsigned char>(symbolChar);
        const bool inside = p <= n;
        const unsigned char c = at(p);
        const unsigned char lower = lowerAscii(c);
        switch (symbol) {
            case '#':
                if (!inside || !(isVowel(c) || isAccentMark(c))) return false;
                p = runs.last[p] + 1;
                break;
            case '%':
                if (inside) return false;
                break;
            case '&':
                if (!inside) return false;
                if (lower != 'l' && lower != 'm' && lower != 'n' && lower != 'r' && lower != 'z')
                    return false;
                ++p;
                break;
            case '*':
                if (!inside || !isConsonant(c) || lower == 'r' || lower == 'l') return false;
                break;
            case '+':
                if (!inside || !isFrontVowel(c)) return false;
                ++p;
                if (isAccentMark(at(p))) ++p;
                break;
            case '[':
                if (inside && !(isConsonant(c) && lower != 'h')) return false;
                break;
            case '\\':
                if (inside && lower == 's') ++p;
                break;
            default:
                if (!inside || upperAscii(c) != symbol) return false;
                ++p;
                break;
        }
    }
    return true;
}

// "[", then for each position the output of the first rule of its bucket that matches (focus,
// then left, then right context) or " /_" and the character, units separated by "/", then "]".
void Translator::convertWord(std::string_view word, std::string& out, VowelRuns& runs) const {
    const long n = static_cast<long>(word.size());
    auto inRun = [&](long p) {
        const unsigned char c = static_cast<unsigned char>(word[p - 1]);
        return isVowel(c) || isAccentMark(c);
    };
    runs.first.assign(n + 2, 0);
    runs.last.assign(n + 2, 0);
    for (long p = 1; p <= n; ++p)
        if (inRun(p)) runs.first[p] = p > 1 && inRun(p - 1) ? runs.first[p - 1] : static_cast<int32_t>(p);
    for (long p = n; p >= 1; --p)
        if (inRun(p)) runs.last[p] = p < n && inRun(p + 1) ? runs.last[p + 1] : static_cast<int32_t>(p);
    out += '[';
    long position = 1;
    while (position <= n) {
        const unsigned char c = static_cast<unsigned char>(word[position - 1]);
        const unsigned char upper = upperAscii(c);
        const TranslatorRule* hit = nullptr;
        if (upper >= kFirstBucket && upper <= kLastBucket) {
            for (const TranslatorRule& rule : buckets_[upper - kFirstBucket]) {
                const long focusLength = static_cast<long>(rule.focus.size());
                if (position - 1 + focusLength > n) continue;
                bool same = true;
                for (long k = 0; k < focusLength && same; ++k)
                    same = upperAscii(static_cast<unsigned char>(word[position - 1 + k])) ==
                           static_cast<unsigned char>(rule.focus[k]);
                if (!same) continue;
                if (!matchLeft(rule.left, word, position - 1, runs)) continue;
                if (!matchRight(rule.right, word, position + focusLength, runs)) continue;
                hit = &rule;
                break;
            }
        }
        const size_t unitStart = out.size();
        if (hit) {
            out += hit->output;
        } else {
            out += " /_";
            out += static_cast<char>(upper);
        }
        // The stress mark on this letter passes to the unit's first vowel.
        if (isUpperVowel(c)) {
            for (size_t i = unitStart; i < out.size(); ++i) {
                if (isVowel(static_cast<unsigned char>(out[i]))) {
                    out[i] = static_cast<char>(upperAscii(static_cast<unsigned char>(out[i])));
                    break;
                }
            }
        }
        position += hit ? static_cast<long>(hit->focus.size()) : 1;
        if (position <= n) out += '/';
    }
    out += ']';
}

// ---------------------------------------------------------------------------------------------
// The whole conversion

std::string Translator::translateText(std::string_view text) const {
    const std::string mapped = premapTranslatorText(text);
    const size_t n = mapped.size();
    std::string out;
    out.reserve(n * 6 + 16);
    std::string word;
    word.reserve(64);
    VowelRuns runs;
    size_t i = 0;
    for (;;) {
        while (i < n && mapped[i] == ' ') ++i;
        if (i >= n) break;

        // Read the next word: a run of word characters starting with a letter, or one other
        // character.
        word.clear();
        int vowels = 0;
        bool accented = false;
        const unsigned char first = lowerAscii(static_cast<unsigned char>(mapped[i]));
        if (isLetter(first)) {
            while (i < n && isWordChar(static_cast<unsigned char>(mapped[i]))) {
                const unsigned char c = lowerAscii(static_cast<unsigned char>(mapped[i]));
                if (isVowel(c)) ++vowels;
                if (isAccentMark(c) && c != '"') accented = true;
                word += static_cast<char>(c);
                ++i;
            }
        } else {
            word += static_cast<char>(first);
            ++i;
        }

        if (!exceptions_.empty()) replaceException(word);
        // An exception that writes an accent places the stress itself: marking the word again
        // would give it a second stressed vowel (radios = ra'dios, not ra'dIos).
        accented = accented || std::any_of(word.begin(), word.end(), [](char ch) {
                       const unsigned char u = static_cast<unsigned char>(ch);
                       return isAccentMark(u) && u != '"';
                   });
        if (!accented) markTranslatorStress(word, vowels);

        const bool spelled =
            (!word.empty() && word.front() == '\0') || std::all_of(word.begin(), word.end(), [](char ch) {
                const unsigned char u = static_cast<unsigned char>(ch);
                return isConsonant(u) || isPunctuation(u);
            });
        if (spelled) {
            for (char ch : word) {
                out += "[ /_";
                out += ch;
                out += ']';
            }
        } else {
            convertWord(word, out, runs);
        }
    }
    return out;
}

}  // namespace parlendo
