// Replaced by the device player: the header writer and a player that plays nothing, so that the
// speech front links and runs until the sound device's player is merged in.
#include "tts/wave_player.h"

namespace parlendo {

namespace {

void putLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

class SilentPlayer final : public WavePlayer {
public:
    int playPcm(const uint8_t*, size_t, int, int, int) override { return 0; }
    int playWavImage(const uint8_t*, size_t) override { return 0; }
    int playWavFile(std::string_view) override { return 0; }
    bool playerBusy() override { return false; }
    void stopPlayer() override {}
};

}  // namespace

std::vector<uint8_t> wavHeader(uint32_t dataSize, int rate, int channels, int bits) {
    std::vector<uint8_t> h;
    h.reserve(44);
    const uint32_t align = static_cast<uint32_t>(channels * (bits / 8));
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    putLe(h, dataSize + 36, 4);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(h, 16, 4);
    putLe(h, 1, 2);
    putLe(h, static_cast<uint32_t>(channels), 2);
    putLe(h, static_cast<uint32_t>(rate), 4);
    putLe(h, align * static_cast<uint32_t>(rate), 4);
    putLe(h, align, 2);
    putLe(h, static_cast<uint32_t>(bits), 2);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    putLe(h, dataSize, 4);
    return h;
}

std::unique_ptr<WavePlayer> createWavePlayer(std::string_view, std::string_view, KeyQueue&, EventLoop*,
                                             std::string& warning) {
    warning.clear();
    return std::make_unique<SilentPlayer>();
}

}  // namespace parlendo
