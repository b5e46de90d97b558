// Fuzz target for the decoding of the window's input into keys: the text the desktop's input
// method hands over, and key codes with any modifiers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "console/window_keys.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_window_keys: %s\n", what);
    std::abort();
}

void checkKey(const parlendo::TypedKey& k) {
    if (k.bytes.empty() || k.bytes.size() > 2) fail("a key of no or too many bytes");
    if (k.bytes.size() == 1 && k.bytes[0] == '\0') fail("a lone zero byte would start an extended key");
    if (k.bytes.size() == 2 && k.bytes[0] != '\0') fail("a two-byte key that is not extended");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t characters = 0;
    for (const parlendo::TypedKey& k : parlendo::windowTextKeys(text)) {
        checkKey(k);
        if (k.bytes.size() != 1 || static_cast<uint8_t>(k.bytes[0]) < 32)
            fail("typed text gave a control key");
        ++characters;
    }
    if (characters > size) fail("more keys than bytes");
    // Every four bytes after the first: a key code; the first byte: the modifiers and Num Lock.
    if (size < 5) return 0;
    const parlendo::Modifiers m{(data[0] & 1) != 0, (data[0] & 2) != 0, (data[0] & 4) != 0};
    for (size_t at = 1; at + 4 <= size; at += 4) {
        int32_t keycode = 0;
        std::memcpy(&keycode, data + at, 4);
        if (std::optional<parlendo::TypedKey> k = parlendo::windowKeyDown(keycode, m, (data[0] & 8) != 0))
            checkKey(*k);
        const char chord = parlendo::windowChordKey(keycode);
        if (chord != 0 && chord != ' ' && (chord < 'A' || chord > 'Z')) fail("a chord key that is no letter");
        if (std::optional<parlendo::TypedKey> k = parlendo::windowMouseKey(keycode, m)) checkKey(*k);
        if (std::optional<parlendo::TypedKey> k = parlendo::windowWheelKey(keycode, m)) checkKey(*k);
    }
    return 0;
}
