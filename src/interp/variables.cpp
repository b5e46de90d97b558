// The variable table.
#include "interp/variables.h"

#include <charconv>

#include "interp/argument_reader.h"

namespace parlendo {

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

void VariableTable::materialise(int slot) const {
    char digits[12];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, numbers_[slot]);
    values_[slot].assign(digits, end);
    stale_[slot] = false;
}

void VariableTable::classify(int slot) {
    const std::string& t = values_[slot];
    std::optional<int32_t> n = toInteger(t);
    if (!n) {
        form_[slot] = Form::NotNumber;
        return;
    }
    numbers_[slot] = *n;
    char digits[12];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, *n);
    form_[slot] =
        std::string_view(digits, static_cast<size_t>(end - digits)) == t ? Form::Decimal : Form::Number;
}

void VariableTable::clear() {
    for (auto& v : values_) v.clear();
    stale_.fill(false);
    form_.fill(Form::Unknown);
    names_.clear();
    index_.clear();
}

}  // namespace parlendo
