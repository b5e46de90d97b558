// The Brisa voice's text normalisation: number words, ordinals, symbol and letter names, the
// abbreviation file and the rewrite of an utterance.
#include "tts/brisa_preproc.h"

#include <array>

#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/brisa_data_file.h"

namespace parlendo {

namespace {

const char* const kUnits[10] = {"zero",  "um",   "dois", "três"_cp, "quatro",
                                "cinco", "seis", "sete", "oito",    "nove"};
const char* const kTeens[10] = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                                "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
const char* const kTens[10] = {"",         "",        "vinte",   "trinta", "quarenta", "cinqüenta"_cp,
                               "sessenta", "setenta", "oitenta", "noventa"};
const char* const kHundreds[10] = {"",           "cento",      "duzentos",   "trezentos",  "quatrocentos",
                                   "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
// Scale words of the groups of three digits, trillions first; the units group has none.
const char* const kScaleOne[4] = {"trilhão "_cp, "bilhão "_cp, "milhão "_cp, "mil "};
const char* const kScaleMany[4] = {"trilhões "_cp, "bilhões "_cp, "milhões "_cp, "mil "};

const char* const kOrdinalUnits[10] = {"",       "primeiro", "segundo",   "terceiro", "quarto",
                                       "quinto", "sexto",    "sétimo"_cp, "oitavo",   "nono"};
const char* const kOrdinalTens[10] = {"",
                                      "décimo"_cp,
                                      "vigésimo"_cp,
                                      "trigésimo"_cp,
                                      "quadragésimo"_cp,
                                      "quinquagésimo"_cp,
                                      "sexagésimo"_cp,
                                      "septuagésimo"_cp,
                                      "octagésimo"_cp,
                                      "nonagésimo"_cp};
const char* const kOrdinalHundreds[10] = {"",
                                          "centésimo"_cp,
                                          "ducentésimo"_cp,
                                          "tricentésimo"_cp,
                                          "quadrigentésimo"_cp,
                                          "quingentésimo"_cp,
                                          "seiscentésimo"_cp,
                                          "septigentésimo"_cp,
                                          "octigentésimo"_cp,
                                          "nongentésimo"_cp};
const char* const kThousandth = "milésimo"_cp;

constexpr uint64_t kReadLimit = 100'000'000'000'000ULL;  // a digit more would pass fifteen digits

using Names = std::array<std::string_view, 256>;

Names makeSymbolNames() {
    Names n{};
    const std::pair<unsigned char, const char*> named[] = {
        {32, "espaço"_cp},
        {33, "exclamação"_cp},
        {34, "aspas"},
        {35, "sustenido"},
        {36, "cifrão"_cp},
        {37, "porcento"},
        {38, "é comercial"_cp},
        {39, "apóstrofo"_cp},
        {40, "abre parênteses"_cp},
        {41, "fecha parênteses"_cp},
        {42, "asterisco"},
        {43, "mais"},
        {44, "vírgula"_cp},
        {45, "traço"_cp},
        {46, "ponto"},
        {47, "barra"},
        {48, "zéro"_cp},
        {49, "um"},
        {50, "dois"},
        {51, "três"_cp},
        {52, "quatro"},
        {53, "cinco"},
        {54, "seis"},
        {55, "séte"_cp},
        {56, "oito"},
        {57, "nóve"_cp},
        {58, "dois pontos"},
        {59, "ponto e vírgula"_cp},
        {60, "menor que"},
        {61, "igual"},
        {62, "maior que"},
        {63, "interrogação"_cp},
        {64, "arrôba"_cp},
        {91, "abre colchete"},
        {92, "raiz"},
        {93, "fecha colchete"},
        {94, "circunflexo"},
        {95, "sublinhado"},
        {96, "crase"},
        {123, "abre chave"},
        {124, "barra vertical"},
        {125, "fecha chave"},
        {126, "til"},
        {161, "exclamação reversa"_cp},
        {162, "centavos de dólar"_cp},
        {163, "libras"},
        {164, "símbolo de moeda"_cp},
        {165, "iene"},
        {166, "barra interrompida"},
        {167, "parágrafo"_cp},
        {168, "trema"},
        {169, "copyright"},
        {170, "ordinal feminino"},
        {171, "Aspas esquerdas"},
        {172, "negação"_cp},
        {173, "hífen"_cp},
        {174, "Marca registrada"},
        {175, "mácron"_cp},
        {176, "grau"},
        {177, "mais ou menos"},
        {178, "elevado ao quadrado"},
        {179, "elevado ao cubo"},
        {180, "acento agudo"},
        {181, "mi"},
        {182, "pi"},
        {183, "ponto no meio"},
        {184, "cedilha"},
        {185, "expoente um"},
        {186, "ordinal masculino"},
        {187, "aspas direitas"},
        {188, "um quarto"},
        {189, "um meio"},
        {190, "três quartos"_cp},
        {191, "interrogação reversa"_cp},
        {192, "A grave"},
        {193, "A agudo"},
        {194, "A circunflexo"},
        {195, "A com til"},
        {196, "A com trema"},
        {197, "A bola"},
        {198, "A É"_cp},
        {199, "Cê cedilha"_cp},
        {200, "É grave"_cp},
        {201, "É agudo"_cp},
        {202, "É circunflexo"_cp},
        {203, "É com trema"_cp},
        {204, "I grave"},
        {205, "I agudo"},
        {206, "I circunflexo"},
        {207, "I com trema"},
        {208, "Dê cortado"_cp},
        {209, "N com til"},
        {210, "Ó grave"_cp},
        {211, "Ó agudo"_cp},
        {212, "Ó circunflexo"_cp},
        {213, "Ó com til"_cp},
        {214, "Ó tremado"_cp},
        {215, "vezes"},
        {216, "Ó cortado"_cp},
        {217, "U grave"},
        {218, "U agudo"},
        {219, "U circunflexo"},
        {220, "U com trema"},
    };
    for (const auto& [code, name] : named) n[code] = name;
    const char* const letters[26] = {
        "a",       "bê"_cp, " sê"_cp, " dê"_cp, "é"_cp,      "éfe"_cp, "jê"_cp,      "agá"_cp, "i",
        "jóta"_cp, "cá"_cp, "éle"_cp, "ême"_cp, "êne"_cp,    "ó"_cp,   "pê"_cp,      "quê"_cp, "érre"_cp,
        "ésse"_cp, "tê"_cp, "u",      "vê"_cp,  "dábliu"_cp, "xis",    "ípsilon"_cp, "zê"_cp};
    for (int i = 0; i < 26; ++i) {
        n['A' + i] = letters[i];
        n['a' + i] = letters[i];
    }
    for (unsigned c = 224; c <= 254; ++c) n[c] = n[c - 32];
    return n;
}

bool isLetter(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    const unsigned char upper = c >= 224 ? c - 32 : c;
    switch (upper) {
        case 192:  // À
        case 193:  // Á
        case 194:  // Â
        case 195:  // Ã
        case 199:  // Ç
        case 201:  // É
        case 202:  // Ê
        case 204:  // Ì
        case 205:  // Í
        case 209:  // Ñ
        case 211:  // Ó
        case 212:  // Ô
        case 213:  // Õ
        case 217:  // Ù
        case 218:  // Ú
        case 220:  // Ü
            return true;
        default:
            return false;
    }
}

bool isConsonant(unsigned char c) {
    const unsigned char upper = c >= 'a' && c <= 'z' ? c - 32 : c;
    if (upper >= 'A' && upper <= 'Z')
        return upper != 'A' && upper != 'E' && upper != 'I' && upper != 'O' && upper != 'U';
    return c == 199 || c == 209 || c == 231 || c == 241;  // Ç Ñ ç ñ
}

bool isKeptPunctuation(unsigned char c) {
    return c == ' ' || c == '!' || c == '(' || c == ')' || c == ',' || c == '.' || c == ':' || c == ';' ||
           c == '?';
}

bool isDigitAt(std::string_view s, size_t i) { return i < s.size() && text::isDigit(s[i]); }

std::string groupWords(unsigned h, unsigned t, unsigned u) {
    if (h == 0 && t == 0 && u == 0) return {};
    if (h == 1 && t == 0 && u == 0) return "cem";
    std::string out;
    if (h != 0) {
        out += kHundreds[h];
        if (t == 0 && u == 0) return out;
        out += " e ";
    }
    if (t == 1) return out + kTeens[u];
    if (t != 0) {
        out += kTens[t];
        if (u == 0) return out;
        out += " e ";
    }
    if (u != 0) out += kUnits[u];
    return out;
}

std::string inGender(std::string word, Gender gender) {
    if (gender == Gender::Feminine && !word.empty()) word.back() = 'a';
    return word;
}

// The run of digits at p read as a number, a spelled telephone number or an ordinal; p moves past
// what was read.
// plainUntil: the end of a run of digits already known to hold no "-", so that a long run read
// fifteen digits at a time is scanned once.
std::string readNumberAt(std::string_view s, size_t& p, size_t& plainUntil) {
    size_t runEnd = p;
    bool dashed = false;
    if (p >= plainUntil) {
        while (runEnd < s.size() && (text::isDigit(s[runEnd]) || s[runEnd] == '-')) {
            dashed = dashed || s[runEnd] == '-';
            ++runEnd;
        }
        if (!dashed) plainUntil = runEnd;
    }
    if (dashed) {
        std::string out;
        for (; p < runEnd; ++p) {
            out += ' ';
            out += s[p] == '-' ? "traço"_cp : kUnits[s[p] - '0'];
        }
        return out;
    }
    std::string prefix;
    while (s[p] == '0' && isDigitAt(s, p + 1)) {
        prefix += "zero ";
        ++p;
    }
    uint64_t value = 0;
    while (p < s.size()) {
        if (text::isDigit(s[p])) {
            if (value >= kReadLimit) break;
            value = value * 10 + static_cast<uint64_t>(s[p] - '0');
            ++p;
            continue;
        }
        // A thousands separator: exactly three digits after it, and the number ends there.
        if (s[p] == '.' && isDigitAt(s, p + 1) && isDigitAt(s, p + 2) && isDigitAt(s, p + 3) &&
            !isDigitAt(s, p + 4)) {
            ++p;
            continue;
        }
        break;
    }
    const std::string_view after = s.substr(p);
    const auto ordinal = [&](Gender g, size_t length, bool plural) {
        p += length;
        return ordinalWords(value, g) + (plural ? "s" : "");
    };
    if (after.empty() || after[0] == ' ') return prefix + cardinalWords(value);
    if (after[0] == '\xBA') return ordinal(Gender::Masculine, 1, false);  // º
    if (after[0] == '\xAA') return ordinal(Gender::Feminine, 1, false);   // ª
    if (after.starts_with("o.")) return ordinal(Gender::Masculine, 2, false);
    if (after.starts_with("a.")) return ordinal(Gender::Feminine, 2, false);
    if (after.starts_with("os.")) return ordinal(Gender::Masculine, 3, true);
    if (after.starts_with("as.")) return ordinal(Gender::Feminine, 3, true);
    return prefix + cardinalWords(value);
}

// The expansion of a word written with an ordinal indicator, as "nº" is, when the abbreviation
// file has the word with its indicator; empty otherwise.
std::string_view indicatorAbbreviation(std::string_view s, size_t p, std::string_view word,
                                       const AbbreviationTable& abbreviations) {
    if (p >= s.size() || (s[p] != '\xBA' && s[p] != '\xAA')) return {};  // º ª
    std::string key(word);
    key += s[p];
    return abbreviations.findAbbreviation(key);
}

// The word of letters (hyphens inside kept) at p; a word of consonants alone is spelled unless it
// is an abbreviation followed by a period.
std::string readWordAt(std::string_view s, size_t& p, const AbbreviationTable& abbreviations) {
    const size_t start = p;
    bool consonants = true;
    while (p < s.size() && isLetter(static_cast<unsigned char>(s[p]))) {
        consonants = consonants && isConsonant(static_cast<unsigned char>(s[p]));
        ++p;
        if (p < s.size() && s[p] == '-') ++p;
    }
    const std::string_view word = s.substr(start, p - start);
    if (!consonants) return std::string(word);
    if (p < s.size() && s[p] == '.' && !abbreviations.findAbbreviation(word).empty())
        return std::string(word);
    if (!indicatorAbbreviation(s, p, word, abbreviations).empty()) return std::string(word);
    std::string spelled;
    for (char c : word) {
        spelled += ' ';
        spelled += symbolName(static_cast<unsigned char>(c));
    }
    return spelled;
}

}  // namespace

std::string_view symbolName(unsigned char c) {
    static const Names names = makeSymbolNames();
    return names[c];
}

std::string localeUpper(std::string_view s) {
    std::string out(s);
    for (char& ch : out) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 224 && c <= 254 && c != 247))
            ch = static_cast<char>(c - 32);
        else if (c == 154 || c == 156 || c == 158)  // š œ ž
            ch = static_cast<char>(c - 16);
        else if (c == 255)  // ÿ
            ch = static_cast<char>(159);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Number words

std::string cardinalWords(uint64_t value) {
    value %= 1'000'000'000'000'000ULL;
    if (value == 0) return "zero";
    unsigned digits[15];
    for (int i = 14; i >= 0; --i) {
        digits[i] = static_cast<unsigned>(value % 10);
        value /= 10;
    }
    int lastGroup = -1;
    for (int g = 0; g < 5; ++g)
        if (digits[3 * g] || digits[3 * g + 1] || digits[3 * g + 2]) lastGroup = g;
    std::string out;
    bool earlier = false;
    for (int g = 0; g < 5; ++g) {
        const unsigned h = digits[3 * g], t = digits[3 * g + 1], u = digits[3 * g + 2];
        if (h == 0 && t == 0 && u == 0) continue;
        if (g == lastGroup && earlier) out += "e ";
        out += groupWords(h, t, u);
        if (g < 4) {
            out += ' ';
            out += h == 0 && t == 0 && u == 1 ? kScaleOne[g] : kScaleMany[g];
        }
        earlier = true;
    }
    if (out.starts_with("um mil") && !out.starts_with("um milh")) out.erase(0, 3);
    return out;
}

std::string ordinalWords(uint64_t value, Gender gender) {
    if (value >= 2000) return cardinalWords(value);
    if (value == 0) return "zero";
    const char* const* const tables[3] = {kOrdinalUnits, kOrdinalTens, kOrdinalHundreds};
    std::string out;
    for (int place = 0; place < 4 && value > 0; ++place, value /= 10) {
        const unsigned d = static_cast<unsigned>(value % 10);
        if (d == 0) continue;
        std::string word = inGender(place < 3 ? tables[place][d] : kThousandth, gender);
        if (!out.empty()) word += ' ';
        out.insert(0, word);
    }
    return std::string(text::trim(out));
}

// ---------------------------------------------------------------------------------------------
// The abbreviation file

bool AbbreviationTable::loadAbbreviations(const std::string& path) {
    entries_.clear();
    std::string contents;
    if (!readBrisaFile(path, contents)) return false;
    readAbbreviations(contents);
    return true;
}

// Each line is key=expansion, both sides trimmed; ";" starts a comment line.
void AbbreviationTable::readAbbreviations(std::string_view contents) {
    entries_.clear();
    text::forEachLine(contents, [this](std::string_view line) {
        line = text::trim(line);
        if (line.empty() || line.front() == ';') return true;
        if (entries_.size() >= kCapacity) return false;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            entries_.push_back({std::string(), std::string(line)});
        } else {
            entries_.push_back(
                {localeUpper(text::trim(line.substr(0, eq))), std::string(text::trim(line.substr(eq + 1)))});
        }
        return true;
    });
}

