// The whole Brisa voice (front end and synthesizer, as the engine drives them, into memory)
// against espeak-ng's Brazilian Portuguese voice, in one run:
//   - melody, measured on the output by a pitch tracker: on statements (the sentences file) the
//     last 300 ms of voiced sound against the sentence's median (goal: below 0); on questions the
//     last stressed vowel (the one whose pitch point sits at 80 %) at that point against the
//     median of the voiced sound before it (goal: above 0);
//   - how closely the output follows the PhonemeString's pitch points (joined by straight lines,
//     as the synthesizer joins them) at the centres of vowels longer than 60 ms, over the text
//     (goal: within one semitone);
//   - silent gaps longer than 5 ms inside every word of the sentences said alone (1 ms frames
//     40 dB below the word's loudest 10 ms), for both voices, espeak-ng's brought to 16 kHz; the
//     ones the Brisa voice has beyond espeak-ng's in the same word (goal: none);
//   - speed on the text (about 1,000 words): text to samples, best of 3, against espeak-ng's text
//     to samples (goal: 10 times faster), and the time from a sentence's text to its first
//     samples (goal: within 20 ms).
// The engine's default speed and pitch: duration factor 0.8, pitch factor 1.0.
//
//   brisa_voice_bench LIBRARY DATABASE DATA_FOLDER SENTENCES TEXT [--lines]
//   (--lines prints the PhonemeString of every word with a gap beyond espeak-ng's)
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "text/cp1252.h"
#include "tts/brisa_front_end.h"
#include "tts/mbrola_library.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 16000;
constexpr double kDurationFactor = 0.8, kPitchFactor = 1.0;

const char* const kQuestions[] = {
    "Qual sua opção?",
    "Deseja sair do programa?",
    "Você quer ouvir a estação?",
    "A rádio saiu do ar?",
    "Onde está a lista de favoritos?",
    "Quer salvar a programação?",
    "Encontrou a música que procurava?",
    "Posso tocar a próxima rádio?",
};

struct Line {
    std::string name;
    double startMs = 0, ms = 0;
    std::vector<std::pair<double, double>> pitch;  // (percent, Hz)
};

// The PhonemeString's phoneme lines on a time line ("NAME MS [PERCENT HZ]...").
std::vector<Line> timeLine(const std::vector<std::string>& lines) {
    std::vector<Line> out;
    double at = 0;
    for (const std::string& text : lines) {
        if (text.empty() || text[0] == ';') continue;
        std::istringstream in(text);
        Line l;
        in >> l.name >> l.ms;
        for (double p, hz; in >> p >> hz;) l.pitch.emplace_back(p, hz);
        l.startMs = at;
        at += l.ms;
        out.push_back(std::move(l));
    }
    return out;
}

// The pitch asked at a moment: the points joined by straight lines, held before the first and
// after the last; 0 without points.
double askedAt(const std::vector<Line>& lines, double ms) {
    double beforeMs = -1, beforeHz = 0;
    for (const Line& l : lines)
        for (auto [p, hz] : l.pitch) {
            const double t = l.startMs + l.ms * p / 100;
            if (t <= ms) {
                beforeMs = t, beforeHz = hz;
            } else {
                if (beforeMs < 0) return hz;
                return beforeHz + (hz - beforeHz) * (ms - beforeMs) / std::max(1e-9, t - beforeMs);
            }
        }
    return beforeHz;
}

bool isVowel(const std::string& n) { return !n.empty() && std::strchr("a6eEioOu", n[0]) != nullptr; }

