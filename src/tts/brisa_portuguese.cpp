// The Brisa voice's letter-to-phoneme conversion: rule matching, the stress mark, the pauses of
// punctuation and the liaison of a final r or s before a vowel.
#include "tts/brisa_portuguese.h"

#include "text/cp1252.h"
#include "tts/brisa_stress.h"

namespace parlendo {

namespace {

// Letter classes of the rule contexts (both letter cases).
unsigned char upperOf(unsigned char c) {
    return c >= 224 && c != 247 ? c - 32 : c >= 'a' && c <= 'z' ? c - 32 : c;
}

bool isVowel(unsigned char c) {
    switch (upperOf(c)) {
        case 'A':
        case 'E':
        case 'I':
        case 'O':
        case 'U':
        case 0xC0:  // À
        case 0xC1:  // Á
        case 0xC2:  // Â
        case 0xC3:  // Ã
        case 0xC9:  // É
        case 0xCA:  // Ê
        case 0xCC:  // Ì
        case 0xCD:  // Í
        case 0xD3:  // Ó
        case 0xD4:  // Ô
        case 0xD5:  // Õ
        case 0xD9:  // Ù
        case 0xDA:  // Ú
        case 0xDC:  // Ü
            return true;
        default:
            return false;
    }
}
bool isBackVowel(unsigned char c) {
    const unsigned char u = upperOf(c);
    return u == 'A' || u == 'O' || u == 0xC1 || u == 0xC2 || u == 0xD3 || u == 0xD4;
}
bool isFrontVowel(unsigned char c) {
    const unsigned char u = upperOf(c);
    return u == 'E' || u == 'I' || u == 0xC9 || u == 0xCD;
}
bool isConsonant(unsigned char c) {
    const unsigned char u = upperOf(c);
    if (u >= 'A' && u <= 'Z') return !isVowel(u);
    return u == 0xC7 || u == 0xD1;  // Ç Ñ
}
bool isLiquidOrNasal(unsigned char c) {
    const unsigned char u = upperOf(c);
    return u == 'L' || u == 'M' || u == 'N' || u == 'R' || u == 'Z';
}
bool isNRS(unsigned char c) {
    const unsigned char u = upperOf(c);
    return u == 'N' || u == 'R' || u == 'S';
}
char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// The word's letters with positions from 0; `at` may run past either end.
struct Word {
    std::string_view w;
    bool has(long at) const { return at >= 0 && at < static_cast<long>(w.size()); }
    unsigned char letter(long at) const {
        return static_cast<unsigned char>(asciiUpper(w[static_cast<size_t>(at)]));
    }
};

bool matchFocus(const Word& w, long p, std::string_view focus) {
    for (size_t k = 0; k < focus.size(); ++k) {
        const long at = p + static_cast<long>(k);
        if (!w.has(at) || w.letter(at) != static_cast<unsigned char>(focus[k])) return false;
    }
    return true;
}

bool matchLeft(const Word& w, long cursor, std::string_view context) {
    for (size_t k = context.size(); k > 0; --k) {
        const char sym = context[k - 1];
        if (sym == '%') {
            if (w.has(cursor)) return false;
            continue;
        }
        if (sym == '_') {
            if (!w.has(cursor)) continue;
            if (!isVowel(w.letter(cursor))) return false;
            --cursor;
            continue;
        }
        if (!w.has(cursor)) return false;
        const unsigned char c = w.letter(cursor);
        bool ok;
        switch (sym) {
            case '#':
                ok = isVowel(c);
                break;
            case ']':
                ok = isBackVowel(c);
                break;
            case '|':
                ok = isNRS(c);
                break;
            default:
                ok = c == static_cast<unsigned char>(sym);
                break;
        }
        if (!ok) return false;
        --cursor;
    }
    return true;
}

bool matchRight(const Word& w, long cursor, std::string_view context) {
    for (const char sym : context) {
        switch (sym) {
            case '%':
                if (w.has(cursor)) return false;
                continue;
            case '*':
                if (!w.has(cursor) || !isConsonant(w.letter(cursor)) || w.letter(cursor) == 'L' ||
                    w.letter(cursor) == 'R')
                    return false;
                continue;
            case '[':
                if (w.has(cursor) && (!isConsonant(w.letter(cursor)) || w.letter(cursor) == 'H'))
                    return false;
                continue;
            case '\\':
                if (w.has(cursor) && w.letter(cursor) == 'S') ++cursor;
                continue;
            default:
                break;
        }
        if (!w.has(cursor)) return false;
        const unsigned char c = w.letter(cursor);
        bool ok;
        switch (sym) {
            case '#':
                ok = isVowel(c);
                break;
            case '&':
                ok = isLiquidOrNasal(c);
                break;
            case '+':
                ok = isFrontVowel(c);
                break;
            default:
                ok = c == static_cast<unsigned char>(sym);
                break;
        }
        if (!ok) return false;
        ++cursor;
    }
    return true;
}

const char* pauseOf(char c) {
    switch (c) {
        case '!':
            return "_!";
        case '(':
            return "_(";
        case ')':
            return "_)";
        case ',':
            return "_,";
        case '.':
            return "_.";
        case ':':
            return "_:";
        case ';':
            return "_;";
        case '?':
            return "_?";
        default:
            return nullptr;
    }
}

bool isPunctuationToken(char c) { return c == ' ' || pauseOf(c) != nullptr; }

bool startsWithLiaisonVowel(std::string_view line) {
    if (!line.empty() && (line.front() == '>' || line.front() == '\xA8'))
        line.remove_prefix(1);  // ">" or "¨"
    return !line.empty() && std::string_view("aeiouwy").find(line.front()) != std::string_view::npos;
}

}  // namespace

void applyRules(const RuleTable& rules, std::string_view word, size_t stress, PhonemeList& out) {
    const Word w{word};
    const long n = static_cast<long>(word.size());
    // Positions from 0 here; the mark goes on the first phoneme written at or after the stressed
    // letter, once.
    bool marked = stress < 1;
    const long stressAt = stress < 1 ? 0 : static_cast<long>(stress) - 1;
    std::string current;
    long p = 0;
    while (p < n) {
        const BrisaRule* applied = nullptr;
        const unsigned char before = p > 0 ? w.letter(p - 1) : 0;
        for (const BrisaRule& r : rules.bucket(w.letter(p))) {
            if (r.letterBefore != 0 && r.letterBefore != before) continue;
            if (matchFocus(w, p, r.focus) && matchLeft(w, p - 1, r.left) &&
                matchRight(w, p + static_cast<long>(r.focus.size()), r.right)) {
                applied = &r;
                break;
            }
        }
        if (!applied) {
            ++p;
            continue;
        }
        const std::string_view phonemes =
            std::string_view(applied->phonemes).substr(0, BrisaRule::kAppliedWidth);
        for (const char c : phonemes) {
            if (!marked && p >= stressAt) {
                current += '>';
                marked = true;
            }
            if (c == '&') {
                out.push_back(std::move(current));
                current.clear();
            } else {
                current += c;
            }
        }
        if (!phonemes.empty()) {
            out.push_back(std::move(current));
            current.clear();
        }
        p += static_cast<long>(applied->focus.size());
    }
    out.push_back(std::move(current));
}

PhonemeList buildPhonemeList(const std::vector<std::string>& intonation, const RuleTable& rules,
                             const ExceptionTable& exceptions) {
    PhonemeList out;
    for (const std::string& line : intonation) {
        out.push_back(";" + line);
        const std::string token = text::upperCase(line.size() > 4 ? std::string_view(line).substr(4) : "");
        if (token.empty()) {
            out.emplace_back("__");
            out.emplace_back();
            continue;
        }
        if (isPunctuationToken(token.front())) {
            if (const char* pause = pauseOf(token.front())) out.emplace_back(pause);
            continue;
        }
        const std::string w = exceptions.respell(token);
        applyRules(rules, w, isUnstressedWord(w) ? 0 : stressPosition(w), out);
    }
    out.emplace_back("__");
    // A final r or s is linked to a vowel that begins the next word: "mar azul", "mais alto".
    for (size_t i = 3; i < out.size(); ++i) {
        if (out[i].empty() || out[i].front() != ';') continue;
        if (i + 1 < out.size() && startsWithLiaisonVowel(out[i + 1])) {
            std::string& last = out[i - 2];
            if (last == "r2")
                last = "r";
            else if (last == "s2")
                last = "z";
        }
        ++i;
    }
    return out;
}

}  // namespace parlendo