std::string_view AbbreviationTable::findAbbreviation(std::string_view word) const {
    const std::string key = localeUpper(word);
    for (const Abbreviation& a : entries_)
        if (a.key == key) return a.expansion;
    return {};
}

// ---------------------------------------------------------------------------------------------
// The rewrite

std::string normalizeText(std::string_view input, const AbbreviationTable& abbreviations) {
    std::string single;
    if (input.size() == 1) {
        single = symbolName(static_cast<unsigned char>(input[0]));
        input = single;
    }
    const std::string_view s = input;
    std::string out;
    out.reserve(s.size() * 2);
    size_t p = 0;
    size_t plainUntil = 0;
    while (p < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[p]);
        if (c == '-' && p > 0 && s[p - 1] == ' ' && p + 1 < s.size() && s[p + 1] == ' ') {
            out += ',';
            ++p;
        } else if (c == '-' && isDigitAt(s, p + 1)) {
            out += "menos ";
            ++p;
        } else if (text::isDigit(static_cast<char>(c))) {
            out += ' ';
            out += readNumberAt(s, p, plainUntil);
            out += ' ';
            while (p < s.size() && (s[p] == ',' || s[p] == '.') && isDigitAt(s, p + 1)) {
                out += s[p] == ',' ? "vírgula "_cp : "ponto ";
                ++p;
                out += readNumberAt(s, p, plainUntil);
                out += ' ';
            }
        } else if (isLetter(c)) {
            const std::string word = readWordAt(s, p, abbreviations);
            std::string_view expansion;
            if (p + 1 < s.size() && s[p] == '.' && s[p + 1] == ' ')
                expansion = abbreviations.findAbbreviation(word);
            // "nº" is an abbreviation too, though no period follows it.
            if (expansion.empty()) expansion = indicatorAbbreviation(s, p, word, abbreviations);
            if (!expansion.empty()) {
                out += expansion;
                ++p;
            } else {
                out += word;
            }
        } else if (s.substr(p).starts_with("...")) {
            out += "... ";
            p += 3;
        } else if (c == '.' && p + 1 < s.size() && s[p + 1] != ' ') {
            out += " ponto ";
            ++p;
        } else {
            if (isKeptPunctuation(c)) {
                out += static_cast<char>(c);
            } else if (c != '\t' && c != '\n' && c != '\r') {
                out += ' ';
                out += symbolName(c);
                out += ' ';
            }
            ++p;
        }
    }
    return out;
}

}  // namespace parlendo
