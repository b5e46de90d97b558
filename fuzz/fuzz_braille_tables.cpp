// Fuzz target for the reader of the braille display's tables: any text is refused or gives a
// table that, written back, reads the same again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "console/braille_tables.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_braille_tables: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    int bad = 0;
    if (auto characters = parlendo::parseBrailleCharacters(text, bad)) {
        int again = 0;
        auto reread = parlendo::parseBrailleCharacters(parlendo::formatBrailleCharacters(*characters), again);
        if (!reread || *reread != *characters) fail("the character table written back reads differently");
    } else if (bad < 1) {
        fail("a refused character table names no line");
    }
    bad = 0;
    if (auto keys = parlendo::parseBrailleKeys(text, bad)) {
        int again = 0;
        auto reread = parlendo::parseBrailleKeys(parlendo::formatBrailleKeys(*keys), again);
        if (!reread || *reread != *keys) fail("the key table written back reads differently");
    } else if (bad < 1) {
        fail("a refused key table names no line");
    }
    return 0;
}
