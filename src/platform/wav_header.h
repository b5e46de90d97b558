// The 44-byte WAV header put in front of PCM: the sound device's file output, the wave player
// and the voice-data generator all write the same one.
#pragma once

#include <cstdint>
#include <vector>

namespace parlendo {

std::vector<uint8_t> wavHeader(uint32_t dataSize, int rate, int channels, int bits);

}  // namespace parlendo
