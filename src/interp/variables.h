// The variable table: 26 one-letter variables and up to 101 named "$" variables, all texts.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace parlendo {

class VariableTable {
public:
    static constexpr int kLetters = 26;
    static constexpr int kNamed = 101;
    static constexpr int kSlots = kLetters + kNamed;

    // Slot of a one-letter variable (either case).
    static int letterSlot(char letter);
    // Slot of a named variable; the name is upper-cased (a-z only) and registered when new.
    // Nothing when the name is new and all 101 named slots are taken.
    std::optional<int> namedSlot(std::string_view name);

    std::string& at(int slot) { return values_[slot]; }
    const std::string& at(int slot) const { return values_[slot]; }

    // Forgets every name and empties every slot.
    void clear();
    const std::vector<std::string>& names() const { return names_; }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::array<std::string, kSlots> values_;
    std::vector<std::string> names_;
    std::unordered_map<std::string, int, Hash, std::equal_to<>> index_;
    std::string scratch_;
};

}  // namespace parlendo