// Pitch around a sample by normalised autocorrelation over 30 ms (50 to 400 Hz); 0 when unvoiced.
double pitchAt(const std::vector<short>& s, size_t centre) {
    const size_t window = 480;
    if (centre < window / 2 || centre + window / 2 + 320 > s.size()) return 0;
    const size_t a = centre - window / 2;
    std::vector<double> score(321, 0);
    double best = 0;
    for (size_t lag = 40; lag <= 320; ++lag) {
        double r = 0, e0 = 0, e1 = 0;
        for (size_t i = 0; i < window; ++i) {
            r += double(s[a + i]) * s[a + i + lag];
            e0 += double(s[a + i]) * s[a + i];
            e1 += double(s[a + i + lag]) * s[a + i + lag];
        }
        score[lag] = r / std::sqrt(std::max(1.0, e0 * e1));
        best = std::max(best, score[lag]);
    }
    if (best < 0.6) return 0;
    // The shortest lag nearly as good as the best, at its local peak.
    for (size_t lag = 41; lag < 320; ++lag)
        if (score[lag] > 0.9 * best && score[lag] >= score[lag - 1] && score[lag] >= score[lag + 1])
            return double(kRate) / lag;
    return 0;
}

double rmsDb(const std::vector<short>& s, long from, long to) {
    from = std::max(0L, from);
    to = std::min(static_cast<long>(s.size()), to);
    if (to <= from) return -100;
    double sum = 0;
    for (long i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return 10 * std::log10(sum / (to - from) + 1e-9);
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * (v.size() - 1))];
}

// Where silent runs longer than 5 ms lie between a word's first and last sound (ms from its
// start): 1 ms frames 40 dB below the loudest 10 ms.
std::vector<double> gapsInside(const std::vector<short>& s) {
    const long frame = kRate / 1000;
    double loudest = -100;
    for (long i = 0; i + 160 <= static_cast<long>(s.size()); i += 80)
        loudest = std::max(loudest, rmsDb(s, i, i + 160));
    std::vector<bool> silent;
    for (long i = 0; i + frame <= static_cast<long>(s.size()); i += frame)
        silent.push_back(rmsDb(s, i, i + frame) < loudest - 40);
    size_t first = 0, last = silent.size();
    while (first < last && silent[first]) ++first;
    while (last > first && silent[last - 1]) --last;
    std::vector<double> gaps;
    int run = 0;
    for (size_t i = first; i < last; ++i) {
        run = silent[i] ? run + 1 : 0;
        if (run == 6) gaps.push_back(static_cast<double>(i) - 5);
    }
    return gaps;
}

std::vector<short> g_peer;
int onPeer(short* wav, int count, espeak_EVENT*) {
    if (wav && count > 0) g_peer.insert(g_peer.end(), wav, wav + count);
    return 0;
}

void peerSay(const std::string& utf8) {
    g_peer.clear();
    espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    espeak_Synchronize();
}

// espeak-ng's sound brought to 16 kHz (straight lines between its samples).
std::vector<short> peerAt16k(int peerRate) {
    std::vector<short> out;
    if (g_peer.size() < 2) return out;
    const double step = double(peerRate) / kRate;
    for (double x = 0; x + 1 < static_cast<double>(g_peer.size()); x += step) {
        const size_t i = static_cast<size_t>(x);
        const double f = x - static_cast<double>(i);
        out.push_back(static_cast<short>(std::lround(g_peer[i] * (1 - f) + g_peer[i + 1] * f)));
    }
    return out;
}

struct Utterance {
    std::vector<std::string> lines;
    std::vector<short> samples;
    double firstMs = -1;  // from the text to the first samples
};

class Voice {
public:
    Voice(parlendo::BrisaFrontEnd& front, const parlendo::MbrolaCalls& calls) : front_(front), c_(calls) {}

