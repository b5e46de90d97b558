// Phoneme error rate of the built-in voice's translator against espeak-ng's Brazilian Portuguese
// (pt-br): both phonetic forms of every word are brought onto one phoneme set, aligned by edit
// distance, and the tool prints the errors per reference phoneme, the most frequent substitutions,
// insertions and deletions with example words, and optionally every word that differs.
//
//   voice_phonemes --rules regras.rgr --exceptions portug.exc
//                  [--text FILE]... [--sample N --seed S --words FILE] [--top N] [--diffs]
//                  [--reference FILE]
//
// --text files are read whole (UTF-8) and their distinct words (runs of letters) measured;
// --sample takes N distinct words of a one-word-a-line list, chosen with a fixed generator so that
// the same seed gives the same words.
//
// The common phoneme set (stress is ignored: neither side's stress marks are compared):
//   oral vowels   a (open a)  6 (closed, reduced a)  E (open e)  e (closed e)  i  O (open o)
//                 o (closed o)  u
//   nasal vowels  6~ e~ i~ o~ u~
//   glides        j w (a nasal diphthong's glide is the plain glide after a nasal vowel)
//   consonants    p b t d k g f v s z S (chave) Z (gente) tS (tia) dZ (dia) m n J (ninho)
//                 l L (filho) r (tap: caro, mar) R (strong r: rato, carro)
//   ?X            a letter the translator had no rule for (never equal to anything)
// Translator units: a a^ a~ e e^ e~ i i~ o o^ o~ u u~ -> a 6 6~ E e e~ i i~ O o o~ u u~ (upper
// case, the stress, folded); y w -> j w; x j rr nh lh dj tch -> S Z R J L dZ tS; ks kw gw tx ->
// k s, k w, g w, t S; the rest are themselves.
// espeak-ng (-x notation): & &~ E e i I O o u U -> 6 6~ E e i i O o u u; a vowel followed by N or
// ~ is nasal; I U y after a vowel are the glides j w j, after a consonant the vowels i u i; *
// and r -> r, x R -> R, n^ -> J, lj l^ -> L, S Z tS dZ as they are; stress ' , syllable and
// pause marks, ; (palatal colouring) and the epenthetic @- are dropped; R (the tap of pR, tR)
// -> r; m or n between a vowel and a consonant is the vowel's nasality, and the glide of eIN
// before a consonant is dropped (segmento: s e g m e~ t u), kept at the end (bem: b e~ j).
// Words of one letter (espeak-ng names the letter) and without a vowel are left out.
//
// With --brisa FOLDER the Brisa voice's front end is measured instead of the translator, from the
// data files FOLDER/portug.nrl, .exc, .abr, .pro and .dfn: the phonemes of its PhonemeString
// (pauses left out, the glides it inserts for missing diphones kept) onto the set: a 6 e E i o O
// u as they are; a~ e~ i~ o~ u~ -> 6~ e~ i~ o~ u~; y w y~ w~ -> j w j w; nh lh -> J L; s2 -> s;
// r -> r; r2 -> R before a vowel, r at the end of the word or before a consonant (the common
// set's r is the tap and the r that closes a syllable, as espeak-ng writes both); the rest are
// themselves.
//
// --reference names a file of Brazilian readings ("word  p h o n e m e s" in the set above, "#"
// starts a comment; the word matched with its ASCII letters lower-cased): for those words the
// reading replaces espeak-ng's where Brazilian usage differs from it. Both rates are printed,
// espeak-ng's alone and the judged one; the differences listed are against the judged reference.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "text/cp1252.h"
#include "tts/brisa_front_end.h"
#include "tts/translator.h"

