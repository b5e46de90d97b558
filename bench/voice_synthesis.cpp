// The built-in voice alone against espeak-ng alone, in one process: the text of the file given
// (UTF-8) is translated and synthesised into memory (the sound buffer's pieces counted, nothing
// played) and, in turn, synthesised by libespeak-ng's Brazilian Portuguese voice into memory.
//
//   voice_synthesis TEXT_FILE [ROUNDS]     (default 5; the best round of each counts)
//
// The data are those of share/oralix/difones beside this program.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "text/cp1252.h"
#include "tts/diphone_database.h"
#include "tts/diphone_synthesiser.h"
#include "tts/translator.h"

namespace {

using Steady = std::chrono::steady_clock;

class CountingSink final : public parlendo::SoundSink {
public:
    bool play(const uint8_t*, size_t size) override {
        samples += size - parlendo::DiphoneSynthesiser::kHeaderSize;
        return true;
    }
    size_t samples = 0;
};

size_t peerSamples = 0;
int onPeerSamples(short*, int count, espeak_EVENT*) {
    if (count > 0) peerSamples += static_cast<size_t>(count);
    return 0;
}

double ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    using namespace parlendo;
    if (argc < 2) {
        std::fprintf(stderr, "usage: voice_synthesis TEXT_FILE [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string utf8 = ss.str();
    if (utf8.empty()) {
        std::fprintf(stderr, "voice_synthesis: no text in %s\n", argv[1]);
        return 2;
    }
    const std::string folder =
        (std::filesystem::canonical("/proc/self/exe").parent_path() / "share/oralix/difones/").string();
    Translator translator;
    DiphoneDatabase database;
    if (!translator.loadTranslatorRules(folder + "regras.rgr") ||
        !translator.loadTranslatorExceptions(folder + "portug.exc") ||
        !database.open(folder + "DIFONES2.IND", folder + "DIFONES2.DIF")) {
        std::fprintf(stderr, "voice_synthesis: the voice's data are missing in %s\n", folder.c_str());
        return 1;
    }
    DiphoneSynthesiser synthesiser(database);
    CountingSink sink;
    synthesiser.setSink(&sink);
    synthesiser.setFadeCutEnds(true);
    synthesiser.setMelody(true);  // as the built-in voice says it
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 500, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "voice_synthesis: espeak-ng has no Brazilian Portuguese voice\n");
        return 1;
    }
    espeak_SetSynthCallback(onPeerSamples);

    const std::string text = text::utf8ToCp1252(utf8);
    double ours = 1e30, peer = 1e30;
    for (int r = 0; r < rounds; ++r) {
        sink.samples = 0;
        Steady::time_point start = Steady::now();
        synthesiser.synthesise(translator.translateText(text));
        ours = std::min(ours, ms(Steady::now() - start));

        peerSamples = 0;
        start = Steady::now();
        espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
        espeak_Synchronize();
        peer = std::min(peer, ms(Steady::now() - start));
    }
    std::printf("voice alone, in memory, best of %d:\n", rounds);
    std::printf("built-in voice (translate + synthesise)  %8.2f ms   %6.1f s of sound\n", ours,
                static_cast<double>(sink.samples) / 11025.0);
    std::printf("espeak-ng library (pt-br)                %8.2f ms   %6.1f s of sound\n", peer,
                static_cast<double>(peerSamples) / rate);
    std::printf("ratio espeak-ng / built-in voice: %.1f   goal: at least 10\n", peer / ours);
    return 0;
}
