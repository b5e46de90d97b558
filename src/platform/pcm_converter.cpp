// The conversion of PCM pieces to the sound card's one format.
#include "platform/pcm_converter.h"

#include <cmath>

namespace parlendo {

namespace {

int16_t sampleAt(const uint8_t* frame, int bits, int channel) {
    if (bits == 8) return static_cast<int16_t>((frame[channel] - 128) << 8);
    const uint8_t* p = frame + static_cast<std::ptrdiff_t>(2) * channel;
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

void put16(std::vector<uint8_t>& out, int value) {
    auto v = static_cast<uint16_t>(static_cast<int16_t>(value));
    out.push_back(static_cast<uint8_t>(v & 0xff));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

void PcmConverter::setInput(const AudioFormat& format) {
    if (format == input_) return;
    input_ = format;
    reset();
}

void PcmConverter::reset() {
    haveLast_ = false;
    position_ = 0;
    last_[0] = last_[1] = 0;
}

void PcmConverter::convert(const uint8_t* data, size_t length, std::vector<uint8_t>& out) {
    const int bits = input_.bits == 16 ? 16 : 8;
    const int channels = input_.channels == 2 ? 2 : 1;
    const size_t frameBytes = static_cast<size_t>(channels) * (bits / 8);
    const size_t frames = length / frameBytes;
    if (frames == 0 || input_.rate <= 0) return;
    // One step of the output in input frames.
    const double step = static_cast<double>(input_.rate) / kCardFormat.rate;
    auto frameSample = [&](size_t i, int channel) -> int {
        return sampleAt(data + i * frameBytes, bits, channels == 2 ? channel : 0);
    };
    // The input as one run: the carried-over frame (when there is one) at index 0.
    const size_t offset = haveLast_ ? 1 : 0;
    const size_t total = frames + offset;
    auto at = [&](size_t i, int channel) -> int {
        if (haveLast_ && i == 0) return last_[channel];
        return frameSample(i - offset, channel);
    };
    out.reserve(out.size() + static_cast<size_t>(std::ceil(frames / step)) * 4 + 8);
    double pos = position_;
    // Interpolates between frame i and i + 1 while both are there; the rest waits for the next
    // piece.
    while (pos + 1 < static_cast<double>(total)) {
        size_t i = static_cast<size_t>(pos);
        double fraction = pos - static_cast<double>(i);
        for (int c = 0; c < 2; ++c) {
            double a = at(i, c), b = at(i + 1, c);
            put16(out, static_cast<int>(std::lround(a + (b - a) * fraction)));
        }
        pos += step;
    }
    // Carry the last frame over; the position becomes relative to it.
    last_[0] = static_cast<int16_t>(at(total - 1, 0));
    last_[1] = static_cast<int16_t>(at(total - 1, 1));
    haveLast_ = true;
    position_ = pos - static_cast<double>(total - 1);
}

}  // namespace parlendo
