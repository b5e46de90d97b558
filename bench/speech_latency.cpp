// Time from speak of a ten-word sentence to the first piece handed to the player, through the
// voiced speech front and the built-in voice (translator and diphone synthesiser, with the data
// in share/oralix/difones beside this program), against espeak-ng alone giving its first samples
// for the same sentence in the same run.
//
//   speech_latency [ROUNDS]      (default 50; the median and the best are printed)
#include <espeak-ng/speak_lib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/voiced_speech.h"
#include "platform/clock.h"
#include "text/cp1252.h"
#include "tts/builtin_voice.h"
#include "tts/wave_player.h"

namespace {

using Steady = std::chrono::steady_clock;

const char* kSentence = "O rádio toca música brasileira todas as noites na cidade.";

// Notes when the first piece arrives; plays nothing.
class StampingPlayer final : public parlendo::WavePlayer {
public:
    int playPcm(const uint8_t*, size_t, int, int, int) override {
        if (first == Steady::time_point{}) first = Steady::now();
        return 0;
    }
    int playWavImage(const uint8_t*, size_t) override {
        if (first == Steady::time_point{}) first = Steady::now();
        return 0;
    }
    int playWavFile(std::string_view) override { return 0; }
    bool playerBusy() override { return false; }
    void stopPlayer() override {}
    Steady::time_point first{};
};

Steady::time_point peerFirst{};

int peerSamples(short* samples, int count, espeak_EVENT*) {
    if (count > 0 && peerFirst == Steady::time_point{}) peerFirst = Steady::now();
    return 0;
}

double ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void report(const char* name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-34s median %7.2f ms   best %7.2f ms   worst %7.2f ms\n", name, v[v.size() / 2], v.front(),
                v.back());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace parlendo;
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    auto folder = std::filesystem::temp_directory_path() / ("speech-latency-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    // The recordings and the voice's data the build made beside this program.
    const std::string programFolder = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    std::ofstream(folder / "oralix.ini") << "[TRADUTOR]\r\n";
    SettingsLocation where;
    where.executableFolder = programFolder;
    where.explicitFile = (folder / "oralix.ini").string();
    where.userFolder = folder.string();
    where.compatibilityFolder = folder.string();
    SettingsFile settings(where);
    KeyQueue keys;
    StampingPlayer player;
    FixedClock clock(LocalTime{});
    auto noWait = [](int) {};
    auto voice = std::make_unique<BuiltinVoice>(player, keys, settings, programFolder, noWait);
    VoicedSpeech speech(keys, player, settings, clock, std::move(voice), nullptr, noWait, EngineSwitch{},
                        programFolder);
    if (int error = speech.startSpeech(0, ""); error != 0) {
        std::fprintf(stderr,
                     "speech_latency: the built-in voice did not start (error %d): are %s/share/oralix/"
                     "difones and letras built?\n",
                     error, programFolder.c_str());
        return 1;
    }
    // espeak-ng alone, for the peer's rounds.
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0 ||
        espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "speech_latency: espeak-ng has no Brazilian Portuguese voice\n");
        return 1;
    }
    const std::string text = text::utf8ToCp1252(kSentence);
    std::vector<double> ours, peer;
    speech.speak(text);  // warm-up of both
    for (int r = 0; r < rounds; ++r) {
        player.first = {};
        Steady::time_point start = Steady::now();
        speech.speak(text);
        if (player.first == Steady::time_point{}) {
            std::fprintf(stderr, "speech_latency: no samples were played\n");
            return 1;
        }
        ours.push_back(ms(player.first - start));

        espeak_SetSynthCallback(peerSamples);
        peerFirst = {};
        start = Steady::now();
        espeak_Synth(kSentence, std::strlen(kSentence) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     nullptr);
        peer.push_back(ms(peerFirst - start));
    }
    std::filesystem::remove_all(folder);
    std::printf("ten-word sentence, %d rounds: time until the first samples\n", rounds);
    report("speak -> first piece played", ours);
    report("espeak-ng alone -> first samples", peer);
    std::sort(ours.begin(), ours.end());
    std::sort(peer.begin(), peer.end());
    std::printf("ratio (median) speak / espeak-ng alone: %.2f   goal: speak under 10 ms\n",
                ours[ours.size() / 2] / peer[peer.size() / 2]);
    return 0;
}
