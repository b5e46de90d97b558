// Time from the front's speak (what ESCREVE calls) of a ten-word sentence to the first samples
// handed to the player, with espeak-ng in this process as the engine (type 4), against the
// built-in voice (translator and diphone synthesiser, data in share/oralix beside this program)
// and against the espeak-ng command writing the same sentence to a file, all in the same run.
// The command's sound exists only once its file is written: it is timed from start to exit.
//
//   espeak_engine_bench [ROUNDS]      (default 30; the median and the best are printed)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "console/key_queue.h"
#include "console/settings_file.h"
#include "console/voiced_speech.h"
#include "platform/clock.h"
#include "text/cp1252.h"
#include "tts/builtin_voice.h"
#include "tts/system_voices.h"
#include "tts/wave_player.h"

extern char** environ;

namespace {

using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

const char* kSentence = "O rádio toca música brasileira todas as noites na cidade.";

// Notes when the first piece arrives and when it is stopped; plays nothing, and is busy from a
// piece until it is stopped when `holds` is set.
class StampingPlayer final : public parlendo::WavePlayer {
public:
    int playPcm(const uint8_t*, size_t, int rate, int, int bits) override {
        if (first == Steady::time_point{}) {
            first = Steady::now();
            firstRate = rate;
            firstBits = bits;
        }
        busy = holds;
        return 0;
    }
    int playWavImage(const uint8_t*, size_t) override { return 0; }
    int playWavFile(std::string_view) override { return 0; }
    bool playerBusy() override { return busy; }
    void stopPlayer() override {
        if (busy) stopped = Steady::now();
        busy = false;
    }
    Steady::time_point first{}, stopped{};
    int firstRate = 0, firstBits = 0;
    bool holds = false, busy = false;
};

double ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char* name, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-40s median %8.2f ms   best %8.2f ms   worst %8.2f ms\n", name, v[v.size() / 2], v.front(),
                v.back());
}

// A front over `player` whose settings are `ini`; an engine of type 4 is espeak-ng in process.
struct Front {
    Front(const fs::path& folder, const std::string& name, const std::string& ini,
          const std::string& programFolder)
        : settings(where(folder, name, ini, programFolder)), clock(parlendo::LocalTime{}) {
        // The front's waits sleep as the event loop does: a key that arrives during a step is
        // collected, and the step ends at its time.
        std::function<void(int)> noWait = [this](int milliseconds) {
            if (!sleeps) return;
            auto end = Steady::now() + std::chrono::milliseconds(milliseconds);
            if (keyDue != Steady::time_point{} && keyDue < end) {
                std::this_thread::sleep_until(keyDue);
                keys.pushKey('x');
                keyDue = {};
            }
            std::this_thread::sleep_until(end);
        };
        auto voice = std::make_unique<parlendo::BuiltinVoice>(player, keys, settings, programFolder, noWait);
        parlendo::EngineSwitch engines = [this, noWait](int type) -> std::unique_ptr<parlendo::SpeechOutput> {
            if (type != 4) return nullptr;
            return parlendo::createEspeakVoice(player, keys, noWait);
        };
        speech = std::make_unique<parlendo::VoicedSpeech>(keys, player, settings, clock, std::move(voice),
                                                          nullptr, noWait, engines, programFolder);
    }
    // Milliseconds from a key arriving, `after` ms into the speech, to the player's silence.
    double silence(const std::string& text, int after) {
        player.holds = true;
        sleeps = true;
        speech->speak(text);
        keyDue = Steady::now() + std::chrono::milliseconds(after);
        Steady::time_point due = keyDue;
        player.stopped = {};
        speech->waitSpeech();
        keys.flushKeys();
        sleeps = false;
        player.holds = false;
        if (player.stopped == Steady::time_point{}) return -1;
        return ms(player.stopped - due);
    }
    bool sleeps = false;
    Steady::time_point keyDue{};
    static parlendo::SettingsLocation where(const fs::path& folder, const std::string& name,
                                            const std::string& ini, const std::string& programFolder) {
        std::ofstream(folder / name, std::ios::binary) << ini;
        parlendo::SettingsLocation w;
        w.executableFolder = programFolder;
        w.explicitFile = (folder / name).string();
        w.userFolder = folder.string();
        w.compatibilityFolder = folder.string();
        return w;
    }
    // Milliseconds from speak to the first piece; negative when nothing was played.
    double time(const std::string& text) {
        player.first = {};
        Steady::time_point start = Steady::now();
        speech->speak(text);
        if (player.first == Steady::time_point{}) return -1;
        return ms(player.first - start);
    }

