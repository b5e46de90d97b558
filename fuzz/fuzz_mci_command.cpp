// Fuzz target for the reader of media command strings: any text is a command or an error reply,
// and a command read holds a device and values in their ranges.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commands/media_player.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_mci_command: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<parlendo::MciCommand> c = parlendo::parseMciCommand(text, error);
    if (!c) {
        if (error.rfind("Erro MCI", 0) != 0) fail("a refused command gives no error reply");
        return 0;
    }
    if (c->device.empty()) fail("a command without a device");
    if (c->volume < 0 || c->volume > 1000) fail("a volume out of range");
    if ((c->from && *c->from < 0) || (c->to && *c->to < 0) || c->position < 0) fail("a negative time");
    return 0;
}
