// SEJA: assignment, the value words and the function words.
#include <charconv>
#include <cstdint>
#include <optional>

#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "platform/clock.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

std::string twoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

bool startsWithWordAndBlank(std::string_view s, std::string_view upperWord) {
    return s.size() > upperWord.size() && s[upperWord.size()] == ' ' && text::startsWithUpper(s, upperWord);
}

// The value words recognised only as the whole remaining text.
std::optional<std::string> valueWord(Interpreter& in, std::string_view rest) {
    std::string w = text::upperCase(rest);
    if (w == "PARAMS") {
        std::string v = std::to_string(in.params.size());
        for (const std::string& p : in.params) {
            v += ' ';
            for (char c : p) {
                if (c == ' ')
                    v += "%20";
                else
                    v += c;
            }
        }
        return v;
    }
    if (w == "CRLF") return std::string("\r\n");
    if (w != "DATA" && w != "HORA" && w != "DIA" && w != "TEMPO") return std::nullopt;
    LocalTime t = in.services.clock.now();
    if (w == "DATA") {
        std::string year = std::to_string(t.year);
        if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
        return twoDigits(t.day) + "/" + twoDigits(t.month) + "/" + year;
    }
    if (w == "HORA") return twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
    if (w == "DIA") {
        static constexpr const char* kDays[] = {"Domingo", "Segunda", "Terca", "Quarta",
                                                "Quinta",  "Sexta",   "Sabado"};
        return std::string(kDays[((t.dayOfWeek % 7) + 7) % 7]);
    }
    // TEMPO counts days through the day of the week only, so it restarts every seven days.
    int days = ((t.dayOfWeek - in.startDay) % 7 + 7) % 7;
    int64_t now =
        (int64_t{t.hour} + 24 * days) * 360000 + t.minute * 6000 + t.second * 100 + t.millisecond / 10;
    return std::to_string(now - in.startHundredths);
}

std::string nthWord(int32_t n, std::string text) {
    for (int32_t i = 1; i < n && !text.empty(); ++i) {
        size_t blank = text.find(' ');
        if (blank == std::string::npos)
            text.clear();
        else
            text = std::string(text::trim(std::string_view(text).substr(blank + 1)));
    }
    size_t blank = text.find(' ');
    if (blank != std::string::npos) text.erase(blank);
    return text;
}

std::string chrOf(std::string_view t) {
    if (t.size() > 4 && t[3] == '#') {
        for (int i = 0; i < 3; ++i)
            if (t[i] != '0' && t[i] != '1') return "";
        t.remove_prefix(3);
    }
    if (t.empty() || t[0] != '#') return "";
    t.remove_prefix(1);
    if (!t.empty() && t[0] == '0') return "";
    std::optional<int32_t> code = toInteger(t);
    if (!code) return "";
    return std::string(1, static_cast<char>(((*code % 256) + 256) % 256));
}

// One function word and its arguments; nothing when its arguments are wrong.
std::optional<std::string> functionWord(Interpreter& in, int word, std::string_view args) {
    std::string a, b;
    if (!readValue(in, args, a)) return std::nullopt;
    bool two = word == 3 || word == 5;  // POS and PALAVRA
    if (two && !readValue(in, args, b)) return std::nullopt;
    if (!args.empty()) return std::nullopt;
    switch (word) {
        case 0:
            return std::to_string(a.size());
        case 1:
            return text::upperCase(a);
        case 2:
            return std::string(text::trim(a));
        case 3: {
            if (a.empty()) return std::string("0");
            size_t p = b.find(a);
            return std::to_string(p == std::string::npos ? 0 : p + 1);
        }
        case 4: {
            std::optional<int32_t> n = toInteger(a);
            if (!n) return std::nullopt;
            in.randomSeed = in.randomSeed * 134775813u + 1u;
            uint64_t r = (uint64_t{static_cast<uint32_t>(*n)} * in.randomSeed) >> 32;
            return std::to_string(r);
        }
        case 5: {
            std::optional<int32_t> n = toInteger(a);
            if (!n || *n < 1) return std::nullopt;
            return nthWord(*n, std::move(b));
        }
        case 6:
            return chrOf(a);
        case 7:
            return a.size() == 1 ? "#" + std::to_string(static_cast<unsigned char>(a[0])) : std::string();
    }
    return std::nullopt;
}

constexpr std::string_view kFunctionWords[] = {"TAMANHO", "MAIUSC",  "TRIM", "POS",
                                               "RAND",    "PALAVRA", "CHR",  "ASC"};

}  // namespace

bool cmdSeja(Interpreter& in, std::string_view args, int) {
    int slot;
    if (!readVariable(in, args, slot)) return in.fail(kNoVariable);
    if (!args.empty() && args[0] == '=') {
        args.remove_prefix(1);
        dropBlanks(args);
    }
    if (args.empty()) return in.fail("falta o valor");
    if (std::optional<std::string> v = valueWord(in, args)) return in.assign(slot, std::move(*v));
    for (int w = 0; w < 8; ++w) {
        if (startsWithWordAndBlank(args, kFunctionWords[w])) {
            std::optional<std::string> v = functionWord(in, w, args.substr(kFunctionWords[w].size() + 1));
            if (!v) return in.fail("argumentos inválidos de "_cp + std::string(kFunctionWords[w]));
            return in.assign(slot, std::move(*v));
        }
    }
    std::string v;
    if (!readValue(in, args, v)) return failNoValue(in, args);
    if (!in.assign(slot, std::move(v))) return false;
    return nothingMore(in, args);
}

}  // namespace parlendo