    parlendo::KeyQueue keys;
    StampingPlayer player;
    parlendo::SettingsFile settings;
    parlendo::FixedClock clock;
    std::unique_ptr<parlendo::VoicedSpeech> speech;
};

// Milliseconds the espeak-ng command takes to write the sentence to `file`; negative on failure.
double timeCommand(const fs::path& file) {
    std::string out = file.string();
    const char* argv[] = {"espeak-ng", "-v", "pt-br", "-w", out.c_str(), kSentence, nullptr};
    Steady::time_point start = Steady::now();
    pid_t pid;
    if (posix_spawnp(&pid, "espeak-ng", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    double t = ms(Steady::now() - start);
    std::error_code ec;
    return fs::file_size(file, ec) > 44 ? t : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    fs::path folder = fs::temp_directory_path() / ("espeak-engine-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string programFolder = fs::canonical("/proc/self/exe").parent_path().string();
    Front builtin(folder, "builtin.ini", "[TRADUTOR]\r\n", programFolder);
    Front engine(folder, "engine.ini", "[TRADUTOR]\r\nSAPI=Sim\r\n[SERVFALA]\r\nTIPOSAPI=4\r\n",
                 programFolder);
    if (builtin.speech->startSpeech(0, "") != 0 || engine.speech->startSpeech(0, "") != 0) {
        std::fprintf(stderr,
                     "espeak_engine_bench: the built-in voice did not start: are %s/share/oralix/difones"
                     " and letras built?\n",
                     programFolder.c_str());
        return 1;
    }
    const std::string text = parlendo::text::utf8ToCp1252(kSentence);
    // Warm-up of both fronts; the engine's first piece must be espeak-ng's sound.
    builtin.time(text);
    engine.time(text);
    if (engine.player.firstRate != 22050 || engine.player.firstBits != 16) {
        std::fprintf(stderr,
                     "espeak_engine_bench: the engine did not speak through espeak-ng (%d Hz, %d bits)\n",
                     engine.player.firstRate, engine.player.firstBits);
        return 1;
    }
    std::vector<double> ours, voice, command;
    for (int r = 0; r < rounds; ++r) {
        double a = engine.time(text), b = builtin.time(text), c = timeCommand(folder / "command.wav");
        if (a < 0 || b < 0 || c < 0) {
            std::fprintf(stderr, "espeak_engine_bench: a round gave no sound (%.2f %.2f %.2f)\n", a, b, c);
            return 1;
        }
        ours.push_back(a);
        voice.push_back(b);
        command.push_back(c);
    }
    // Key to silence while the engine's sentence plays, the key arriving at a different moment of
    // the front's 10 ms wait each round.
    std::vector<double> silence;
    for (int r = 0; r < rounds; ++r) {
        double t = engine.silence(text, 50 + (r * 7) % 10);
        if (t < 0) {
            std::fprintf(stderr, "espeak_engine_bench: a key did not silence the engine\n");
            return 1;
        }
        silence.push_back(t);
    }
    engine.speech->shutdownSpeech();
    builtin.speech->shutdownSpeech();
    fs::remove_all(folder);
    std::printf("ten-word sentence, %d rounds: time until the first samples\n", rounds);
    report("speak -> first piece, espeak-ng engine", ours);
    report("speak -> first piece, built-in voice", voice);
    report("espeak-ng -w FILE, start to exit", command);
    std::printf("ratio (median) espeak-ng engine / built-in voice: %.2f\n", median(ours) / median(voice));
    std::printf("ratio (median) espeak-ng engine / espeak-ng command: %.3f\n",
                median(ours) / median(command));
    report("key -> silence, espeak-ng engine", silence);
    std::printf("key -> silence, worst against the 20 ms goal: %.2f\n",
                *std::max_element(silence.begin(), silence.end()) / 20.0);
    return 0;
}
