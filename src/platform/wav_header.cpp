// The 44-byte WAV header put in front of PCM built in memory or written to a file. Kept apart
// from the player so the sound device and the voice-data generator can write the same header.
#include "platform/wav_header.h"

#include <cstring>

namespace parlendo {

namespace {

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

std::vector<uint8_t> wavHeader(uint32_t dataSize, int rate, int channels, int bits) {
    std::vector<uint8_t> h(44);
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * static_cast<uint32_t>(bits / 8);
    std::memcpy(h.data(), "RIFF", 4);
    put32(&h[4], dataSize + 36);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    put32(&h[16], 16);
    put16(&h[20], 1);
    put16(&h[22], static_cast<uint32_t>(channels));
    put32(&h[24], static_cast<uint32_t>(rate));
    put32(&h[28], blockAlign * static_cast<uint32_t>(rate));
    put16(&h[32], blockAlign);
    put16(&h[34], static_cast<uint32_t>(bits));
    std::memcpy(&h[36], "data", 4);
    put32(&h[40], dataSize);
    return h;
}

}  // namespace parlendo
