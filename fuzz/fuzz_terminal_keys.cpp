// Fuzz target for the decoding of terminal input into keys.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "console/terminal_keys.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_terminal_keys: %s\n", what);
    std::abort();
}

std::vector<parlendo::TerminalInput> decodeInPieces(std::string_view bytes, size_t piece, uint8_t erase) {
    parlendo::TerminalKeyDecoder d(erase);
    std::vector<parlendo::TerminalInput> out;
    for (size_t at = 0; at < bytes.size(); at += piece) d.feed(bytes.substr(at, piece), out);
    d.flush(out);
    if (d.pending()) fail("bytes still held after a flush");
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the erase character and how the rest is cut into reads.
    uint8_t erase = (data[0] & 1) ? 8 : 127;
    size_t piece = 1 + (data[0] >> 1) % 7;
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    auto whole = decodeInPieces(bytes, bytes.size() + 1, erase);
    for (const parlendo::TerminalInput& in : whole) {
        const std::string& k = in.key.bytes;
        if (k.size() == 1 && k[0] == '\0') fail("a lone zero byte would start an extended key");
        if (k.size() == 2 && k[0] != '\0') fail("a two-byte key that is not extended");
        if (k.empty() || k.size() > 2) fail("a key of no or too many bytes");
        if (in.column < 0 || in.row < 0) fail("a pointer cell before the first");
    }
    if (whole.size() > bytes.size() + 1) fail("more keys than bytes");
    // However the bytes are cut into reads, the keys are the same.
    if (decodeInPieces(bytes, piece, erase) != whole) fail("cutting the input changed the keys");
    return 0;
}