namespace {

using Phonemes = std::vector<std::string>;

bool isVowelLetter(char c) {
    switch (c) {
        case 'a':
        case 'e':
        case 'i':
        case 'o':
        case 'u':
            return true;
        default:
            return false;
    }
}

bool isCommonVowel(const std::string& p) {
    return !p.empty() && (p[0] == 'a' || p[0] == '6' || p[0] == 'E' || p[0] == 'e' || p[0] == 'i' ||
                          p[0] == 'O' || p[0] == 'o' || p[0] == 'u');
}

// One sound unit of the translator ("k", "A^ ", "e~y ", "tch", " /_X" already cut) onto the set.
void unitPhonemes(std::string unit, Phonemes& out) {
    unit.erase(std::remove(unit.begin(), unit.end(), ' '), unit.end());
    if (unit.empty()) return;
    if (unit[0] == '_') {
        out.push_back("?" + unit.substr(1));
        return;
    }
    static const std::pair<const char*, const char*> kConsonants[] = {
        {"tch", "tS"}, {"rr", "R"},   {"nh", "J"},   {"lh", "L"}, {"dj", "dZ"}, {"ks", "k s"},
        {"kw", "k w"}, {"gw", "g w"}, {"tx", "t S"}, {"x", "S"},  {"j", "Z"},
    };
    size_t i = 0;
    bool afterVowel = false;
    while (i < unit.size()) {
        char c = unit[i];
        char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (isVowelLetter(lower) && !(afterVowel && (lower == 'y' || lower == 'w'))) {
            std::string v;
            char mark = i + 1 < unit.size() ? unit[i + 1] : '\0';
            if (mark == '^') {
                v = lower == 'a' ? "6" : std::string(1, lower);
                ++i;
            } else if (mark == '~') {
                v = (lower == 'a' ? std::string("6") : std::string(1, lower)) + "~";
                ++i;
            } else {
                v = lower == 'e' ? "E" : lower == 'o' ? "O" : std::string(1, lower);
            }
            out.push_back(v);
            afterVowel = true;
            ++i;
            continue;
        }
        if (afterVowel && (lower == 'y' || lower == 'w')) {
            out.push_back(lower == 'y' ? "j" : "w");
            ++i;
            continue;
        }
        if (lower == 'y') {  // a y the pre-mapping kept
            out.push_back("i");
            afterVowel = true;
            ++i;
            continue;
        }
        bool taken = false;
        for (const auto& [from, to] : kConsonants) {
            std::string_view f(from);
            if (unit.compare(i, f.size(), f) == 0) {
                std::istringstream parts(to);
                std::string p;
                while (parts >> p) out.push_back(p);
                i += f.size();
                taken = true;
                break;
            }
        }
        if (!taken) out.push_back(std::string(1, lower)), ++i;
        afterVowel = false;
    }
}

// The translator's phonetic text of one word onto the set.
Phonemes translatorPhonemes(const std::string& phonetic) {
    Phonemes out;
    std::string unit;
    bool letter = false;
    for (size_t i = 0; i < phonetic.size(); ++i) {
        char c = phonetic[i];
        if (c == '[' || c == ']' || c == '/') {
            if (!letter) unitPhonemes(unit, out);
            unit.clear();
            letter = false;
            continue;
        }
        if (c == '_' && i + 1 < phonetic.size()) {  // a letter's own recording
            out.push_back(std::string("?") + phonetic[++i]);
            letter = true;
            continue;
        }
        unit += c;
    }
    if (!letter) unitPhonemes(unit, out);
    return out;
}

// The phonemes of a Brisa PhonemeString onto the set.
Phonemes brisaPhonemes(const std::vector<std::string>& lines) {
    Phonemes names;
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == ';' || line[0] == '_') continue;
        names.push_back(line.substr(0, line.find(' ')));
    }
    auto isVowelName = [](const std::string& p) {
        return !p.empty() && std::string_view("a6eEioOuwy").find(p[0]) != std::string_view::npos;
    };
    Phonemes out;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& p = names[i];
        if (p == "a~")
            out.push_back("6~");
        else if (p == "y" || p == "y~")
            out.push_back("j");
        else if (p == "w" || p == "w~")
            out.push_back("w");
        else if (p == "nh")
            out.push_back("J");
        else if (p == "lh")
            out.push_back("L");
        else if (p == "s2")
            out.push_back("s");
        else if (p == "r2")
            out.push_back(i + 1 < names.size() && isVowelName(names[i + 1]) && names[i + 1] != "w" &&
                                  names[i + 1] != "y"
                              ? "R"
                              : "r");
        else
            out.push_back(p);
    }
    return out;
}

