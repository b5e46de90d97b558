// Latency of the wave player on the system's sound device, against SDL's own calls made directly
// in the same run:
//   start: from playPcm of a sentence (2 s of 8-bit mono 11025 Hz sound) to its first piece being
//          queued on the device, with the device already open (warm) and when it must be opened;
//   stop:  from a key arriving while the player waits for a file to end to the device's queue
//          being cleared.
// Without a sound card run it with SDL_AUDIODRIVER=dummy.
//
//   audio_bench [ROUNDS]
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "console/key_queue.h"
#include "platform/event_loop.h"
#include "tts/tones.h"
#include "tts/wave_player.h"

namespace {

using namespace parlendo;
using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Passes everything to the real device and notes when the first piece is queued and when the
// queue is cleared.
class TimedDevice final : public AudioDevice {
public:
    explicit TimedDevice(std::unique_ptr<AudioDevice> real) : real_(std::move(real)) {}
    int open(const AudioFormat& f) override { return real_->open(f); }
    void close() override { real_->close(); }
    bool isOpen() const override { return real_->isOpen(); }
    int queue(const uint8_t* data, size_t length) override {
        int rc = real_->queue(data, length);
        if (!firstQueued) firstQueued = Clock::now();
        return rc;
    }
    size_t queuedBytes() override { return real_->queuedBytes(); }
    void clear() override {
        real_->clear();
        if (real_->queuedBytes() == 0) cleared = Clock::now();
    }
    int tailMilliseconds() const override { return real_->tailMilliseconds(); }