    // One utterance as the engine makes it: its PhonemeString written line by line, the
    // samples read after each.
    Utterance say(const std::string& cp1252) {
        Utterance u;
        const auto t0 = Clock::now();
        u.lines = front_.phonemeString(cp1252, kPitchFactor, kDurationFactor);
        c_.reset_MBR();
        c_.setNoError_MBR(-63);
        auto drain = [&] {
            int n = 0;
            while ((n = c_.read_MBR(buffer_.data(), static_cast<int>(buffer_.size()))) > 0) {
                if (u.firstMs < 0)
                    u.firstMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                u.samples.insert(u.samples.end(), buffer_.begin(), buffer_.begin() + n);
            }
        };
        for (size_t i = 0; i < u.lines.size(); ++i) {
            const bool last = i + 1 == u.lines.size();
            if (u.lines[i].empty() && !last) continue;
            c_.write_MBR((u.lines[i] + "\r\n").c_str());
            if (last) c_.flush_MBR();
            drain();
        }
        return u;
    }

private:
    parlendo::BrisaFrontEnd& front_;
    const parlendo::MbrolaCalls& c_;
    std::vector<short> buffer_ = std::vector<short>(64000);
};

std::vector<double> voicedSemitones(const std::vector<short>& s, size_t from, size_t to) {
    std::vector<double> out;
    for (size_t at = from; at < to; at += kRate / 100)
        if (double hz = pitchAt(s, at); hz > 0) out.push_back(12 * std::log2(hz));
    return out;
}

