// Turns a row of the console into braille code text: small letters as they are, capitals behind
// their sign, numbers behind the number sign with their digits as letters, ordinals and fractions
// with lowered digits, and multi-cell forms for symbols.
#include "console/braille_text.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

constexpr uint8_t kTimes = 0xD7;           // ×
constexpr uint8_t kSharpS = 0xDF;          // ß
constexpr uint8_t kAe = 0xE6;              // æ
constexpr uint8_t kFeminine = 0xAA;        // ª
constexpr uint8_t kMasculine = 0xBA;       // º
constexpr std::size_t kCloserReach = 999;  // how far an opening looks for its closer

uint8_t at(std::string_view s, std::size_t i) { return i < s.size() ? static_cast<uint8_t>(s[i]) : 0; }

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool isSmall(uint8_t c) { return (c >= 'a' && c <= 'z') || c >= 0xE0; }
bool isCapital(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF); }
// A capital that takes the capital sign: × is the multiplication sign and ß has a form of its
// own, though both stand among the capitals' bytes.
bool isSignedCapital(uint8_t c) { return isCapital(c) && c != kTimes && c != kSharpS; }
// æ is written as its two letters (below), so a run of small letters stops before it.
bool isPlainSmall(uint8_t c) { return isSmall(c) && c != kAe; }

char lowered(uint8_t capital) { return static_cast<char>(capital + 32); }

char digitLetter(uint8_t digit) { return "jabcdefghi"[digit - '0']; }
char digitLowered(uint8_t digit) { return "},;:/?!=\"*"[digit - '0']; }

// The form after a "`" (a mathematical sign), or nullptr when the character has none.
const char* signForm(uint8_t c) {
    switch (c) {
        case '"':
            return "üü"_cp;
        case '%':
            return "_}}";
        case '\'':
            return "ü"_cp;
        case '(':
            return "ê"_cp;
        case ')':
            return "ã"_cp;
        case '*':
        case 'X':
        case 'x':
            return "×"_cp;
        case '+':
            return "+";
        case '-':
            return "-";
        case '.':
            return ".";
        case '/':
        case ':':
            return "÷"_cp;
        case '=':
            return "=";
        case 'E':
        case 'e':
            return "€e"_cp;
        case 'O':
        case 'o':
            return "°"_cp;
        case '[':
            return "á"_cp;
        case ']':
            return "ú"_cp;
        case '^':
            return "å"_cp;
        case '_':
        case 0xF7:  // ÷
            return "~÷"_cp;
        case '{':
            return "~l";
        case '}':
            return "_,";
        default:
            return nullptr;
    }
}

// The form of a symbol standing alone, or nullptr when it is written as itself. The
// parentheses and brackets are handled by the caller, which also keeps the flag.
const char* symbolForm(uint8_t c) {
    switch (c) {
        case '%':
            return "_}";
        case '/':
            return "\\,";
        case '\\':
            return "~.";
        case 0x80:  // €
            return "€e"_cp;
        case 0x85:  // …
            return "...";
        case 0x89:  // ‰
            return "_}}";
        case 0x91:  // ‘
        case 0x92:  // ’
            return "$\"";
        case 0x95:  // •
            return "õo"_cp;
        case 0x96:  // –
        case 0x97:  // —
        case 0xAD:  // soft hyphen
            return "--";
        case 0x9C:  // œ
            return "oe";
        case 0xA7:  // §
            return "ss";
        case 0xAB:  // «
        case 0xBB:  // »
            return "\\\"";
        case 0xB2:  // ²
            return "å#b"_cp;
        case 0xB3:  // ³
            return "å#c"_cp;
        case 0xB9:  // ¹
            return "å#a"_cp;
        case 0xBC:  // ¼
            return "#,d";
        case 0xBD:  // ½
            return "#,b";
        case 0xBE:  // ¾
            return "#:d";
        case kSharpS:
            return "¬b"_cp;
        case kAe:
            return "ae";
        default:
            return nullptr;
    }
}

class Walk {
public:
    Walk(std::string_view text, bool& parenthesisOpen, std::vector<size_t>* sourceOf)
        : s_(text), open_(parenthesisOpen), sourceOf_(sourceOf) {}

    std::string run() {
        while (i_ < s_.size()) {
            from_ = i_;
            step();
        }
        return std::move(out_);
    }

private:
    // Writes cells that stand for the character at from_.
    void put(char c) {
        out_.push_back(c);
        if (sourceOf_) sourceOf_->push_back(from_);
    }
    void put(std::string_view cells) {
        for (char c : cells) put(c);
    }
    // Writes the cell of the character at i_ and moves past it.
    void copyAt() {
        from_ = i_;
        put(s_[i_++]);
    }