// espeak-ng's -x phoneme text of one word onto the set.
Phonemes espeakPhonemes(std::string_view x) {
    Phonemes out;
    auto lastIsVowel = [&] { return !out.empty() && isCommonVowel(out.back()); };
    auto nasalise = [&] {
        if (lastIsVowel() && out.back().back() != '~') out.back() += '~';
    };
    size_t i = 0;
    while (i < x.size()) {
        char c = x[i];
        auto next = [&](size_t k) { return i + k < x.size() ? x[i + k] : '\0'; };
        if (c == '\'' || c == ',' || c == ';' || c == '-' || c == '_' || c == ' ' || c == ':' || c == '=' ||
            c == '|' || c == '#') {
            ++i;
            continue;
        }
        if (c == '@') {  // the epenthetic vowel of a cluster, or a schwa
            i += next(1) == '-' ? 2 : 1;
            continue;
        }
        if (c == '~') {
            nasalise();
            ++i;
            continue;
        }
        // N after a vowel is its nasality; so is m or n between a vowel and a consonant. The
        // glide espeak-ng writes between a nasal e and a consonant (eINt, eImb) is no phoneme
        // of the set: it stays only at the end of a word (bem, tem, homens).
        const bool beforeConsonant = [&] {
            size_t k = i + 1;
            while (k < x.size() && (x[k] == '\'' || x[k] == ',' || x[k] == ';' || x[k] == '-')) ++k;
            if (k >= x.size()) return false;
            return std::string_view("&aeEiIoOuUy~@|_ ").find(x[k]) == std::string_view::npos;
        }();
        const bool glideAfterVowel =
            out.size() >= 2 && (out.back() == "j" || out.back() == "w") && isCommonVowel(out[out.size() - 2]);
        if (c == 'N' || ((c == 'm' || (c == 'n' && next(1) != '^')) && beforeConsonant &&
                         (lastIsVowel() || glideAfterVowel))) {
            if (lastIsVowel())
                nasalise();
            else if (glideAfterVowel) {
                std::string& v = out[out.size() - 2];
                if (v.back() != '~') v += '~';
                if (beforeConsonant && out.back() == "j") out.pop_back();
            } else
                out.push_back("n");
            ++i;
            continue;
        }
        if ((c == 'I' || c == 'U' || c == 'y' || c == 'w') && lastIsVowel()) {
            out.push_back(c == 'I' || c == 'y' ? "j" : "w");
            ++i;
            if (next(0) == '~') {  // a nasal glide: the vowel before it is nasal
                std::string& v = out[out.size() - 2];
                if (v.back() != '~') v += '~';
                ++i;
            }
            continue;
        }
        switch (c) {
            case '&':
                out.push_back("6");
                break;
            case 'a':
                out.push_back("a");
                break;
            case 'E':
                out.push_back("E");
                break;
            case 'e':
                out.push_back("e");
                break;
            case 'i':
            case 'I':
            case 'y':
                out.push_back("i");
                break;
            case 'O':
                out.push_back("O");
                break;
            case 'o':
                out.push_back("o");
                break;
            case 'u':
            case 'U':
                out.push_back("u");
                break;
            case 'w':
                out.push_back("w");
                break;
            case 'j':
                out.push_back("j");
                break;
            case '*':
            case 'r':
                out.push_back("r");
                break;  // the tap, and the r ending a word
            case 'R':
                out.push_back("r");
                break;  // pt-br's R is the tap of a cluster (pR, tR)
            case 'x':
            case 'h':
                out.push_back("R");
                break;
            case 'n':
                if (next(1) == '^') {
                    out.push_back("J");
                    ++i;
                } else
                    out.push_back("n");
                break;
            case 'l':
                if (next(1) == '^' || next(1) == 'j') {
                    out.push_back("L");
                    ++i;
                } else
                    out.push_back("l");
                break;
            case 't':
                if (next(1) == 'S') {
                    out.push_back("tS");
                    ++i;
                } else
                    out.push_back("t");
                break;
            case 'd':
                if (next(1) == 'Z') {
                    out.push_back("dZ");
                    ++i;
                } else
                    out.push_back("d");
                break;
            default:
                out.push_back(std::string(1, c));
                break;
        }
        ++i;
    }
    return out;
}

