// Fuzz target for the Brisa synthesizer's phoneme-line reader: arbitrary text split into lines,
// each read and, when taken, synthesised over a small database of the real format.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "mbrola/pho_line.h"
#include "mbrola/psola.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_brisa_phoneme_lines: %s\n", what);
    std::abort();
}

brisa::VoiceDatabase smallDatabase() {
    brisa::VoiceDatabase db;
    db.phonemes = {"_", "a", "s", "__"};
    for (uint16_t l = 0; l < 3; ++l)
        for (uint16_t r = 0; r < 3; ++r) {
            if (l == 0 && r == 0) continue;
            brisa::Diphone d;
            d.left = l;
            d.right = r;
            for (int i = 0; i < 1600; ++i)
                d.samples.push_back(static_cast<int16_t>((i * 37 % 200 - 100) * 50 * (l + r)));
            d.begin = 330;
            d.boundary = 800;
            d.end = 1270;
            for (uint32_t p = 0; p < 1600; p += r == 2 ? 80 : 133) d.marks.push_back({p, r != 2});
            db.diphones.push_back(d);
        }
    return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const brisa::VoiceDatabase db = smallDatabase();
    brisa::Synthesizer synth(db);
    std::string_view text(reinterpret_cast<const char*>(data), size);
    double totalMs = 0;
    size_t lines = 0;
    while (!text.empty() && lines++ < 64) {
        size_t feed = text.find('\n');
        std::string_view line = text.substr(0, feed);
        text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
        std::optional<brisa::PhonemeLine> parsed = brisa::parsePhonemeLine(line);
        if (!parsed) continue;
        if (parsed->kind == brisa::PhonemeLine::Kind::Flush) {
            synth.flush();
            synth.ready().clear();
            totalMs = 0;
        }
        if (parsed->kind != brisa::PhonemeLine::Kind::Phoneme) continue;
        if (parsed->name.empty() || parsed->name.size() > brisa::kMaxPhonemeName) fail("bad name taken");
        if (!(parsed->durationMs >= 0 && parsed->durationMs <= brisa::kMaxDurationMs))
            fail("bad duration taken");
        if (parsed->pitch.size() > brisa::kMaxPitchPoints) fail("too many pitch points taken");
        // Keep the sound short: the durations matter less than the joins.
        const double ms = parsed->durationMs > 500 ? 500 : parsed->durationMs;
        synth.addPhoneme(synth.phonemeNumber(parsed->name), ms, parsed->pitch);
        totalMs += ms;
    }
    synth.flush();
    const double expected = totalMs * 16;
    const double got = static_cast<double>(synth.ready().size());
    if (got < expected - 2 * lines - 2 || got > expected + 2 * lines + 2)
        fail("output length differs from the durations");
    for (float v : synth.ready())
        if (!(v > -64 && v < 64)) fail("sample out of range");
    return 0;
}
