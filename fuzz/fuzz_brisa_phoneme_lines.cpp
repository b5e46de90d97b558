// Fuzz target for the Brisa synthesizer's phoneme-line reader: arbitrary text split into lines,
// each read and, when taken, synthesised over a small database of the real format; then the same
// text through the library's entry points, written in pieces that cut lines anywhere, at the
// output rate and sample type the first bytes choose.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola/mbrola.h"
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

// The small database as a file the library opens, in a folder removed at exit.
const std::string& databaseFile() {
    static const std::string* file = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "brisa-fuzz-XXXXXX").string();
        if (!mkdtemp(folder.data())) fail("cannot make a temporary folder");
        auto* path = new std::string(folder + "/db");
        std::vector<uint8_t> image = brisa::serializeVoiceDatabase(smallDatabase());
        std::FILE* f = std::fopen(path->c_str(), "wb");
        if (!f || std::fwrite(image.data(), 1, image.size(), f) != image.size())
            fail("cannot write the database");
        std::fclose(f);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::path(databaseFile()).parent_path(), ec);
        });
        return path;
    }();
    return *file;
}

void throughTheLibrary(const uint8_t* data, size_t size) {
    static const bool opened = init_MBR(databaseFile().c_str()) == 0;
    if (!opened) fail("the library does not open its database");
    const uint8_t choice = size > 0 ? data[0] : 0;
    const int rates[] = {16000, 8000, 22050, 44100};
    setFreq_MBR(rates[choice & 3]);
    setNoError_MBR(choice & 4 ? -63 : 0);
    const int type = choice >> 3 & 3;
    reset_MBR();
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<uint8_t> out(2 * 97);
    size_t produced = 0;
    auto drain = [&] {
        int n = 0;
        while ((n = readtype_MBR(out.data(), 97, type)) > 0) produced += static_cast<size_t>(n);
        if (n < 0) fail("read failed");
    };
    // Pieces of 1 to 64 bytes (C strings end at a NUL, as the callers' do).
    size_t at = 0, piece = 1;
    for (int pieces = 0; at < text.size() && pieces < 256; ++pieces) {
        const std::string chunk = text.substr(at, piece);
        at += chunk.size();
        piece = piece % 64 + 7;
        const int rc = write_MBR(chunk.c_str());
        if (rc < kBrisaErrorMemory || rc > 0) fail("write_MBR gave an unknown result");
        drain();
    }
    flush_MBR();
    drain();
    // Nothing more than 48 kHz of the longest durations the pieces can hold.
    if (produced > 256u * 64 * 48 * 30000) fail("more samples than the lines ask for");
    setFreq_MBR(16000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    throughTheLibrary(data, size);
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
            synth.consume(synth.ready().size());
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
