// The sound device under the wave player: a queue of PCM pieces, as the sound card plays them.
// Three kinds: the system's sound card (SDL2 audio), a folder where every sound becomes a
// numbered WAV file (tests), and nothing at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

struct AudioFormat {
    int rate = 11025;
    int channels = 1;
    int bits = 8;
    bool operator==(const AudioFormat&) const = default;
};

// Error codes the device gives back, in the numbering the wave player reports.
constexpr int kAudioError = 1;       // the device failed
constexpr int kAudioNoDevice = 2;    // no such device, or none open
constexpr int kAudioBadFormat = 32;  // the device cannot play this format

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Opens the device for a format (closing it first when it is open): 0 or an error code.
    virtual int open(const AudioFormat& format) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Adds a piece to the end of the queue: 0 or an error code.
    virtual int queue(const uint8_t* data, size_t length) = 0;
    // Bytes queued and not yet taken by the sound card.
    virtual size_t queuedBytes() = 0;
    // Drops everything queued: the device falls silent.
    virtual void clear() = 0;
    // How long the card may go on sounding once the queue is empty (its own buffer).
    virtual int tailMilliseconds() const { return 0; }
    // Whether open() with another format costs nothing: the device converts, what is queued
    // keeps playing, and nothing need wait for the queue to empty first.
    virtual bool takesAnyFormat() const { return false; }
    // One sound begins and ends: the pieces between belong together (one file of a folder).
    virtual void beginSound() {}
    virtual void endSound() {}
};

// The device that plays nothing and takes no time.
class NullAudioDevice final : public AudioDevice {
public:
    int open(const AudioFormat&) override {
        open_ = true;
        return 0;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int queue(const uint8_t*, size_t) override { return 0; }
    size_t queuedBytes() override { return 0; }
    void clear() override {}

private:
    bool open_ = false;
};

// Every sound becomes the next numbered file (000001.wav, 000002.wav, ...) in `folder`, with the
// 44-byte header and the format it was played in; playing takes no time. The folder is made when
// missing.
std::unique_ptr<AudioDevice> createFolderAudioDevice(const std::string& folder);

// The system's sound card through SDL2 audio, loaded now when it is not yet. The card is kept open
// in one format (kCardFormat of platform/pcm_converter.h) and every piece converted to it. `deviceName`
// chooses an output device by name, without regard to case (empty, or a name no device has: the default
// device). Null, with the reason in `error`, when the machine has no sound device or the library cannot be
// loaded.
std::unique_ptr<AudioDevice> createSystemAudioDevice(std::string_view deviceName, std::string& error);

// The same sound card, reached only when a sound first opens the device (the sound library is not
// loaded before). Without a card, `noDevice` is called once with the reason, and the device plays
// nothing and takes no time from then on, as the null device does.
std::unique_ptr<AudioDevice> createSystemAudioDeviceOnFirstSound(
    std::string deviceName, std::function<void(const std::string&)> noDevice);

// The names of the output devices, in device order (empty when there is no sound system).
std::vector<std::string> listAudioDevices();

}  // namespace parlendo
