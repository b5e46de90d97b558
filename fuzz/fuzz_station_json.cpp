// Fuzz target for what the radio directory sends: arbitrary bytes read as a station search
// answer, every station made into the tuner's lines, checked to be safe one-line Windows-1252;
// and the same bytes cleaned as a name, checked against the cleaning's rules.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sources/stations.h"
#include "text/cp1252.h"
#include "text/transliterate.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "fuzz_station_json: %s: [%.*s]\n", what, static_cast<int>(text.size()), text.data());
    std::abort();
}

// A cleaned text: no control byte, no blank at either end, never two blanks together.
void checkPlain(std::string_view text, const char* what) {
    for (size_t i = 0; i < text.size(); ++i) {
        auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x20 || u == 0x7F) fail(what, text);
        if (text[i] == ' ' && (i == 0 || i + 1 == text.size() || text[i + 1] == ' ')) fail(what, text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 200000) return 0;
    size_t maxBytes = data[0] % 64;
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::string plain = parlendo::text::utf8ToCp1252Plain(bytes, maxBytes);
    checkPlain(plain, "a cleaned text is not plain");
    if (maxBytes > 0 && plain.size() > maxBytes) fail("a cleaned text is too long", plain);
    // Cleaning what is already clean changes nothing.
    if (parlendo::text::utf8ToCp1252Plain(parlendo::text::cp1252ToUtf8(plain), maxBytes) != plain)
        fail("cleaning twice differs", plain);

    auto stations = sintonix::parseStations(bytes);
    if (!stations) return 0;
    for (const sintonix::Station& s : *stations) {
        if (s.uuid.empty() || s.address.find("://") == std::string::npos) fail("an unusable station", s.uuid);
        std::string line = sintonix::displayLine(s);
        if (line.empty()) fail("an empty display line", line);
        checkPlain(line, "a display line is not plain");
        for (const std::string& address :
             {sintonix::encodeAddress(s.address), sintonix::encodeAddress(s.uuid)})
            for (char c : address)
                if (c <= ' ' || c >= 0x7F ||
                    std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos)
                    fail("an address byte is not safe", address);
    }
    std::string list = sintonix::listFileText(*stations);
    std::string ids = sintonix::idsFileText(*stations);
    size_t lines = 0, tabs = 0;
    for (char c : list) lines += c == '\n';
    for (char c : ids) tabs += c == '\t';
    if (lines != 2 * stations->size() || tabs != stations->size()) fail("a station is not two lines", list);
    return 0;
}
