// The variable table: 26 one-letter variables and up to 101 named "$" variables, all texts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace parlendo {

// Every variable holds a text. Counting commands (SOMA, the counted loop, the arithmetic family)
// read a variable as a number and write a number back many times over; the table keeps what the
// number reading of each text gave, and a number written is turned into its decimal text only
// when somebody reads the text. What a script sees is always exactly the text.
class VariableTable {
public:
    static constexpr int kLetters = 26;
    static constexpr int kNamed = 101;
    static constexpr int kSlots = kLetters + kNamed;

    // Slot of a one-letter variable (either case).
    static int letterSlot(char letter) {
        char up = (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 32) : letter;
        return up - 'A';
    }
    // The rule for a name, which every reader of "$NAME" follows (the argument reader and the
    // expression reader alike): after the "$", ASCII letters, digits and underscores; any other
    // byte, an accented letter too, ends the name.
    static bool isNameByte(char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    }
    // The length of the name at the front of `afterDollar`; 0 when there is none.
    static size_t nameLength(std::string_view afterDollar) {
        size_t n = 0;
        while (n < afterDollar.size() && isNameByte(afterDollar[n])) ++n;
        return n;
    }
    // Slot of a named variable; the name is upper-cased (a-z only) and registered when new.
    // Nothing when the name is new and all 101 named slots are taken.
    std::optional<int> namedSlot(std::string_view name);

    // The variable's text.
    const std::string& text(int slot) const {
        if (stale_[slot]) materialise(slot);
        return values_[slot];
    }
    // The text for changing in place; what was known of its number is forgotten.
    std::string& edit(int slot) {
        if (stale_[slot]) materialise(slot);
        form_[slot] = Form::Unknown;
        return values_[slot];
    }
    void set(int slot, std::string value) {
        values_[slot] = std::move(value);
        stale_[slot] = false;
        form_[slot] = Form::Unknown;
    }
    void set(int slot, std::string_view value) {
        values_[slot].assign(value);
        stale_[slot] = false;
        form_[slot] = Form::Unknown;
    }
    void set(int slot, const char* value) { set(slot, std::string_view(value)); }
    // Sets the decimal text of a number.
    void setNumber(int slot, int32_t value) {
        numbers_[slot] = value;
        form_[slot] = Form::Decimal;
        stale_[slot] = true;
    }
    // The text read as a number (toInteger): nothing when it is not one.
    std::optional<int32_t> number(int slot) {
        if (form_[slot] == Form::Unknown) classify(slot);
        return knownNumber(slot);
    }
    // The number when the text is exactly its plain decimal form (no blank, no plus sign, no
    // leading zero, no hexadecimal prefix).
    std::optional<int32_t> decimalNumber(int slot) {
        if (form_[slot] == Form::Unknown) classify(slot);
        return knownDecimalNumber(slot);
    }
    // The same two without reading the text: nothing also when the text has not been read as a
    // number since it last changed. For the fast paths of the counting commands, which leave
    // every other case to the readings above.
    std::optional<int32_t> knownNumber(int slot) const {
        if (form_[slot] != Form::Decimal && form_[slot] != Form::Number) return std::nullopt;
        return numbers_[slot];
    }
    std::optional<int32_t> knownDecimalNumber(int slot) const {
        if (form_[slot] != Form::Decimal) return std::nullopt;
        return numbers_[slot];
    }

    // Forgets every name and empties every slot.
    void clear();
    const std::vector<std::string>& names() const { return names_; }

private:
    enum class Form : uint8_t {
        Unknown,    // the text has not been read as a number since it last changed
        Decimal,    // the text is the plain decimal form of numbers_
        Number,     // the text reads as numbers_ but is written some other way
        NotNumber,  // the text does not read as a number
    };
    void materialise(int slot) const;
    void classify(int slot);

    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // A slot whose text is stale holds the number only; its text is written on first reading.
    mutable std::array<std::string, kSlots> values_;
    mutable std::array<bool, kSlots> stale_{};
    std::array<int32_t, kSlots> numbers_{};
    std::array<Form, kSlots> form_{};
    std::vector<std::string> names_;
    std::unordered_map<std::string, int, Hash, std::equal_to<>> index_;
    std::string scratch_;
};

}  // namespace parlendo
