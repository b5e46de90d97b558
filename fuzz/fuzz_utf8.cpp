// Fuzz target for the Windows-1252 / UTF-8 conversions.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/cp1252.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_utf8: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo::text;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Any bytes taken as Windows-1252 give valid UTF-8 that converts back to the same bytes.
    std::string utf8 = cp1252ToUtf8(bytes);
    if (!isValidUtf8(utf8)) fail("cp1252ToUtf8 gave invalid UTF-8");
    if (utf8ToCp1252(utf8) != bytes) fail("round trip through UTF-8 changed the text");

    // The same bytes taken as UTF-8: one output byte per character or per invalid byte, and
    // when every character has a Windows-1252 byte the conversion is undone exactly.
    std::string back = utf8ToCp1252(bytes);
    if (back.size() > bytes.size()) fail("utf8ToCp1252 grew the text");
    bool valid = isValidUtf8(bytes);
    if (valid && back.find('?') == std::string::npos && cp1252ToUtf8(back) != bytes)
        fail("valid UTF-8 did not convert back");
    if (externalToCp1252(bytes) != (valid ? back : std::string(bytes)))
        fail("externalToCp1252 disagrees with isValidUtf8");

    if (upperCase(bytes).size() != bytes.size()) fail("upperCase changed the length");
    std::string_view t = trim(bytes);
    if (!t.empty() && (isBlank(t.front()) || isBlank(t.back()))) fail("trim left a blank");
    return 0;
}
