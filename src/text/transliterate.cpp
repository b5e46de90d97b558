// UTF-8 text from outside made into plain Windows-1252: marks Windows-1252 lacks removed,
// typographic punctuation simplified, everything unspeakable dropped.
#include "text/transliterate.h"

#include <array>

#include "text/cp1252.h"

namespace parlendo::text {

namespace {

// The base letter of each character of Latin Extended-A and -B (U+0100-U+024F) and of Latin
// Extended Additional (U+1E00-U+1EFF); "." where there is none. Letters that Windows-1252 has
// (Œ, Š, Ž, Ÿ, ƒ) never reach these tables.
constexpr std::string_view kLatinExtended =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi..JjKkkLlLlLlL"
    "lLlNnNnNn...OoOoOo..RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs"
    "bBBb...CcDDDd....F.G...IKkl..NnOOo..Pp.....tTtTUu.VYyZz........."
    ".............AaIiOoUuUuUuUuUu.AaAa..GgGgKkOoOo..j...Gg..NnAa...."
    "AaAaEeEeIiIiOoOoRrRrUuUuSsTt..Hh.d....AaEeOoOoOoOoYylntj..ACcLTs"
    "z..BU.EeJjQqRrYy";
constexpr std::string_view kLatinAdditional =
    "AaBbBbBbCcDdDdDdDdDdEeEeEeEeEeFfGgHhHhHhHhHhIiIiKkKkKkLlLlLlLlMm"
    "MmMmNnNnNnNnOoOoOoOoPpPpRrRrRrRrSsSsSsSsSsTtTtTtTtUuUuUuUuUuVvVv"
    "WwWwWwWwWwXxXxYyZzZzZzhtwy..ssS.AaAaAaAaAaAaAaAaAaAaAaAaEeEeEeEe"
    "EeEeEeEeIiIiOoOoOoOoOoOoOoOoOoOoOoOoUuUuUuUuUuUuUuYyYyYyYy......";

// Letters written as two: the Dutch IJ and the Serbo-Croatian digraphs.
std::string_view ligature(char32_t cp) {
    switch (cp) {
        case 0x0132:
            return "IJ";
        case 0x0133:
            return "ij";
        case 0x01C4:
        case 0x01F1:
            return "DZ";
        case 0x01C5:
        case 0x01F2:
            return "Dz";
        case 0x01C6:
        case 0x01F3:
            return "dz";
        case 0x01C7:
            return "LJ";
        case 0x01C8:
            return "Lj";
        case 0x01C9:
            return "lj";
        case 0x01CA:
            return "NJ";
        case 0x01CB:
            return "Nj";
        case 0x01CC:
            return "nj";
        default:
            return {};
    }
}

bool isUnicodeBlank(char32_t cp) {
    return cp <= 0x20 || (cp >= 0x7F && cp <= 0xA0) || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) ||
           cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

bool isCombiningMark(char32_t cp) {
    return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) ||
           (cp >= 0x1DC0 && cp <= 0x1DFF) || (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE20 && cp <= 0xFE2F);
}

// Every byte, so that one can be handed out as a view.
constexpr std::array<char, 256> kBytes = [] {
    std::array<char, 256> bytes{};
    for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
    return bytes;
}();

std::string_view byteText(unsigned char b) { return std::string_view(&kBytes[b], 1); }

// The plain text of one character that is not a blank: empty when it is dropped.
std::string_view plainText(char32_t cp) {
    if (cp < 0x80) return byteText(static_cast<unsigned char>(cp));
    switch (cp) {
        case 0x2018:
        case 0x2019:
        case 0x201A:
        case 0x201B:
        case 0x2032:
            return "'";
        case 0x201C:
        case 0x201D:
        case 0x201E:
        case 0x201F:
        case 0x2033:
            return "\"";
        case 0x2010:
        case 0x2011:
        case 0x2012:
        case 0x2013:
        case 0x2014:
        case 0x2015:
        case 0x2212:
            return "-";
        case 0x2026:
            return "...";
        case 0x00AD:
            return {};  // a soft hyphen is not spoken nor shown
        default:
            break;
    }
    if (isCombiningMark(cp)) return {};
    if (int byte = cp1252Byte(cp); byte >= 0) return byteText(static_cast<unsigned char>(byte));
    if (std::string_view two = ligature(cp); !two.empty()) return two;
    char base = '.';
    if (cp >= 0x0100 && cp < 0x0100 + kLatinExtended.size()) base = kLatinExtended[cp - 0x0100];
    if (cp >= 0x1E00 && cp < 0x1E00 + kLatinAdditional.size()) base = kLatinAdditional[cp - 0x1E00];
    return base == '.' ? std::string_view() : byteText(static_cast<unsigned char>(base));
}

// Cuts a plain text longer than maxBytes, at a blank in the last fifth when there is one, and
// marks the cut with "...", so that a listener knows the name goes on.
void cutText(std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return;
    if (maxBytes <= 3) {
        text.resize(maxBytes);
    } else {
        size_t keep = maxBytes - 3;
        size_t cut = keep;
        for (size_t p = keep; p > 0 && p >= keep - keep / 5; --p) {
            if (text[p] == ' ') {
                cut = p;
                break;
            }
        }
        text.resize(cut);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (maxBytes > 3) text += "...";
}

}  // namespace

std::string utf8ToCp1252Plain(std::string_view utf8, size_t maxBytes) {
    std::string out;
    out.reserve(utf8.size());
    bool blankPending = false;
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        size_t len = decodeUtf8(utf8, i, cp);
        if (len == 0) {
            ++i;  // an invalid byte is dropped
            continue;
        }
        i += len;
        if (isUnicodeBlank(cp)) {
            blankPending = true;
            continue;
        }
        std::string_view plain = plainText(cp);
        if (plain.empty()) continue;
        if (blankPending && !out.empty()) out += ' ';
        blankPending = false;
        out += plain;
    }
    if (maxBytes > 0) cutText(out, maxBytes);
    return out;
}

}  // namespace parlendo::text
