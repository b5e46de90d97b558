// The wave player: the program's one path to the sound device. It plays 8- or 16-bit PCM from
// memory or from WAV files; the speech front, the recorded voice and the sound commands all play
// through it. Any waiting key interrupts playback while `interruptible` is on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class KeyQueue;
class EventLoop;

// The 44-byte header put in front of PCM built in memory.
std::vector<uint8_t> wavHeader(uint32_t dataSize, int rate, int channels, int bits);

class WavePlayer {
public:
    virtual ~WavePlayer() = default;
    // Plays PCM; the device's error code, 0 on success.
    virtual int playPcm(const uint8_t* data, size_t length, int rate, int channels, int bits) = 0;
    // Plays a WAV image held in memory.
    virtual int playWavImage(const uint8_t* image, size_t size) = 0;
    // Plays a WAV file: 0 on success, -1 when it cannot be opened or holds no playable data,
    // otherwise the device's error code. Waits until it has played unless noWait.
    virtual int playWavFile(std::string_view fileName) = 0;
    // True while pieces are still in flight; a waiting key (when interruptible) stops them.
    virtual bool playerBusy() = 0;
    virtual void stopPlayer() = 0;

    bool interruptible = true;
    bool noWait = false;
    bool fastPlayback = false;   // rates taken 1.5 times
    bool rapidPlayback = false;  // mono pieces shortened; the "rapido" recordings preferred
};

// The player on the device named by --audio: "system" (the sound card; "null", with a warning in
// `warning`, when there is none), "null" (plays nothing, takes no time) or "dir:PATH" (every sound
// becomes a numbered WAV file there). deviceName is the SAIDADEAUDIO setting; empty for the
// default device. Keys are polled through `keys`; waits pump `loop` when it is given.
std::unique_ptr<WavePlayer> createWavePlayer(std::string_view audioOption, std::string_view deviceName,
                                             KeyQueue& keys, EventLoop* loop, std::string& warning);

}  // namespace parlendo
