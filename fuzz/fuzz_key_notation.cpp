// Fuzz target for the key notation of --keys: any text either is refused or gives keys that are
// well formed and that, written back in the notation, read the same again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/key_queue.h"
#include "text/cp1252.h"

namespace {

using parlendo::TypedKey;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_key_notation: %s\n", what);
    std::abort();
}

// One key in the notation: a plain key as its character ("{" doubled), anything with modifiers
// or an extended code as a key-code text in braces.
std::string notationOf(const TypedKey& key) {
    const std::string& b = key.bytes;
    const parlendo::Modifiers& m = key.modifiers;
    bool plain = !m.shift && !m.ctrl && !m.alt;
    if (plain && b.size() == 1) {
        if (b == "{") return "{{";
        return parlendo::text::cp1252ToUtf8(b);
    }
    std::string out = "{";
    if (!plain) {
        out += m.shift ? '1' : '0';
        out += m.ctrl ? '1' : '0';
        out += m.alt ? '1' : '0';
    }
    if (b.size() == 2)
        out += "#0#" + std::to_string(static_cast<unsigned char>(b[1]));
    else
        out += "#" + std::to_string(static_cast<unsigned char>(b[0]));
    return out + "}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // A command-line argument cannot hold a zero byte, so the notation never meets one.
    if (text.find('\0') != std::string::npos) return 0;

    std::optional<std::vector<TypedKey>> keys = parlendo::parseKeyNotation(text);
    if (!keys) return 0;

    std::string again;
    for (const TypedKey& key : *keys) {
        const std::string& b = key.bytes;
        // One byte that is not 0 (a 0 starts an extended key), or 0 and the extended code.
        if (b.size() == 1 && b[0] == '\0') fail("a plain key of code 0");
        if (b.size() != 1 && !(b.size() == 2 && b[0] == '\0'))
            fail("a key that is neither one byte nor 0 and a code");
        again += notationOf(key);
    }
    if (keys->size() > text.size()) fail("more keys than characters");

    std::optional<std::vector<TypedKey>> reread = parlendo::parseKeyNotation(again);
    if (!reread) fail("the keys written back are refused");
    if (*reread != *keys) fail("the keys written back read differently");
    return 0;
}
