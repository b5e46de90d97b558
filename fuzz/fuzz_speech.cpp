// Fuzz target for the speech front's readers of outside input: WAV recordings read for number
// words, and texts split by speak between recordings and the word voice.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "console/key_queue.h"
#include "console/recorded_voice.h"
#include "console/settings_file.h"
#include "console/voiced_speech.h"
#include "fuzz_scratch.h"
#include "platform/clock.h"
#include "tts/wave_player.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_speech: %s\n", what);
    std::abort();
}

// Counts what it is asked to play and checks that every piece is a sound it could play.
class CheckingPlayer final : public parlendo::WavePlayer {
public:
    int playPcm(const uint8_t* data, size_t length, int rate, int channels, int bits) override {
        if ((length > 0 && !data) || rate <= 0 || channels != 1 || bits != 8) fail("unplayable PCM");
        if (length > 30000) fail("a piece longer than the number buffer");
        return 0;
    }
    int playWavImage(const uint8_t*, size_t) override { return 0; }
    int playWavFile(std::string_view name) override {
        if (name.find('\0') != std::string_view::npos) fail("a file name with a zero byte");
        return 0;
    }
    bool playerBusy() override { return false; }
    void stopPlayer() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace parlendo;
    static const std::string folder = fuzzScratchFolder("parlendo-fuzz-speech");
    static KeyQueue keys;
    static CheckingPlayer player;
    static FixedClock clock(LocalTime{});
    static SettingsFile* settings = [] {
        std::ofstream(folder + "/oralix.ini") << "[TRADUTOR]\r\ndirLetras=" << folder << "\r\n";
        SettingsLocation where;
        where.executableFolder = folder;
        where.explicitFile = folder + "/oralix.ini";
        where.userFolder = folder;
        where.compatibilityFolder = folder;
        return new SettingsFile(where);
    }();
    static VoicedSpeech* speech = [] {
        auto* s = new VoicedSpeech(
            keys, player, *settings, clock, nullptr, nullptr, [](int) {}, EngineSwitch{}, folder);
        if (s->startSpeech(0, "") != 0) fail("start-up in the scratch folder");
        return s;
    }();

    FuzzedDataProvider in(data, size);
    std::string image = in.ConsumeRandomLengthString(4096);
    std::optional<std::string> samples = wavSamples8BitMono(image);
    if (samples && samples->size() > image.size()) fail("more samples than bytes");

    // A recording of a number word, as the voice will find it in its folder.
    std::ofstream(folder + "/_um.wav", std::ios::binary | std::ios::trunc) << image;
    int64_t n = in.ConsumeIntegralInRange<int64_t>(0, 999999999999999);
    std::string words = numberToWords(n);
    if (words.empty() || words.find("  ") != std::string::npos) fail("malformed number words");
    speech->recorded().sayNumberWords(words + " um", in.ConsumeBool());

    std::string text = in.ConsumeRemainingBytesAsString();
    speech->speak(text);
    speech->spell(text.substr(0, 64));
    return 0;
}
