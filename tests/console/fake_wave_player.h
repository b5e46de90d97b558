// A wave player that plays nothing and remembers what it was asked to play, and small WAV files
// written for the recorded voice.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tts/wave_player.h"

namespace parlendo::testing {

class FakeWavePlayer final : public WavePlayer {
public:
    struct Played {
        std::string file;              // playWavFile's name; empty for PCM
        std::vector<uint8_t> samples;  // playPcm's data
        int rate = 0, channels = 0, bits = 0;
        bool rapid = false, fast = false;
    };

    int playPcm(const uint8_t* data, size_t length, int rate, int channels, int bits) override {
        if (played.empty() && firstPcm == std::chrono::steady_clock::time_point{})
            firstPcm = std::chrono::steady_clock::now();
        played.push_back({"", std::vector<uint8_t>(data, data + length), rate, channels, bits, rapidPlayback,
                          fastPlayback});
        if (events) events->push_back("pcm " + std::to_string(length));
        return 0;
    }
    int playWavImage(const uint8_t*, size_t) override { return 0; }
    int playWavFile(std::string_view fileName) override {
        played.push_back({std::string(fileName), {}, 0, 0, 0, rapidPlayback, fastPlayback});
        if (events) events->push_back("file " + std::string(fileName.substr(fileName.rfind('/') + 1)));
        return 0;
    }
    bool playerBusy() override { return false; }
    void stopPlayer() override { ++stops; }

    // The names of the files played, each without its folder.
    std::vector<std::string> fileNames() const {
        std::vector<std::string> names;
        for (const Played& p : played)
            if (!p.file.empty()) names.push_back(p.file.substr(p.file.rfind('/') + 1));
        return names;
    }

    std::vector<Played> played;
    // When set, each sound is also noted there: "pcm LENGTH" or "file NAME" (without folder).
    std::vector<std::string>* events = nullptr;
    int stops = 0;
    std::chrono::steady_clock::time_point firstPcm{};
};

// Writes an 8-bit mono 11025 Hz WAV file holding `count` samples of `value`.
inline void writeWav(const std::filesystem::path& file, size_t count, uint8_t value) {
    std::vector<uint8_t> bytes = wavHeader(static_cast<uint32_t>(count), 11025, 1, 8);
    bytes.insert(bytes.end(), count, value);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace parlendo::testing
