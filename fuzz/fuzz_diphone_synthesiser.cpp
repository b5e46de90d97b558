// Fuzz target for the diphone synthesiser's readers: the first byte gives the length of an index
// (in records of 15 bytes) taken from the input, the rest is phonetic text spoken over it. No
// sample file is open, so found diphones add nothing; every lookup, split and fallback runs.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tts/diphone_database.h"
#include "tts/diphone_synthesiser.h"

namespace {

class NoSink final : public parlendo::SoundSink {
public:
    bool play(const uint8_t*, size_t size) override {
        if (size > parlendo::DiphoneSynthesiser::kBufferSize) std::abort();
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    if (size == 0) return 0;
    const size_t indexBytes =
        std::min<size_t>(static_cast<size_t>(data[0]) * DiphoneDatabase::kRecordSize, size - 1);
    static DiphoneDatabase database;
    database.useIndex(std::string(reinterpret_cast<const char*>(data + 1), indexBytes));
    static NoSink sink;
    static DiphoneSynthesiser synth(database);
    synth.setSink(&sink);
    synth.setDiphoneTiming(data[0] % 7 * 100 - 200, data[0] % 5 * 100, data[0] % 3 * 150);
    std::string text(reinterpret_cast<const char*>(data + 1 + indexBytes), size - 1 - indexBytes);
    synth.setLookupOnly(data[0] & 1);
    synth.synthesise(text);
    return 0;
}
