// Fuzz target for the braille code text of a console row: any row, from either state of the
// parenthesis flag, gives a bounded text without capital letters or line breaks, the same each
// time from the same state, each cell standing for a character of the row in order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "console/braille_text.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_braille_text: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    bool open = (data[0] & 1) != 0;
    std::string_view row(reinterpret_cast<const char*>(data) + 1, size - 1);

    parlendo::BrailleTransliterator first;
    first.setParenthesisOpen(open);
    std::string braille = first.toBrailleText(row);
    parlendo::BrailleTransliterator second;
    second.setParenthesisOpen(open);
    std::vector<size_t> sourceOf;
    if (second.toBrailleText(row, &sourceOf) != braille) fail("the same row gave two texts");
    // Each cell stands for a character of the row, in the row's order.
    if (sourceOf.size() != braille.size()) fail("cells without their character");
    for (size_t i = 0; i < sourceOf.size(); ++i) {
        if (sourceOf[i] >= row.size()) fail("a cell for a character past the row");
        if (i > 0 && sourceOf[i] < sourceOf[i - 1]) fail("cells out of the row's order");
    }
    if (second.parenthesisOpen() != first.parenthesisOpen()) fail("the same row left two states");

    // No form is longer than three cells for each character it stands for.
    if (braille.size() > 3 * row.size() + 2) fail("the text grew past three cells a character");
    bool hasNewline = row.find('\n') != std::string_view::npos;
    for (char ch : braille) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z') fail("a capital letter left in the text");
        if (c == '\n' && !hasNewline) fail("a line break the row did not have");
    }
    // A row of small letters and blanks is its own braille text.
    bool plain = true;
    for (char ch : row) plain = plain && ((ch >= 'a' && ch <= 'z') || ch == ' ');
    if (plain && braille != row) fail("small letters changed");
    return 0;
}
