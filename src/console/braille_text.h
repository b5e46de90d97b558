// The braille code text of a console row: one character per braille cell, with the capital and
// number signs, digits written as letters, ordinals, fractions and the forms of the symbols.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class BrailleTransliterator {
public:
    // The braille code text of a Windows-1252 text. A parenthesis or bracket left open by one
    // row stays open for the next: the closing one then takes its text form.
    // With `sourceOf`, it receives for each character written the 0-based position of the
    // text's character it stands for.
    std::string toBrailleText(std::string_view text, std::vector<size_t>* sourceOf = nullptr);

    // Set while a text parenthesis or bracket is open.
    bool parenthesisOpen() const { return parenthesisOpen_; }
    void setParenthesisOpen(bool open) { parenthesisOpen_ = open; }

private:
    bool parenthesisOpen_ = false;
};

}  // namespace parlendo
