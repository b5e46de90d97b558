// Fuzz target for the WAV reader of the wave player: arbitrary bytes as an image in memory and
// as a file, with the speed-ups switched by the first byte, played on the silent device.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/key_queue.h"
#include "fuzz_scratch.h"
#include "tts/wave_player.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_wav: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    static KeyQueue keys;
    static std::unique_ptr<WavePlayer> player =
        createWavePlayerOn(std::make_unique<NullAudioDevice>(), keys, nullptr);
    uint8_t flags = size > 0 ? data[0] : 0;
    player->fastPlayback = flags & 1;
    player->rapidPlayback = flags & 2;

    if (std::optional<WavData> wav = findWavData(data, size)) {
        if (wav->dataOffset > size || wav->dataLength > size - wav->dataOffset)
            fail("data chunk outside the image");
    }
    int rc = player->playWavImage(data, size);
    if (rc != 0 && rc != -1 && rc != kAudioBadFormat) fail("unexpected result from playWavImage");

    static const std::string file = fuzzScratchFolder("parlendo-fuzz-wav") + "/sound.wav";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) fail("cannot write the scratch file");
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
    rc = player->playWavFile(file);
    if (rc != 0 && rc != -1 && rc != kAudioBadFormat) fail("unexpected result from playWavFile");

    // shortenPiece on the raw bytes, as 8- and 16-bit sound at both sets of constants.
    for (int bits : {8, 16})
        for (int rate : {11025, 22050}) {
            std::vector<uint8_t> out = shortenPiece(data, size, bits, rate);
            if (out.size() > (bits == 16 ? size / 2 : size)) fail("shortenPiece made the sound longer");
        }
    return 0;
}
