// Sound in the one format the sound card is kept open in: 16-bit stereo at 44100 samples per
// second. Speech, recordings and key echo come in several formats and alternate quickly;
// converting them here spares reopening the card at every change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio_device.h"

namespace parlendo {

constexpr AudioFormat kCardFormat{44100, 2, 16};

// Converts PCM of 8 or 16 bits, one or two channels, any rate, to kCardFormat, one piece after
// another: the rate is changed by linear interpolation that carries on from one piece to the
// next, so that a sound cut in pieces is converted as if whole.
class PcmConverter {
public:
    // A new input format: the sound before it is over.
    void setInput(const AudioFormat& format);
    const AudioFormat& input() const { return input_; }
    // Appends the converted piece to `out` (complete input frames only: a cut frame is dropped).
    void convert(const uint8_t* data, size_t length, std::vector<uint8_t>& out);
    // Forgets the sound so far (after the card was silenced).
    void reset();

private:
    AudioFormat input_;
    // The last input frame of the previous piece, and where the next output sample falls after
    // it, in input frames (0 to 1).
    int16_t last_[2] = {0, 0};
    bool haveLast_ = false;
    double position_ = 0;
};

}  // namespace parlendo
