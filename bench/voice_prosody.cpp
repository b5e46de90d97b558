// How the built-in voice's words hold together and how its phrases sound, against espeak-ng's
// Brazilian Portuguese voice on the same sentences (one a line, UTF-8), in one run:
//   - silent gaps longer than 5 ms inside a word said alone, counted for both voices; the ones
//     the built-in voice has beyond espeak-ng's in the same word (goal: none). espeak-ng's word is
//     first brought to the built-in voice's loudness and rounded to its 8-bit steps: the voicing
//     of a stop's closure, a step or two there, reads as silence in both or in neither;
//   - the energy dip at joins of two vowels inside the built-in voice's sentences: the level
//     10 ms either side of the join against the lowest 10 ms across it (goal: median under 6 dB);
//   - the pitch range of every sentence (10th to 90th percentile of the voiced frames, in
//     semitones; goal at least 3) and its end: the last 300 ms against the sentence's median;
//   - the mean length of stressed and unstressed units of the built-in voice.
// The built-in voice runs with the default timing (no cut, no word gap) and its melody, as the
// voice says it; --plain leaves the melody off, --database DIR takes another database (for
// figures of an older one), --joins prints every vowel join's dip with its two units.
//
//   voice_prosody SENTENCES [--plain] [--database DIR] [--joins]
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text/cp1252.h"
#include "tts/diphone_database.h"
#include "tts/diphone_synthesiser.h"
#include "tts/translator.h"

namespace {

using namespace parlendo;
constexpr int kRate = 11025;

class Collect final : public SoundSink {
public:
    bool play(const uint8_t* image, size_t size) override {
        for (size_t i = DiphoneSynthesiser::kHeaderSize; i < size; ++i) samples.push_back(image[i] - 128.0);
        return true;
    }
    std::vector<double> samples;
};

std::vector<short> g_peer;
int onPeer(short* wav, int count, espeak_EVENT*) {
    if (wav && count > 0) g_peer.insert(g_peer.end(), wav, wav + count);
    return 0;
}

// espeak-ng's sound at the built-in voice's rate (its rate is twice that: pairs averaged), scaled
// to the same 8-bit steps.
std::vector<double> peerSay(const std::string& utf8, int peerRate) {
    g_peer.clear();
    espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    espeak_Synchronize();
    const int step = std::max(1, peerRate / kRate);
    std::vector<double> out;
    for (size_t i = 0; i + step <= g_peer.size(); i += step) {
        double sum = 0;
        for (int k = 0; k < step; ++k) sum += g_peer[i + k];
        out.push_back(sum / step / 256.0);
    }
    return out;
}

double rmsDb(const std::vector<double>& s, long from, long to);

// The loudest 10 ms of a sound, in dB.
double loudestDb(const std::vector<double>& s) {
    double loudest = -100;
    for (long i = 0; i + 110 <= static_cast<long>(s.size()); i += 55)
        loudest = std::max(loudest, rmsDb(s, i, i + 110));
    return loudest;
}

// A sound at the loudness of another (their loudest 10 ms), rounded to whole 8-bit steps as the
// built-in voice's samples are.
std::vector<double> asEightBitLike(std::vector<double> s, const std::vector<double>& like) {
    const double gain = std::pow(10.0, (loudestDb(like) - loudestDb(s)) / 20);
    for (double& x : s) x = std::clamp(std::round(x * gain), -128.0, 127.0);
    return s;
}

double rmsDb(const std::vector<double>& s, long from, long to) {
    from = std::max(0L, from);
    to = std::min(static_cast<long>(s.size()), to);
    if (to <= from) return -100;
    double sum = 0;
    for (long i = from; i < to; ++i) sum += s[i] * s[i];
    return 10 * std::log10(sum / (to - from) + 1e-9);
}

// Silent runs longer than 5 ms between a word's first and last sound: 1 ms frames 40 dB below
// the loudest 10 ms.
int gapsInside(const std::vector<double>& s) {
    const long frame = kRate / 1000;
    const double loudest = loudestDb(s);
    std::vector<bool> silent;
    for (long i = 0; i + frame <= static_cast<long>(s.size()); i += frame)
        silent.push_back(rmsDb(s, i, i + frame) < loudest - 40);
    size_t first = 0, last = silent.size();
    while (first < last && silent[first]) ++first;
    while (last > first && silent[last - 1]) --last;
    int gaps = 0, run = 0;
    for (size_t i = first; i < last; ++i) {
        run = silent[i] ? run + 1 : 0;
        if (run == 6) ++gaps;
    }
    return gaps;
}

// The pitch of 40 ms frames every 10 ms by autocorrelation (60 to 300 Hz); 0 when unvoiced.
std::vector<double> pitchTrack(const std::vector<double>& s) {
    const long window = kRate * 40 / 1000, hop = kRate / 100;
    const long minLag = kRate / 300, maxLag = kRate / 60;
    double loudest = -100;
    for (long i = 0; i + window <= static_cast<long>(s.size()); i += hop)
        loudest = std::max(loudest, rmsDb(s, i, i + window));
    std::vector<double> f0;
    for (long i = 0; i + window + maxLag <= static_cast<long>(s.size()); i += hop) {
        if (rmsDb(s, i, i + window) < loudest - 25) {
            f0.push_back(0);
            continue;
        }
        double energy = 0;
        for (long k = 0; k < window; ++k) energy += s[i + k] * s[i + k];
        double best = 0;
        long bestLag = 0;
        for (long lag = minLag; lag <= maxLag; ++lag) {
            double sum = 0, other = 0;
            for (long k = 0; k < window; ++k) {
                sum += s[i + k] * s[i + k + lag];
                other += s[i + k + lag] * s[i + k + lag];
            }
            const double r = sum / std::sqrt(energy * other + 1e-9);
            if (r > best) {
                best = r;
                bestLag = lag;
            }
        }
        f0.push_back(best > 0.6 ? static_cast<double>(kRate) / bestLag : 0);
    }
    return f0;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * (v.size() - 1))];
}

