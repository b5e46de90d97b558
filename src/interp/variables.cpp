// The variable table.
#include "interp/variables.h"

namespace parlendo {

int VariableTable::letterSlot(char letter) {
    char up = (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 32) : letter;
    return up - 'A';
}

std::optional<int> VariableTable::namedSlot(std::string_view name) {
    scratch_.assign(name);
    for (char& c : scratch_)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (auto it = index_.find(std::string_view(scratch_)); it != index_.end()) return it->second;
    if (names_.size() >= static_cast<size_t>(kNamed)) return std::nullopt;
    int slot = kLetters + static_cast<int>(names_.size());
    names_.push_back(scratch_);
    index_.emplace(scratch_, slot);
    return slot;
}

void VariableTable::clear() {
    for (auto& v : values_) v.clear();
    names_.clear();
    index_.clear();
}

}  // namespace parlendo
