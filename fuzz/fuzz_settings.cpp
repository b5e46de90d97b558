// Fuzz target for the profile-file parser: lookup and update on arbitrary file text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/settings_file.h"

namespace {

// A name that a profile file can hold as it is: not empty, no blanks or control bytes,
// no brackets or "=", and (for a key) not starting with the comment sign.
bool plainName(std::string_view name, bool isKey) {
    if (name.empty()) return false;
    if (isKey && name.front() == ';') return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 32 || u == 127 || c == '[' || c == ']' || c == '=') return false;
    }
    return true;
}

// What a lookup gives back for a written value: a line break ends it, and reads are cut
// at 50000 characters.
std::string expectedValue(std::string_view value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    return std::string(value.substr(0, 50000));
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_settings: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::string section = in.ConsumeRandomLengthString(40);
    std::string key = in.ConsumeRandomLengthString(40);
    std::string value = in.ConsumeRandomLengthString(200);
    std::string text = in.ConsumeRemainingBytesAsString();

    (void)parlendo::profile::lookup(text, section, key);
    std::string updated = parlendo::profile::update(text, section, key, value);

    if (plainName(section, false) && plainName(key, true)) {
        auto found = parlendo::profile::lookup(updated, section, key);
        if (!found) fail("key not found after update");
        if (*found != expectedValue(value)) fail("value read back differs from value written");
        // Writing the same value again changes nothing.
        if (parlendo::profile::update(updated, section, key, value) != updated)
            fail("second identical update changed the text");
    }

    // Every other line is kept byte for byte: what the update took out of the old text lies
    // within a single line.
    size_t head = 0;
    while (head < text.size() && head < updated.size() && text[head] == updated[head]) ++head;
    size_t tail = 0;
    while (tail < text.size() - head && tail < updated.size() - head &&
           text[text.size() - 1 - tail] == updated[updated.size() - 1 - tail])
        ++tail;
    std::string_view removed(text.data() + head, text.size() - head - tail);
    if (removed.find('\n') != std::string_view::npos) fail("update changed more than one line");
    return 0;
}