struct Melody {
    double range = 0, end = 0;
};

// Range of the voiced frames in semitones (10th to 90th percentile) and the median of the last
// 300 ms of voiced frames against the median of all, in semitones.
Melody melodyOf(const std::vector<double>& s) {
    std::vector<double> voiced;
    for (double f : pitchTrack(s))
        if (f > 0) voiced.push_back(12 * std::log2(f));
    Melody m;
    if (voiced.size() < 10) return m;
    m.range = percentile(voiced, 0.9) - percentile(voiced, 0.1);
    std::vector<double> tail(voiced.end() - std::min<long>(30, static_cast<long>(voiced.size()) / 3),
                             voiced.end());
    m.end = percentile(tail, 0.5) - percentile(voiced, 0.5);
    return m;
}

bool endsInVowel(const std::string& name) {
    std::string n = name;
    for (const char* mark : {"CIRC", "TIL"})
        if (n.size() > std::strlen(mark) &&
            n.compare(n.size() - std::strlen(mark), std::string::npos, mark) == 0)
            return true;
    return std::strchr("AEIOUWY", n.back()) != nullptr;
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: voice_prosody SENTENCES [--plain] [--database DIR] [--joins]\n");
        return 2;
    }
    bool plain = false, joins = false;
    std::string folder =
        (std::filesystem::canonical("/proc/self/exe").parent_path() / "share/oralix/difones/").string();
    std::string databaseFolder = folder;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--plain")
            plain = true;
        else if (std::string(argv[i]) == "--joins")
            joins = true;
        else if (std::string(argv[i]) == "--database" && i + 1 < argc)
            databaseFolder = std::string(argv[++i]) + "/";
    }
    std::ifstream in(argv[1]);
    std::vector<std::string> sentences;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) sentences.push_back(line);
    Translator translator;
    DiphoneDatabase database;
    if (!translator.loadTranslatorRules(folder + "regras.rgr") ||
        !translator.loadTranslatorExceptions(folder + "portug.exc") ||
        !database.open(databaseFolder + "DIFONES2.IND", databaseFolder + "DIFONES2.DIF")) {
        std::fprintf(stderr, "voice_prosody: the voice's data are missing\n");
        return 1;
    }
    DiphoneSynthesiser synth(database);
    Collect sink;
    synth.setSink(&sink);
    synth.setFadeCutEnds(true);
    synth.setMelody(!plain);
    synth.setDiphoneTiming(0, 0, 0);  // the settings' defaults
    const int peerRate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 500, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (peerRate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "voice_prosody: espeak-ng has no Brazilian Portuguese voice\n");
        return 1;
    }
    espeak_SetSynthCallback(onPeer);

    int words = 0, oursGaps = 0, peerGaps = 0, extraGaps = 0;
    std::vector<double> dips, stressed, unstressed;
    std::vector<double> oursRange, oursEnd, peerRange, peerEnd;
    std::printf("%-42s %8s %8s %8s %8s\n", "sentence", "range", "end", "espeak", "end");
    for (const std::string& sentence : sentences) {
        for (const std::string& w : wordsOf(sentence)) {
            sink.samples.clear();
            synth.synthesise(translator.translateText(text::utf8ToCp1252(w)));
            const int ours = gapsInside(sink.samples);
            const int peer = gapsInside(asEightBitLike(peerSay(w, peerRate), sink.samples));
            ++words;
            oursGaps += ours;
            peerGaps += peer;
            extraGaps += std::max(0, ours - peer);
            if (ours > peer) std::printf("  gaps in \"%s\": %d (espeak-ng %d)\n", w.c_str(), ours, peer);
        }
        // The sentence: where each diphone starts, its length mode.
        struct Piece {
            std::string name;
            size_t at;
            int mode;
        };
        std::vector<Piece> pieces;
        synth.setLookupReport([&](std::string_view name, LookupOutcome outcome) {
            if (outcome == LookupOutcome::Found)
                pieces.push_back({std::string(name), synth.produced(), synth.lengthMode()});
        });
        sink.samples.clear();
        synth.synthesise(translator.translateText(text::utf8ToCp1252(sentence)));
        synth.setLookupReport(nullptr);
        const std::vector<double>& s = sink.samples;
        for (size_t k = 0; k < pieces.size(); ++k) {
            const double length =
                static_cast<double>((k + 1 < pieces.size() ? pieces[k + 1].at : s.size()) - pieces[k].at);
            if (pieces[k].name.find_first_of("AEIOU", 1) != std::string::npos)
                (pieces[k].mode == 2 ? stressed : unstressed).push_back(length * 1000 / kRate);
            if (k > 0 && std::strchr("AEIOU", pieces[k].name[1]) && endsInVowel(pieces[k - 1].name) &&
                pieces[k].at > pieces[k - 1].at) {
                const long p = static_cast<long>(pieces[k].at), ten = kRate / 100;
                const double around = (rmsDb(s, p - 2 * ten, p - ten) + rmsDb(s, p + ten, p + 2 * ten)) / 2;
                double lowest = 100;
                for (long q = p - ten; q <= p; q += ten / 10) lowest = std::min(lowest, rmsDb(s, q, q + ten));
                dips.push_back(around - lowest);
                if (joins)
                    std::printf("  join %s + %s: %.1f dB (before %.1f, after %.1f, lowest %.1f)\n",
                                pieces[k - 1].name.c_str(), pieces[k].name.c_str(), around - lowest,
                                rmsDb(s, p - 2 * ten, p - ten), rmsDb(s, p + ten, p + 2 * ten), lowest);
            }
        }
        Melody ours = melodyOf(s), peer = melodyOf(peerSay(sentence, peerRate));
        oursRange.push_back(ours.range);
        oursEnd.push_back(ours.end);
        peerRange.push_back(peer.range);
        peerEnd.push_back(peer.end);
        std::printf("%-42s %8.1f %8.1f %8.1f %8.1f\n", sentence.substr(0, 42).c_str(), ours.range, ours.end,
                    peer.range, peer.end);
    }
    auto mean = [](const std::vector<double>& v) {
        double sum = 0;
        for (double x : v) sum += x;
        return v.empty() ? 0 : sum / v.size();
    };
    std::printf("\nbuilt-in voice%s, %zu sentences, %d words alone:\n", plain ? " without its melody" : "",
                sentences.size(), words);
    std::printf(
        "silent gaps > 5 ms inside words: built-in %d, espeak-ng %d; beyond espeak-ng's: %d   goal: 0\n",
        oursGaps, peerGaps, extraGaps);
    std::printf(
        "energy dip at vowel joins: median %.1f dB over %zu joins (90th percentile %.1f)   goal: under 6\n",
        percentile(dips, 0.5), dips.size(), percentile(dips, 0.9));
    std::printf(
        "pitch range per sentence: built-in lowest %.1f, median %.1f semitones; espeak-ng median %.1f   "
        "goal: at least 3\n",
        percentile(oursRange, 0), percentile(oursRange, 0.5), percentile(peerRange, 0.5));
    std::printf(
        "end of sentence against its median: built-in median %.1f (highest %.1f), espeak-ng median %.1f "
        "semitones   goal: below 0\n",
        percentile(oursEnd, 0.5), percentile(oursEnd, 1), percentile(peerEnd, 0.5));
    std::printf("unit lengths: stressed %.0f ms (%zu), unstressed %.0f ms (%zu), ratio %.2f\n",
                mean(stressed), stressed.size(), mean(unstressed), unstressed.size(),
                mean(stressed) / std::max(1.0, mean(unstressed)));
    espeak_Terminate();
    return 0;
}
