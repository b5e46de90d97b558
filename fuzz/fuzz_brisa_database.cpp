// Fuzz target for the Brisa synthesizer's database reader: arbitrary bytes as a database image;
// what is taken is checked against the format's promises and spoken from.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "mbrola/psola.h"
#include "mbrola/voice_database.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_brisa_database: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    std::optional<brisa::VoiceDatabase> db = brisa::parseVoiceDatabase(data, size, error);
    if (!db) {
        if (error.empty()) fail("refused without a reason");
        return 0;
    }
    for (const brisa::Diphone& d : db->diphones) {
        if (d.left >= db->phonemes.size() || d.right >= db->phonemes.size()) fail("phoneme out of range");
        if (d.begin > d.boundary || d.boundary > d.end || d.end > d.samples.size()) fail("cuts out of order");
        for (size_t m = 0; m < d.marks.size(); ++m)
            if (d.marks[m].position >= d.samples.size() ||
                (m && d.marks[m].position <= d.marks[m - 1].position))
                fail("pitch mark out of order");
    }
    // Written back, the image is the same bytes.
    std::vector<uint8_t> again = brisa::serializeVoiceDatabase(*db);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data))
        fail("image not read as written");
    // Every phoneme after every other, with a pitch glide.
    brisa::Synthesizer synth(*db);
    const std::vector<brisa::PitchPoint> glide = {{0, 60}, {100, 390}};
    for (size_t i = 0; i < db->phonemes.size() && i < 12; ++i)
        for (size_t j = 0; j < db->phonemes.size() && j < 12; ++j) {
            synth.addPhoneme(static_cast<int>(i), 30, glide);
            synth.addPhoneme(static_cast<int>(j), 30, {});
        }
    synth.flush();
    for (float v : synth.ready())
        if (!(v > -64 && v < 64)) fail("sample out of range");
    return 0;
}
