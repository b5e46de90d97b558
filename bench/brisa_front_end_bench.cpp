// Speed of the Brisa voice's front end (text to PhonemeString) on a text of about 1,000 words,
// against espeak-ng's own text-to-phoneme conversion of the same text in the same run, and the
// time to the PhonemeString of its first sentence.
//
//   brisa_front_end_bench DATA_FOLDER TEXT_FILE [ROUNDS]   (data folder with portug.*; 20 rounds)
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "text/cp1252.h"
#include "tts/brisa_front_end.h"

namespace {

using Steady = std::chrono::steady_clock;

double microsecondsPer(int rounds, auto&& work) {
    double best = 1e300;
    for (int trial = 0; trial < 5; ++trial) {
        const auto start = Steady::now();
        for (int i = 0; i < rounds; ++i) work();
        best =
            std::min(best, std::chrono::duration<double, std::micro>(Steady::now() - start).count() / rounds);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: brisa_front_end_bench DATA_FOLDER TEXT_FILE [ROUNDS]\n");
        return 2;
    }
    const std::string base = std::string(argv[1]) + "/portug.";
    parlendo::BrisaFrontEnd front;
    if (!front.loadRules(base + "nrl") || !front.loadExceptions(base + "exc") ||
        !front.loadAbbreviations(base + "abr") || !front.loadProsody(base + "pro") ||
        !front.loadDiphones(base + "dfn")) {
        std::fprintf(stderr, "brisa_front_end_bench: cannot read the data files in %s\n", argv[1]);
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    const std::string utf8 = all.str();
    if (utf8.empty()) {
        std::fprintf(stderr, "brisa_front_end_bench: cannot read %s\n", argv[2]);
        return 2;
    }
    const std::string text = parlendo::text::externalToCp1252(utf8);
    size_t words = 0;
    for (size_t i = 0; i < utf8.size(); ++i)
        words += (utf8[i] != ' ' && utf8[i] != '\n') && (i == 0 || utf8[i - 1] == ' ' || utf8[i - 1] == '\n');
    const std::string first = text.substr(0, text.find_first_of(".!?") + 1);
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;

    size_t sink = 0;
    const double ours = microsecondsPer(rounds, [&] { sink += front.phonemeString(text, 1.0, 0.8).size(); });
    const double sentence =
        microsecondsPer(rounds * 20, [&] { sink += front.phonemeString(first, 1.0, 0.8).size(); });
    std::printf("text: %zu words, %zu bytes; first sentence %zu bytes\n", words, text.size(), first.size());
    std::printf("  Brisa front end, whole text      %10.1f us\n", ours);
    std::printf("  Brisa front end, first sentence  %10.1f us\n", sentence);
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT) < 0 ||
        espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::printf("  (espeak-ng not available)\n");
        return 0;
    }
    const double peer = microsecondsPer(std::max(1, rounds / 4), [&] {
        const void* p = utf8.c_str();
        while (p) {
            const char* piece = espeak_TextToPhonemes(&p, espeakCHARS_UTF8, 0);
            if (piece) sink += std::char_traits<char>::length(piece);
        }
    });
    std::printf("  espeak-ng TextToPhonemes pt-br   %10.1f us\n", peer);
    std::printf("  ratio espeak-ng / Brisa          %10.2f\n", peer / ours);
    std::printf("  (checksum %zu)\n", sink);
    espeak_Terminate();
    return 0;
}