// The edit operations of the cheapest alignment: ("a","b") substitution, ("","b") insertion of
// the translator's b, ("a","") deletion of the reference's a.
std::vector<std::pair<std::string, std::string>> align(const Phonemes& ref, const Phonemes& hyp) {
    const size_t n = ref.size(), m = hyp.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i);
    for (size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i)
        for (size_t j = 1; j <= m; ++j)
            d[i][j] =
                std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (ref[i - 1] != hyp[j - 1])});
    std::vector<std::pair<std::string, std::string>> ops;
    size_t i = n, j = m;
    while (i > 0 || j > 0) {
        if (i > 0 && j > 0 && d[i][j] == d[i - 1][j - 1] + (ref[i - 1] != hyp[j - 1])) {
            if (ref[i - 1] != hyp[j - 1]) ops.emplace_back(ref[i - 1], hyp[j - 1]);
            --i, --j;
        } else if (i > 0 && d[i][j] == d[i - 1][j] + 1) {
            ops.emplace_back(ref[i - 1], "");
            --i;
        } else {
            ops.emplace_back("", hyp[j - 1]);
            --j;
        }
    }
    return ops;
}

std::string joined(const Phonemes& p) {
    std::string s;
    for (const std::string& x : p) s += (s.empty() ? "" : " ") + x;
    return s;
}

// Runs of letters (ASCII and UTF-8 sequences of two or more bytes, taken as letters).
std::vector<std::string> wordsOf(std::string_view text) {
    std::vector<std::string> words;
    std::string w;
    for (size_t i = 0; i <= text.size(); ++i) {
        unsigned char c = i < text.size() ? static_cast<unsigned char>(text[i]) : ' ';
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80) {
            w += static_cast<char>(c);
        } else {
            if (!w.empty()) words.push_back(w);
            w.clear();
        }
    }
    return words;
}

bool hasVowel(const std::string& cp1252) {
    return std::any_of(cp1252.begin(), cp1252.end(), [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return isVowelLetter(static_cast<char>(u | 0x20)) || u >= 0xC0;
    });
}

std::string asciiLower(std::string w) {
    for (char& c : w)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return w;
}

// The Brazilian readings of --reference: lower-cased word -> phonemes.
bool readReference(const std::string& path, std::map<std::string, Phonemes>& out) {
    std::ifstream in(path);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
        if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream fields(line);
        std::string word, p;
        if (!(fields >> word)) continue;
        Phonemes reading;
        while (fields >> p) reading.push_back(p);
        if (reading.empty()) {
            std::fprintf(stderr, "voice_phonemes: %s: no phonemes for %s\n", path.c_str(), word.c_str());
            return false;
        }
        out[asciiLower(word)] = reading;
    }
    return true;
}

