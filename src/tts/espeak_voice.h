// Words spoken by the system's espeak-ng Brazilian Portuguese voice, played through the wave
// player: the stand-in for the built-in diphone voice until its database exists.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "console/diphone_voice.h"

namespace parlendo {

class WavePlayer;
class KeyQueue;

class EspeakVoice final : public DiphoneVoice {
public:
    // sleep waits the given milliseconds while pumping events.
    EspeakVoice(WavePlayer& player, KeyQueue& keys, std::function<void(int)> sleep);
    ~EspeakVoice() override;

    // Always 0, and nothing is loaded yet: the system voice is loaded and started at the first
    // words. Without it, words are silent but the program goes on.
    int open() override;
    void close() override {}
    void setDiphoneTiming(int, int, int) override {}
    void setSpeed(int speed) override;
    void speakWords(std::string_view words) override;
    void stop() override { stopped_ = true; }
    // Whether the system voice can speak: loads and starts it when it is not yet.
    bool available();

    // Called with each piece of synthesised 16-bit samples; false ends the synthesis.
    bool deliver(const short* samples, int count);

private:
    void flush();

    WavePlayer& player_;
    KeyQueue& keys_;
    std::function<void(int)> sleep_;
    // Samples gathered into player-sized pieces; the first piece of a text goes out at once.
    std::vector<uint8_t> pending_;
    bool firstSent_ = false;
    bool stopped_ = false;
    int rate_ = 22050;
    int speed_ = 3;
};

}  // namespace parlendo