// The median of the last 300 ms of voiced frames (at most a third of them) against the median of
// all, in semitones; with lines, of the pitch asked at those frames.
double endAgainstMedian(const std::vector<short>& s, const std::vector<Line>* lines = nullptr) {
    std::vector<double> voiced;
    for (size_t at = 0; at < s.size(); at += kRate / 100)
        if (double hz = pitchAt(s, at); hz > 0) {
            if (lines) hz = askedAt(*lines, 1000.0 * static_cast<double>(at) / kRate);
            if (hz > 0) voiced.push_back(12 * std::log2(hz));
        }
    if (voiced.size() < 6) return 0;
    std::vector<double> tail(voiced.end() - std::min<long>(30, static_cast<long>(voiced.size()) / 3),
                             voiced.end());
    return percentile(tail, 0.5) - percentile(voiced, 0.5);
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) {
        while (!w.empty() && std::strchr("?!.,", w.back())) w.pop_back();
        if (!w.empty()) words.push_back(w);
    }
    return words;
}

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: brisa_voice_bench LIBRARY DATABASE DATA_FOLDER SENTENCES TEXT [--lines]\n");
        return 2;
    }
    const bool printLines = argc > 6 && std::string(argv[6]) == "--lines";
    const std::string base = std::string(argv[3]) + "/portug.";
    parlendo::BrisaFrontEnd front;
    if (!front.loadRules(base + "nrl") || !front.loadExceptions(base + "exc") ||
        !front.loadAbbreviations(base + "abr") || !front.loadProsody(base + "pro") ||
        !front.loadDiphones(base + "dfn")) {
        std::fprintf(stderr, "brisa_voice_bench: cannot read the data files in %s\n", argv[3]);
        return 2;
    }
    std::string error;
    auto library = parlendo::MbrolaLibrary::load({argv[1]}, error);
    if (!library) {
        std::fprintf(stderr, "brisa_voice_bench: %s\n", error.c_str());
        return 2;
    }
    const parlendo::MbrolaCalls& c = library->calls();
    if (c.init_MBR(argv[2]) < 0) {
        std::fprintf(stderr, "brisa_voice_bench: cannot open the database %s\n", argv[2]);
        return 2;
    }
    std::vector<std::string> statements;
    {
        std::istringstream in(readAll(argv[4]));
        for (std::string line; std::getline(in, line);)
            if (!line.empty()) statements.push_back(line);
    }
    const std::string textUtf8 = readAll(argv[5]);
    if (statements.empty() || textUtf8.empty()) {
        std::fprintf(stderr, "brisa_voice_bench: no sentences or no text\n");
        return 2;
    }
    const int peerRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (peerRate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "brisa_voice_bench: espeak-ng or its pt-br voice is missing\n");
        return 2;
    }
    espeak_SetSynthCallback(onPeer);
    Voice voice(front, c);

    // Melody.
    std::printf("%-42s %10s %10s %10s\n", "sentence", "end (st)", "asked", "espeak-ng");
    std::vector<double> statementEnds, peerEnds, firsts;
    for (const std::string& s : statements) {
        Utterance u = voice.say(parlendo::text::utf8ToCp1252(s));
        firsts.push_back(u.firstMs);
        peerSay(s);
        const std::vector<Line> lines = timeLine(u.lines);
        const double end = endAgainstMedian(u.samples), peer = endAgainstMedian(peerAt16k(peerRate));
        const double asked = endAgainstMedian(u.samples, &lines);
        statementEnds.push_back(end);
        peerEnds.push_back(peer);
        std::printf("%-42s %10.1f %10.1f %10.1f\n", s.substr(0, 42).c_str(), end, asked, peer);
    }
    std::printf("%-42s %10s %10s\n", "question", "rise (st)", "asked");
    std::vector<double> rises;
    for (const char* q : kQuestions) {
        Utterance u = voice.say(parlendo::text::utf8ToCp1252(q));
        firsts.push_back(u.firstMs);
        const std::vector<Line> lines = timeLine(u.lines);
        const Line* stressed = nullptr;
        for (const Line& l : lines)
            for (auto [p, hz] : l.pitch)
                if (p == 80) stressed = &l;
        if (!stressed) {
            std::printf("%-42s   (no stressed vowel found)\n", q);
            rises.push_back(0);
            continue;
        }
        const double atMs = stressed->startMs + stressed->ms * 0.8;
        const size_t at = static_cast<size_t>(atMs * kRate / 1000);
        const size_t before = static_cast<size_t>(stressed->startMs * kRate / 1000);
        const double heard = pitchAt(u.samples, at);
        const std::vector<double> earlier = voicedSemitones(u.samples, 0, before);
        double rise = 0, asked = 0;
        if (heard > 0 && !earlier.empty()) rise = 12 * std::log2(heard) - percentile(earlier, 0.5);
        std::vector<double> askedEarlier;
        for (double ms = 0; ms < stressed->startMs; ms += 10)
            if (double hz = askedAt(lines, ms); hz > 0) askedEarlier.push_back(12 * std::log2(hz));
        if (!askedEarlier.empty())
            asked = 12 * std::log2(askedAt(lines, atMs)) - percentile(askedEarlier, 0.5);
        rises.push_back(rise);
        std::printf("%-42s %10.1f %10.1f\n", q, rise, asked);
    }

    // Joins: every word of the sentences alone.
    int words = 0, ours = 0, peers = 0, extra = 0;
    std::vector<std::string> all = statements;
    all.insert(all.end(), std::begin(kQuestions), std::end(kQuestions));
    for (const std::string& s : all)
        for (const std::string& w : wordsOf(s)) {
            Utterance u = voice.say(parlendo::text::utf8ToCp1252(w));
            peerSay(w);
            const std::vector<double> mine = gapsInside(u.samples), theirs = gapsInside(peerAt16k(peerRate));
            ++words;
            ours += static_cast<int>(mine.size());
            peers += static_cast<int>(theirs.size());
            if (mine.size() > theirs.size()) {
                extra += static_cast<int>(mine.size() - theirs.size());
                std::printf("  gaps in \"%s\": %zu (espeak-ng %zu) at", w.c_str(), mine.size(),
                            theirs.size());
                // Each gap with the phoneme it starts in.
                const std::vector<Line> lines = timeLine(u.lines);
                for (double g : mine) {
                    std::string in = "?";
                    for (const Line& l : lines)
                        if (g >= l.startMs && g < l.startMs + l.ms) in = l.name;
                    std::printf(" %.0f ms (%s)", g, in.c_str());
                }
                std::printf("\n");
                if (printLines)
                    for (const std::string& l : u.lines) std::printf("    %s\n", l.c_str());
            }
        }

    // Speed on the text, and the pitch followed there.
    const std::string textCp = parlendo::text::externalToCp1252(textUtf8);
    double brisaSeconds = 1e9, peerSeconds = 1e9;
    Utterance whole;
    for (int run = 0; run < 3; ++run) {
        auto t0 = Clock::now();
        whole = voice.say(textCp);
        brisaSeconds = std::min(brisaSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
        t0 = Clock::now();
        peerSay(textUtf8);
        peerSeconds = std::min(peerSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    // The front end's share of it.
    double frontSeconds = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = Clock::now();
        const size_t n = front.phonemeString(textCp, kPitchFactor, kDurationFactor).size();
        frontSeconds = std::min(frontSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
        if (n == 0) frontSeconds = 0;
    }
    const double peerAudio = static_cast<double>(g_peer.size()) / peerRate;
    const std::vector<Line> lines = timeLine(whole.lines);
    std::vector<double> errors;
    double askedMs = 0;
    for (const Line& l : lines) {
        askedMs += l.ms;
        if (!isVowel(l.name) || l.ms <= 60) continue;
        const double centre = l.startMs + l.ms / 2, asked = askedAt(lines, centre);
        const double heard = pitchAt(whole.samples, static_cast<size_t>(centre * kRate / 1000));
        if (asked > 0 && heard > 0) errors.push_back(std::fabs(12 * std::log2(heard / asked)));
    }
    double mean = 0;
    size_t within = 0;
    for (double e : errors) mean += e, within += e < 1;
    mean /= static_cast<double>(std::max<size_t>(1, errors.size()));

    size_t wordsInText = 0;
    for (size_t i = 0; i < textUtf8.size(); ++i)
        wordsInText += !std::isspace(static_cast<unsigned char>(textUtf8[i])) &&
                       (i == 0 || std::isspace(static_cast<unsigned char>(textUtf8[i - 1])));
    size_t risen = 0, fallen = 0;
    for (double r : rises) risen += r > 0;
    for (double e : statementEnds) fallen += e < 0;
    std::printf("\nBrisa voice (front end + synthesizer), duration factor %.1f, pitch factor %.1f\n",
                kDurationFactor, kPitchFactor);
    std::printf(
        "melody: statements ending below their median %zu of %zu (median %.1f, highest %.1f semitones; "
        "espeak-ng median %.1f)   goal: all\n",
        fallen, statementEnds.size(), percentile(statementEnds, 0.5), percentile(statementEnds, 1),
        percentile(peerEnds, 0.5));
    std::printf(
        "melody: questions whose last stressed vowel rises %zu of %zu (median %.1f, lowest %.1f "
        "semitones)   goal: all\n",
        risen, rises.size(), percentile(rises, 0.5), percentile(rises, 0));
    if (!errors.empty())
        std::printf(
            "pitch asked vs heard at %zu voiced centres of the text: mean %.2f, median %.2f, 95th percentile "
            "%.2f semitones; %.1f %% within one semitone\n",
            errors.size(), mean, percentile(errors, 0.5), percentile(errors, 0.95),
            100.0 * static_cast<double>(within) / static_cast<double>(errors.size()));
    std::printf(
        "joins: %d words alone; silent gaps > 5 ms inside words: Brisa %d, espeak-ng %d; beyond "
        "espeak-ng's: %d   goal: 0\n",
        words, ours, peers, extra);
    std::printf(
        "speed: text of %zu words, %.1f s asked, %.1f s made (espeak-ng %.1f s); text to samples: Brisa "
        "%.3f s, espeak-ng %.3f s; Brisa %.1fx faster   goal: 10x; front end alone %.4f s\n",
        wordsInText, askedMs / 1000, static_cast<double>(whole.samples.size()) / kRate, peerAudio,
        brisaSeconds, peerSeconds, peerSeconds / brisaSeconds, frontSeconds);
    std::printf(
        "first samples of a sentence: median %.2f ms, longest %.2f ms over %zu sentences; of the whole "
        "text %.2f ms   goal: within 20\n",
        percentile(firsts, 0.5), percentile(firsts, 1), firsts.size(), whole.firstMs);
    espeak_Terminate();
    c.close_MBR();
    return 0;
}