struct Options {
    std::string rules, exceptions, words, reference, brisa;
    std::vector<std::string> texts;
    long sample = 0;
    uint32_t seed = 1;
    size_t top = 15;
    bool diffs = false;
};

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--diffs") {
            o.diffs = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "voice_phonemes: %s needs a value\n", argv[i]);
            return 2;
        }
        const char* v = argv[++i];
        if (a == "--rules")
            o.rules = v;
        else if (a == "--exceptions")
            o.exceptions = v;
        else if (a == "--brisa")
            o.brisa = v;
        else if (a == "--text")
            o.texts.emplace_back(v);
        else if (a == "--words")
            o.words = v;
        else if (a == "--reference")
            o.reference = v;
        else if (a == "--sample")
            o.sample = std::strtol(v, nullptr, 10);
        else if (a == "--seed")
            o.seed = static_cast<uint32_t>(std::strtoul(v, nullptr, 10));
        else if (a == "--top")
            o.top = static_cast<size_t>(std::strtol(v, nullptr, 10));
        else {
            std::fprintf(stderr, "voice_phonemes: unknown option %s\n", argv[i - 1]);
            return 2;
        }
    }
    if ((o.brisa.empty() && (o.rules.empty() || o.exceptions.empty())) ||
        (o.texts.empty() && o.words.empty())) {
        std::fprintf(
            stderr,
            "usage: voice_phonemes (--rules FILE --exceptions FILE | --brisa FOLDER) [--text FILE]..."
            " [--sample N --seed S --words FILE] [--top N] [--diffs]\n");
        return 2;
    }
    parlendo::Translator translator;
    parlendo::BrisaFrontEnd brisa;
    if (!o.brisa.empty()) {
        const std::string base = o.brisa + "/portug.";
        if (!brisa.loadRules(base + "nrl") || !brisa.loadExceptions(base + "exc") ||
            !brisa.loadAbbreviations(base + "abr") || !brisa.loadProsody(base + "pro") ||
            !brisa.loadDiphones(base + "dfn")) {
            std::fprintf(stderr, "voice_phonemes: cannot read the Brisa data files in %s\n", o.brisa.c_str());
            return 2;
        }
    } else if (!translator.loadTranslatorRules(o.rules) ||
               !translator.loadTranslatorExceptions(o.exceptions)) {
        std::fprintf(stderr, "voice_phonemes: cannot read %s or %s\n", o.rules.c_str(), o.exceptions.c_str());
        return 2;
    }

    std::map<std::string, Phonemes> brazilian;
    if (!o.reference.empty() && !readReference(o.reference, brazilian)) {
        std::fprintf(stderr, "voice_phonemes: cannot read %s\n", o.reference.c_str());
        return 2;
    }

    // The words, UTF-8, distinct, in the order met.
    std::vector<std::string> words;
    std::set<std::string> seen;
    auto add = [&](const std::string& w) {
        if (seen.insert(w).second) words.push_back(w);
    };
    for (const std::string& path : o.texts) {
        std::string text;
        if (!readFile(path, text)) {
            std::fprintf(stderr, "voice_phonemes: cannot read %s\n", path.c_str());
            return 2;
        }
        for (const std::string& w : wordsOf(text)) add(w);
    }
    if (!o.words.empty()) {
        std::string text;
        if (!readFile(o.words, text)) {
            std::fprintf(stderr, "voice_phonemes: cannot read %s\n", o.words.c_str());
            return 2;
        }
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) lines.push_back(line);
        // A fixed linear congruential generator (the same everywhere, unlike the library's
        // distributions): a partial Fisher-Yates shuffle takes the first N lines.
        uint64_t state = o.seed;
        auto next = [&]() {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<uint32_t>(state >> 33);
        };
        size_t take =
            o.sample > 0 ? std::min<size_t>(static_cast<size_t>(o.sample), lines.size()) : lines.size();
        for (size_t k = 0; k < take && o.sample > 0; ++k)
            std::swap(lines[k], lines[k + next() % (lines.size() - k)]);
        for (size_t k = 0; k < take; ++k)
            for (const std::string& w : wordsOf(lines[k])) add(w);
    }

    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT) < 0 ||
        espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "voice_phonemes: espeak-ng or its pt-br voice is missing\n");
        return 2;
    }

    long measured = 0, refPhonemes = 0, errors = 0, wrongWords = 0;
    long rawPhonemes = 0, rawErrors = 0, judged = 0;
    std::map<std::pair<std::string, std::string>, std::pair<long, std::vector<std::string>>> kinds;
    std::vector<std::string> report;
    for (const std::string& w : words) {
        std::string cp = parlendo::text::externalToCp1252(w);
        // One letter alone is read by espeak-ng as the letter's name (e agudo, cedilha).
        if (!hasVowel(cp) || cp.size() < 2) continue;
        std::string lowered = w;
        const void* in = lowered.c_str();
        std::string x;
        while (in) {
            const char* piece = espeak_TextToPhonemes(&in, espeakCHARS_UTF8, 0);
            if (piece) x += piece;
        }
        Phonemes ref = espeakPhonemes(x);
        std::string phonetic;
        Phonemes hyp;
        if (o.brisa.empty()) {
            phonetic = translator.translateText(cp);
            hyp = translatorPhonemes(phonetic);
        } else {
            const std::vector<std::string> lines = brisa.phonemeString(cp, 1.0, 1.0);
            hyp = brisaPhonemes(lines);
            for (const std::string& l : lines)
                if (!l.empty() && l[0] != ';' && l[0] != '_') phonetic += l.substr(0, l.find(' ')) + " ";
        }
        rawPhonemes += static_cast<long>(ref.size());
        rawErrors += static_cast<long>(align(ref, hyp).size());
        const std::string espeakReading = joined(ref);
        if (auto b = brazilian.find(asciiLower(w)); b != brazilian.end()) {
            ref = b->second;
            ++judged;
        }
        auto ops = align(ref, hyp);
        ++measured;
        refPhonemes += static_cast<long>(ref.size());
        errors += static_cast<long>(ops.size());
        if (ops.empty()) continue;
        ++wrongWords;
        for (const auto& op : ops) {
            auto& k = kinds[op];
            ++k.first;
            if (k.second.size() < 4) k.second.push_back(w);
        }
        if (o.diffs)
            report.push_back(w + "  espeak-ng: " + espeakReading +
                             (espeakReading == joined(ref) ? "" : "  Brazilian: " + joined(ref)) +
                             "  translator: " + joined(hyp) + "  " + parlendo::text::cp1252ToUtf8(phonetic));
    }
    espeak_Terminate();

    std::printf("words: %ld, reference phonemes: %ld, errors: %ld, words with an error: %ld\n", measured,
                refPhonemes, errors, wrongWords);
    std::printf("espeak-ng alone: reference phonemes: %ld, errors: %ld, rate %.2f%%\n", rawPhonemes,
                rawErrors, rawPhonemes ? 100.0 * rawErrors / rawPhonemes : 0.0);
    std::printf("words read by the Brazilian reference instead of espeak-ng: %ld\n", judged);
    std::printf("phoneme error rate: %.2f%%\n", refPhonemes ? 100.0 * errors / refPhonemes : 0.0);
    std::vector<std::pair<std::pair<std::string, std::string>, std::pair<long, std::vector<std::string>>>>
        worst(kinds.begin(), kinds.end());
    std::sort(worst.begin(), worst.end(),
              [](const auto& a, const auto& b) { return a.second.first > b.second.first; });
    std::printf("most frequent differences (reference -> translator, - = nothing):\n");
    for (size_t i = 0; i < worst.size() && i < o.top; ++i) {
        const auto& [op, k] = worst[i];
        std::printf("  %-3s -> %-3s %5ld ", op.first.empty() ? "-" : op.first.c_str(),
                    op.second.empty() ? "-" : op.second.c_str(), k.first);
        for (const std::string& e : k.second) std::printf(" %s", e.c_str());
        std::printf("\n");
    }
    for (const std::string& line : report) std::printf("%s\n", line.c_str());
    return 0;
}