    std::optional<Clock::time_point> firstQueued;
    std::optional<Clock::time_point> cleared;

private:
    std::unique_ptr<AudioDevice> real_;
};

// A key typed from outside, as a terminal delivers it: another thread writes a byte into a pipe
// at a set moment; the event loop wakes on the pipe and its pump puts the key in the queue.
class PipeKeys final : public EventSource {
public:
    explicit PipeKeys(KeyQueue& keys) : keys_(keys) {
        if (::pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
        ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    }
    ~PipeKeys() override {
        if (writer_.joinable()) writer_.join();
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void pump() override {
        char c;
        while (::read(fds_[0], &c, 1) == 1) keys_.pushKey(static_cast<uint8_t>(c));
    }
    int waitHandle() const override { return fds_[0]; }
    void typeAfter(std::chrono::milliseconds delay) {
        if (writer_.joinable()) writer_.join();
        writer_ = std::thread([this, delay] {
            std::this_thread::sleep_for(delay);
            typed = Clock::now();
            [[maybe_unused]] ssize_t n = ::write(fds_[1], "x", 1);
        });
    }
    void settle() {
        if (writer_.joinable()) writer_.join();
    }
    Clock::time_point typed;

private:
    KeyQueue& keys_;
    int fds_[2];
    std::thread writer_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    std::printf("SDL audio driver: %s\n", driver ? driver : "(SDL's choice)");

    std::vector<uint8_t> sentence;
    for (int hz : {300, 350, 400, 450, 500, 550, 600, 650, 700, 750}) {
        std::vector<uint8_t> t = toneSamples(hz, 200);
        sentence.insert(sentence.end(), t.begin(), t.end());
    }
    std::vector<uint8_t> other = toneSamples(440, 2000, 22050);

    // A long file to stop: 10 s.
    std::string file = (std::filesystem::temp_directory_path() / "parlendo-audio-bench.wav").string();
    {
        std::vector<uint8_t> pcm = toneSamples(500, 10000);
        std::vector<uint8_t> bytes = wavHeader(static_cast<uint32_t>(pcm.size()), kVoiceRate, 1, 8);
        bytes.insert(bytes.end(), pcm.begin(), pcm.end());
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    EventLoop loop;
    KeyQueue keys;
    PipeKeys pipeKeys(keys);
    loop.add(&pipeKeys);
    std::string error;
    auto real = createSystemAudioDevice("", error);
    if (!real) {
        std::fprintf(stderr, "audio_bench: no sound device (%s); try SDL_AUDIODRIVER=dummy\n", error.c_str());
        return 1;
    }
    auto timedOwned = std::make_unique<TimedDevice>(std::move(real));
    TimedDevice* timed = timedOwned.get();
    auto player = createWavePlayerOn(std::move(timedOwned), keys, &loop);

    std::vector<double> warm, cold, stop;
    for (int r = 0; r < rounds; ++r) {
        // Warm: the device is open in this format from the round before (or the first play).
        player->playPcm(sentence.data(), 256, kVoiceRate, 1, 8);
        player->stopPlayer();
        timed->firstQueued.reset();
        auto t0 = Clock::now();
        player->playPcm(sentence.data(), sentence.size(), kVoiceRate, 1, 8);
        if (timed->firstQueued) warm.push_back(ms(*timed->firstQueued - t0));
        player->stopPlayer();
        // Cold: another format is open, so the device is closed and opened again first.
        player->playPcm(other.data(), 512, 22050, 1, 8);
        player->stopPlayer();
        timed->firstQueued.reset();
        t0 = Clock::now();
        player->playPcm(sentence.data(), sentence.size(), kVoiceRate, 1, 8);
        if (timed->firstQueued) cold.push_back(ms(*timed->firstQueued - t0));
        player->stopPlayer();

        // Stop: a key arrives 300 ms (plus a varying part) into a long file.
        keys.flushKeys();
        timed->cleared.reset();
        pipeKeys.typeAfter(std::chrono::milliseconds(300 + 7 * (r % 10)));
        player->playWavFile(file);
        pipeKeys.settle();
        if (timed->cleared) stop.push_back(ms(*timed->cleared - pipeKeys.typed));
        keys.flushKeys();
    }

    // The peer: SDL's calls made directly, with nothing of ours between, once our device is gone.
    player.reset();
    std::vector<double> sdlReopenQueue, sdlQueue, sdlClear;
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    auto openAt = [](int rate) {
        SDL_AudioSpec want{};
        SDL_AudioSpec have{};
        want.freq = rate;
        want.format = AUDIO_U8;
        want.channels = 1;
        want.samples = 512;
        SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (dev != 0) SDL_PauseAudioDevice(dev, 0);
        return dev;
    };
    for (int r = 0; r < rounds; ++r) {
        SDL_AudioDeviceID dev = openAt(22050);
        if (dev == 0) {
            std::fprintf(stderr, "audio_bench: SDL could not open the device: %s\n", SDL_GetError());
            break;
        }
        SDL_QueueAudio(dev, other.data(), 512);
        SDL_ClearQueuedAudio(dev);
        // Another format: close, open, queue the first piece.
        auto t0 = Clock::now();
        SDL_CloseAudioDevice(dev);
        dev = openAt(kVoiceRate);
        if (dev == 0) break;
        SDL_QueueAudio(dev, sentence.data(), 8192);
        sdlReopenQueue.push_back(ms(Clock::now() - t0));
        t0 = Clock::now();
        SDL_QueueAudio(dev, sentence.data(), 8192);
        sdlQueue.push_back(ms(Clock::now() - t0));
        t0 = Clock::now();
        SDL_ClearQueuedAudio(dev);
        sdlClear.push_back(ms(Clock::now() - t0));
        SDL_CloseAudioDevice(dev);
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::filesystem::remove(file);

    auto line = [](const char* what, const std::vector<double>& ours, const std::vector<double>& peer) {
        double a = median(ours);
        double b = median(peer);
        std::printf("%-36s median %7.3f ms  worst %7.3f ms   SDL direct %7.3f ms   ratio %6.1f  (%zu runs)\n",
                    what, a, ours.empty() ? 0 : *std::max_element(ours.begin(), ours.end()), b,
                    b > 0 ? a / b : 0, ours.size());
    };
    line("start, device open (playPcm)", warm, sdlQueue);
    line("start, device reopened (playPcm)", cold, sdlReopenQueue);
    line("stop, key to silence (playWavFile)", stop, sdlClear);
    return 0;
}
