// The Brisa voice's prosody: the prosody and diphone files, tokens, intonation codes, and the
// durations and pitch points of the phoneme lines.
#include "tts/brisa_prosody.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/brisa_data_file.h"

namespace parlendo {

namespace {

// A whole trimmed text as a 32-bit integer (an optional sign, then digits).
std::optional<int32_t> integerOf(std::string_view s) {
    s = text::trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

// Calls take(line) for each line of the section whose header is `header`, skipping empty lines
// and comments (lines that begin with "*" or ";"); false when there is no such section or take
// returned false.
template <typename Take>
bool forEachSectionLine(std::string_view contents, std::string_view header, Take take) {
    bool inside = false, found = false, ok = true;
    text::forEachLine(contents, [&](std::string_view line) {
        if (!inside) {
            if (text::trim(line) == header) inside = found = true;
            return true;
        }
        if (!line.empty() && line.front() == '[') return false;
        const std::string_view t = text::trim(line);
        if (t.empty() || t.front() == '*' || t.front() == ';') return true;
        ok = take(line);
        return ok;
    });
    return found && ok;
}

bool isLetter(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c >= 224 ? c - 32 : c) {
        case 192:
        case 193:
        case 194:
        case 195:
        case 199:
        case 201:
        case 202:
        case 204:
        case 205:
        case 209:
        case 211:
        case 212:
        case 213:
        case 217:
        case 218:
        case 220:
            return true;
        default:
            return false;
    }
}

// The characters of a phoneme name in portug.dfn. Besides letters, "_", "@" and "2" (r2, s2), the
// voice database's names hold the tilde of the nasal vowels and glides (a~, w~) and the digit of
// the reduced a (6): without them "a~ t" would be read as the diphone "a-t", and "6" not at all.
bool isNameChar(char c) {
    return c == '@' || c == '_' || c == '~' || text::isDigit(c) || text::isAsciiLetter(c);
}

std::string foldedDiphone(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

// Two characters of a token line after its "[" (empty for an empty line).
std::string_view classOfLine(std::string_view line) {
    return line.size() >= 3 ? line.substr(1, 2) : line.substr(0, 0);
}

// The integer part of a product of the file's values and the voice's factors, held to a range
// that every later step can use.
long clampedInteger(double v) {
    constexpr double kLimit = 1e12;
    if (!(v > -kLimit)) return v != v ? 0 : static_cast<long>(-kLimit);
    return static_cast<long>(std::min(v, kLimit));
}

bool partMatches(std::string_view part, std::string_view klass) { return part.empty() || part == klass; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// portug.pro

bool ProsodyConfig::loadProsody(const std::string& path, const BrisaMessageSink& messages) {
    durations_.clear();
    keywords_.clear();
    patterns_.clear();
    hertz_ = kDefaultHertz;
    tabHertz_.fill(0);
    std::string contents;
    if (!readBrisaFile(path, contents)) {
        if (messages) messages("Configuração da prosódia não foi achada"_cp);
        return false;
    }
    return readProsody(contents, messages);
}

bool ProsodyConfig::readProsody(std::string_view contents, const BrisaMessageSink& messages) {
    durations_.clear();
    keywords_.clear();
    patterns_.clear();
    hertz_ = kDefaultHertz;
    tabHertz_.fill(0);
    return readDurations(contents, messages) && readKeywords(contents, messages) &&
           readPatterns(contents, messages);
}

bool ProsodyConfig::readDurations(std::string_view contents, const BrisaMessageSink& messages) {
    bool present = false;
    const bool ok = forEachSectionLine(contents, "[DURAÇÃO]"_cp, [&](std::string_view line) {
        present = true;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            if (messages) messages("Configuração da prosódia: fonema errado: "_cp + std::string(line));
            return false;
        }
        PhonemeDuration d;
        d.name = std::string(text::trim(line.substr(0, eq)).substr(0, 2));
        if (const auto ms = integerOf(line.substr(eq + 1))) {
            d.ms = *ms;
        } else if (messages) {
            messages("Configuração da prosódia: fonema errado: "_cp + std::string(line));
        }
        if (durations_.size() < kMaxDurations) durations_.push_back(std::move(d));
        return true;
    });
    if (!ok && !present && messages) messages("Duração dos difones errada ou ausente"_cp);
    return ok;
}

bool ProsodyConfig::readKeywords(std::string_view contents, const BrisaMessageSink& messages) {
    bool present = false;
    const bool ok = forEachSectionLine(contents, "[CHAVES]", [&](std::string_view line) {
        present = true;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            if (messages) messages("Configuração da prosódia: chave errada: "_cp + std::string(line));
            return false;
        }
        if (keywords_.size() < kMaxKeywords)
            keywords_.push_back({text::upperCase(text::trim(line.substr(0, eq))),
                                 text::upperCase(text::trim(line.substr(eq + 1)).substr(0, 2))});
        return true;
    });
    std::stable_sort(keywords_.begin(), keywords_.end(),
                     [](const TChave& a, const TChave& b) { return a.word < b.word; });
    if (!ok && !present && messages) messages("Prosódia: palavras chaves ausentes"_cp);
    return ok;
}

bool ProsodyConfig::readPatterns(std::string_view contents, const BrisaMessageSink& messages) {
    bool present = false;
    const bool ok = forEachSectionLine(contents, "[PROSÓDIA]"_cp, [&](std::string_view raw) {
        present = true;
        const std::string line = text::upperCase(raw);
        const std::string_view l = line;
        if (l.starts_with("HERTZ=")) {
            const auto hz = integerOf(l.substr(6));
            if (!hz) {
                if (messages) messages("Configuração da prosódia: valor inteiro errado: "_cp + line);
                return false;
            }
            hertz_ = *hz;
            return true;
        }
        if (l.starts_with("TABHERTZ=")) {
            std::string_view rest = l.substr(9);
            std::array<int32_t, 10> values{};
            for (size_t n = 0; n < values.size(); ++n) {
                const size_t comma = rest.find(',');
                const auto v = integerOf(rest.substr(0, comma));
                if (!v) {
                    if (messages) messages("Configuração da prosódia: valor inteiro errado: "_cp + line);
                    return false;
                }
                values[n] = *v;
                rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
                // A tenth value may be followed by more, which are not read.
                if (comma == std::string_view::npos && n + 1 < values.size()) {
                    if (messages) messages("Configuração da prosódia: valor inteiro errado: "_cp + line);
                    return false;
                }
            }
            tabHertz_ = values;
            return true;
        }
        const size_t eq = l.find('=');
        if (eq == std::string_view::npos) {
            if (messages) messages("Configuração da prosódia: chave errada: "_cp + line);
            return false;
        }
        TProsodia p;
        p.code = std::string(text::trim(l.substr(eq + 1)));
        std::string_view classes = text::trim(l.substr(0, eq));
        std::string* parts[3] = {&p.previous, &p.current, &p.next};
        for (int k = 0; k < 3 && !classes.empty(); ++k) {
            const size_t bar = k < 2 ? classes.find('|') : std::string_view::npos;
            *parts[k] = std::string(classes.substr(0, std::min<size_t>(bar, 3)).substr(0, 3));
            classes = bar == std::string_view::npos ? std::string_view() : classes.substr(bar + 1);
        }
        if (patterns_.size() < kMaxPatterns) patterns_.push_back(std::move(p));
        return true;
    });
    if (!ok && !present && messages) messages("Prosódia: especificações ausentes"_cp);
    return ok;
}

int32_t ProsodyConfig::durationOf(std::string_view phoneme) const {
    for (const PhonemeDuration& d : durations_)
        if (d.name == phoneme) return d.ms;
    return 100;
}

std::string_view ProsodyConfig::classOf(std::string_view upperWord) const {
    auto at = std::lower_bound(keywords_.begin(), keywords_.end(), upperWord,
                               [](const TChave& k, std::string_view w) { return k.word < w; });
    return at != keywords_.end() && at->word == upperWord ? std::string_view(at->klass) : "XX";
}

// ---------------------------------------------------------------------------------------------
// portug.dfn

bool DiphoneList::loadDiphones(const std::string& path) {
    freeDiphones();
    std::string contents;
    if (!readBrisaFile(path, contents)) return false;
    readDiphones(contents);
    return true;
}

// Each line names two phonemes, separated by any characters that are not name characters; "!",
// "*" and ";" begin comment lines.
void DiphoneList::readDiphones(std::string_view contents) {
    freeDiphones();
    text::forEachLine(contents, [this](std::string_view line) {
        line = text::trim(line);
        if (line.empty() || line.front() == '!' || line.front() == '*' || line.front() == ';') return true;
        size_t i = 0;
        while (i < line.size() && isNameChar(line[i])) ++i;
        const std::string_view first = line.substr(0, i);
        if (i < line.size()) ++i;
        while (i < line.size() && !isNameChar(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && isNameChar(line[i])) ++i;
        diphones_.push_back(std::string(first) + "-" + std::string(line.substr(start, i - start)));
        return true;
    });
    std::sort(diphones_.begin(), diphones_.end());
    folded_.reserve(diphones_.size());
    for (const std::string& d : diphones_) folded_.push_back(foldedDiphone(d));
    std::sort(folded_.begin(), folded_.end());
}

bool DiphoneList::contains(std::string_view diphone) const {
    return std::binary_search(folded_.begin(), folded_.end(), foldedDiphone(diphone));
}

// ---------------------------------------------------------------------------------------------
// Tokens and intonation

std::vector<std::string> tokenize(std::string_view s, const ProsodyConfig& config) {
    std::vector<std::string> tokens{"[--]"};
    size_t p = 0;
    while (true) {
        while (p < s.size() && s[p] == ' ') ++p;
        if (p >= s.size()) break;
        std::string token;
        std::string klass;
        if (s.substr(p).starts_with("..")) {
            token = ".";
            klass = ".-";
            while (p < s.size() && s[p] == '.') ++p;
        } else if (!isLetter(static_cast<unsigned char>(s[p]))) {
            token = std::string(1, s[p]);
            klass = std::string(2, s[p]);
            ++p;
        } else {
            const size_t start = p;
            while (p < s.size() && isLetter(static_cast<unsigned char>(s[p]))) ++p;
            token = std::string(s.substr(start, p - start));
            klass = std::string(config.classOf(text::upperCase(token)));
        }
        std::string line = "[";
        line += klass;
        line += ']';
        line += token;
        tokens.push_back(std::move(line));
        if (token.front() == '!' || token.front() == '.' || token.front() == '?') tokens.emplace_back("[--]");
    }
    return tokens;
}

std::vector<std::string> assignIntonation(const std::vector<std::string>& tokenLines,
                                          const ProsodyConfig& config) {
    std::vector<std::string_view> lines;
    for (const std::string& l : tokenLines)
        if (!l.empty()) lines.push_back(l);
    std::vector<std::string> out;
    out.reserve(lines.size());
    std::string previousCode = "555";
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view prev = i > 0 ? classOfLine(lines[i - 1]) : std::string_view();
        const std::string_view cur = classOfLine(lines[i]);
        const std::string_view next = i + 1 < lines.size() ? classOfLine(lines[i + 1]) : std::string_view();
        std::string code = "555";
        for (const TProsodia& p : config.patterns())
            if (partMatches(p.previous, prev) && partMatches(p.current, cur) && partMatches(p.next, next)) {
                code = p.code;
                break;
            }
        // Three characters always, so that the token starts at the fifth character of the line.
        code.resize(3, '5');
        if (code[0] == '?') code[0] = previousCode[2];
        previousCode = code;
        out.push_back(code + "|" +
                      std::string(lines[i].size() > 4 ? lines[i].substr(4) : std::string_view()));
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Durations and pitch

PhonemeString PhonemeTimer::timePhonemes(const PhonemeList& lines, const ProsodyConfig& config,
                                         const DiphoneList& diphones, double pitchFactor,
                                         double durationFactor) {
    PhonemeString out;
    out.reserve(lines.size() + lines.size() / 8);
    int f = 100;
    std::string code = "555";
    int pitchState = 0;
    size_t wordLength = 0;
    std::string previous = "_";
    const auto hertzOf = [&](char digit) -> long {
        if (digit < '0' || digit > '9') return 0;
        const double value = static_cast<double>(config.tabHertz()[static_cast<size_t>(digit - '0')]);
        if (value == 0) return 0;
        return clampedInteger(value * pitchFactor * config.hertz()) / 100;
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool lastOfWord = i + 1 == lines.size() || lines[i + 1].empty();
        std::string line = lines[i];
        if (line.empty()) {
            f = 100;
            current_.clear();
            out.emplace_back();
            continue;
        }
        if (line.front() == ';' && line.size() >= 5 && line[4] == '|') {
            code = line.substr(1, 3);
            line = ";" + line.substr(5);
            wordLength = line.size();
            pitchState = 0;
        } else {
            if (line.front() == '>') {
                f = 145;
                line.erase(0, 1);
                if (!line.empty() && line.front() == '\xA8') line.erase(0, 1);  // ¨
                pitchState = 2;
            } else if (line.front() == '\xA8') {
                line.erase(0, 1);
                f = 100;
            }
            long d;
            std::string phoneme;
            if (!line.empty() && line.front() == '_') {
                if (line == "_")
                    d = 100;
                else if (line[1] == ' ')
                    d = integerOf(std::string_view(line).substr(2)).value_or(100);
                else
                    d = config.durationOf(line);
                phoneme = "_";
            } else {
                d = config.durationOf(line);
                if (pitchState < 2) {
                    if (wordLength > 13)
                        d = d * 80 / 100;
                    else if (wordLength > 9)
                        d = d * 90 / 100;
                }
                phoneme = line;
            }
            // A phoneme is one word: a damaged rule whose output holds blanks gives its first word
            // only, so that every line written starts with a phoneme and has its duration.
            phoneme.erase(0, phoneme.find_first_not_of(' '));
            if (const size_t blank = phoneme.find(' '); blank != std::string::npos) phoneme.resize(blank);
            // A stress mark or stretch mark with no phoneme behind it writes nothing.
            if (phoneme.empty()) continue;
            current_ = phoneme;
            const long ms = std::max(0L, clampedInteger(static_cast<double>(d) * f * durationFactor) / 100);
            line = phoneme + " " + std::to_string(ms);
            long hz = 0;
            int position = 50;
            if (pitchState == 0) {
                hz = hertzOf(code[0]);
                pitchState = 1;
            } else if (pitchState == 2) {
                hz = hertzOf(code[1]);
                position = 80;
                pitchState = 3;
            } else if (pitchState == 3 && lastOfWord) {
                hz = hertzOf(code[2]);
            }
            if (hz > 0) line += " " + std::to_string(position) + " " + std::to_string(hz);
        }
        // Where the database has no diphone between the two phonemes, a short glide or pause
        // joins them.
        if (!current_.empty() && !diphones.contains(previous + "-" + current_)) {
            if (previous == "r2" && diphones.contains("r2-_"))
                out.emplace_back("_ 50");
            else
                out.emplace_back(diphones.contains(previous + "-y") ? "y 50" : "_ 50");
        }
        // After the empty line that ends a word the previous phoneme stays that word's last, so
        // that the join between two words is checked too.
        if (!current_.empty()) previous = current_;
        out.push_back(std::move(line));
    }
    return out;
}

}  // namespace parlendo
