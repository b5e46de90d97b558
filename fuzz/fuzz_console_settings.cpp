// Fuzz target for the console's settings: every value parser on arbitrary text, and the whole
// reading of a settings file made of arbitrary VIDEO, BRAILLE and BAIXAVISAO values.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "console/console_grid.h"
#include "console/console_settings.h"
#include "console/settings_file.h"
#include "fuzz_scratch.h"

namespace {

using namespace parlendo;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_console_settings: %s\n", what);
    std::abort();
}

const std::string& scratchFolder() { return parlendo::fuzzScratchFolder("parlendo-fuzz-console"); }

void checkParsers(const std::string& text) {
    using namespace console_settings;
    if (std::optional<int> v = parseDecimal(text)) {
        if (parseDecimal(std::to_string(*v)) != v) fail("a decimal does not read back");
    }
    std::array<int, 16> map = parseColourMap(text);
    // The map written back as a setting reads the same again.
    std::string written;
    for (int entry : map) written += (written.empty() ? "" : ",") + std::to_string(entry);
    if (parseColourMap(written) != map) fail("a colour map does not read back");
    int mode = parseBrailleMode(text);
    if (mode < 0 || mode > 2) fail("braille mode out of range");
    int colour = parseColour(text, 6);
    if (colour < 0 || colour > 15) fail("colour out of range");
    int factor = parseMagnification(text);
    if (factor < 0 || factor > 10) fail("magnification out of range");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)scratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::string one = in.ConsumeRandomLengthString(64);
    checkParsers(one);

    static const char* kKeys[] = {"TABCORES", "CORESFIXAS",   "LENTO",       "CORFUNDO",  "CORLETRA",
                                  "FONTE",    "LARGURALETRA", "ALTURALETRA", "PESOLETRA", "CANTOTELA"};
    std::string file = "[VIDEO]\n";
    for (const char* key : kKeys) file += std::string(key) + "=" + in.ConsumeRandomLengthString(40) + "\n";
    file += "[BRAILLE]\nMODO=" + in.ConsumeRandomLengthString(8) + "\n[BAIXAVISAO]\n";
    for (const char* key : {"AMPLIACAO", "CORLETRA", "CORFUNDO", "CORCURSOR"})
        file += std::string(key) + "=" + in.ConsumeRandomLengthString(12) + "\n";

    const std::string path = scratchFolder() + "/oralix.ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
    SettingsFile settings(fuzzScratchSettings(scratchFolder(), path));
    ConsoleGrid console;
    ConsoleSettings s;
    createConsole(settings, console, s);
    if (s.background < 0 || s.background > 15 || s.foreground < 0 || s.foreground > 15)
        fail("first colours out of range");
    if (console.magnified().factor < 0 || console.magnified().factor > 10) fail("magnification out of range");
    if ((s.fontWidth && *s.fontWidth <= 0) || (s.fontHeight && *s.fontHeight <= 0))
        fail("a font size not positive");
    for (int i = 0; i < 16; ++i) (void)console.rgbOf(i);
    console.clearScreen();
    if (console.cellAttribute(1, 1) != s.initialAttribute()) fail("the clear did not take the first colours");
    return 0;
}