    void step() {
        uint8_t c = at(s_, i_);
        if (isPlainSmall(c)) {
            while (isPlainSmall(at(s_, i_))) copyAt();
        } else if (isSignedCapital(c)) {
            capitals();
        } else if (isDigit(c)) {
            put('#');
            number();
        } else if ((c == '(' || c == '[') && isDigit(at(s_, i_ + 1))) {
            opening(c);
        } else if ((c == ')' || c == ']') && i_ > 0 && isDigit(at(s_, i_ - 1)) && !open_) {
            put(c == ')' ? "ã"_cp : "ú"_cp);
            open_ = false;
            ++i_;
        } else if (c == '`' && isDigit(at(s_, i_ + 1))) {
            ++i_;
            handFraction();
        } else if (c == '`' && at(s_, i_ + 1) == '`') {
            i_ += 2;
        } else if (c == '`' && i_ + 1 < s_.size() && signForm(at(s_, i_ + 1)) != nullptr) {
            put(signForm(at(s_, i_ + 1)));
            i_ += 2;
        } else if (c == '.') {
            put('.');
            ++i_;
        } else if (c == '"' || c == 0x93 || c == 0x94) {  // " “ ”
            put('"');
            ++i_;
        } else {
            symbol(c);
            ++i_;
        }
    }

    // A capital: its sign and the letter, or two signs and the whole run of capitals.
    void capitals() {
        if (!isSignedCapital(at(s_, i_ + 1))) {
            put('{');
            put(lowered(at(s_, i_++)));
            return;
        }
        put("{{");
        while (isSignedCapital(at(s_, i_))) {
            from_ = i_;
            put(lowered(at(s_, i_++)));
        }
        if (isSmall(at(s_, i_))) put('~');
    }

    // A "(" or "[" before a digit: the mathematical form when a digit stands before its closer,
    // the text form otherwise.
    void opening(uint8_t c) {
        open_ = false;
        char closer = c == '(' ? ')' : ']';
        std::string_view rest = s_.substr(i_ + 1, kCloserReach);
        std::size_t k = rest.find(closer);
        if (k != std::string_view::npos && k > 0 && isDigit(static_cast<uint8_t>(rest[k - 1]))) {
            put(c == '(' ? "ê"_cp : "á"_cp);
            ++i_;
        } else {
            symbol(c);
            ++i_;
        }
    }

    void symbol(uint8_t c) {
        switch (c) {
            case '(':
                put("(.");
                open_ = true;
                return;
            case '[':
                put("[.");
                open_ = true;
                return;
            case ')':
                put("\\)");
                open_ = false;
                return;
            case ']':
                put("\\]");
                open_ = false;
                return;
            default:
                break;
        }
        if (const char* form = symbolForm(c))
            put(form);
        else
            put(static_cast<char>(c));
    }

    // After "`" and before its first digit: "#", the digits lowered, and after a "/" the
    // digits below the line as they are.
    void handFraction() {
        put('#');
        while (isDigit(at(s_, i_))) put(digitLowered(at(s_, i_++)));
        if (at(s_, i_) != '/') return;
        ++i_;
        while (isDigit(at(s_, i_))) copyAt();
    }

    // After the number sign, at the first digit.
    void number() {
        if (ordinal()) return;
        while (i_ < s_.size()) {
            uint8_t c = at(s_, i_);
            from_ = i_;
            if (isDigit(c)) {
                put(digitLetter(c));
            } else if (c == '$' || c == ',') {
                put(static_cast<char>(c));
            } else if (c == '.') {
                bool decimal = isDigit(at(s_, i_ + 1)) && digitsBefore(i_) < 3 && digitsAfter(i_) < 3;
                put(decimal ? ".#" : ".");
            } else if (c >= 'a' && c <= 'j') {
                put('~');
                return;
            } else {
                return;
            }
            ++i_;
        }
    }

    // The digits at the position followed by ª, º, "a.", "o.", "as." or "os.".
    bool ordinal() {
        std::size_t end = i_;
        while (isDigit(at(s_, end))) ++end;
        uint8_t next = at(s_, end);
        std::string_view letters;
        std::size_t past = 0;
        if (next == kFeminine || next == kMasculine) {
            letters = next == kFeminine ? "a" : "o";
            past = end + 1;
        } else if ((next == 'a' || next == 'o') && at(s_, end + 1) == '.') {
            letters = s_.substr(end, 1);
            past = end + 2;
        } else if ((next == 'a' || next == 'o') && at(s_, end + 1) == 's' && at(s_, end + 2) == '.') {
            letters = s_.substr(end, 2);
            past = end + 3;
        } else {
            return false;
        }
        for (std::size_t k = i_; k < end; ++k) put(digitLowered(at(s_, k)));
        put(letters);
        i_ = past;
        return true;
    }

    std::size_t digitsBefore(std::size_t pos) const {
        std::size_t n = 0;
        while (n < pos && isDigit(at(s_, pos - 1 - n))) ++n;
        return n;
    }
    std::size_t digitsAfter(std::size_t pos) const {
        std::size_t n = 0;
        while (isDigit(at(s_, pos + 1 + n))) ++n;
        return n;
    }

    std::string_view s_;
    bool& open_;
    std::vector<size_t>* sourceOf_;
    std::size_t i_ = 0;
    std::size_t from_ = 0;
    std::string out_;
};

}  // namespace

std::string BrailleTransliterator::toBrailleText(std::string_view text, std::vector<size_t>* sourceOf) {
    if (sourceOf) sourceOf->clear();
    return Walk(text, parenthesisOpen_, sourceOf).run();
}

}  // namespace parlendo
