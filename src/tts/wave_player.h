// The wave player: the program's one path to the sound device. It plays 8- or 16-bit PCM from
// memory or from WAV files; the speech front, the recorded voice and the sound commands all play
// through it. Any waiting key interrupts playback while `interruptible` is on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio_device.h"
#include "platform/wav_header.h"

namespace parlendo {

class KeyQueue;
class EventLoop;

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
    // The pieces played between begin and end are one sound (one file of a folder device), as a
    // voice that hands its speech over while it is still making it needs. Pairs may nest.
    virtual void beginSound() {}
    virtual void endSound() {}

    bool interruptible = true;
    bool noWait = false;
    bool fastPlayback = false;   // rates taken 1.5 times
    bool rapidPlayback = false;  // mono pieces shortened; the "rapido" recordings preferred
};

// The player on the device named by --audio: "system" (the sound card, reached at the first sound;
// "null" from then on, with a warning, when there is none), "null" (plays nothing, takes no time)
// or "dir:PATH" (every sound becomes a numbered WAV file there). deviceName is the SAIDADEAUDIO
// setting; empty for the default device. Keys are polled through `keys`; waits pump `loop` when it
// is given. `warn` gets each one-line warning when it arises: an unknown option at once, a missing
// sound card at the first sound, or at once when `reachCardNow` asks for the card to be tried here
// (the sound library is then loaded now).
std::unique_ptr<WavePlayer> createWavePlayer(std::string_view audioOption, std::string_view deviceName,
                                             KeyQueue& keys, EventLoop* loop,
                                             const std::function<void(const std::string&)>& warn,
                                             bool reachCardNow = false);

// Where a WAV image keeps its sound: the format chunk's values and the "data" chunk.
struct WavData {
    int formatTag = 0;  // 1 for PCM (a WAVE_FORMAT_EXTENSIBLE image of PCM is given as 1)
    AudioFormat format;
    size_t dataOffset = 0;
    size_t dataLength = 0;  // cut to the bytes the image holds
};

// The largest format chunk taken: the size of the player's scratch buffer.
constexpr size_t kWavMaxFormatChunk = 8192;

// Walks a WAV image: "RIFF" at 0 and "fmt " at 12 (without regard to case), the format chunk,
// then chunks skipped by their sizes (odd sizes padded) until "data". Nothing when the image is
// not such a file, its format chunk is short or over kWavMaxFormatChunk, or it has no "data".
std::optional<WavData> findWavData(const uint8_t* image, size_t size);

// The bytes of the next piece of a file's sound: 8192, except 7936 when 8193 to 8447 remain, so
// that no last piece is shorter than 257 bytes.
size_t wavFilePiece(uint64_t remaining);

// The quick speech of mono sound: 16-bit samples become 8-bit (the high byte, offset by 128),
// then every other pitch period is dropped, which roughly halves the length without changing the
// pitch. Pieces under 1000 samples are only converted.
std::vector<uint8_t> shortenPiece(const uint8_t* data, size_t length, int bits, int rate);

// The player over a given device (tests hand it a fake).
std::unique_ptr<WavePlayer> createWavePlayerOn(std::unique_ptr<AudioDevice> device, KeyQueue& keys,
                                               EventLoop* loop);

}  // namespace parlendo
