// The Brisa voice's synthesizer against espeak-ng on the same text (bench/voice_text.txt by
// default), both into memory in one process, and how closely the output follows the pitch asked.
// The phoneme lines come from espeak-ng itself: its phonemes of the text, mapped onto the Brisa
// voice's names, with its durations, and a falling melody with a rise and fall on every vowel
// (points at 20 % and 80 %). What is timed for the synthesizer is write_MBR to read_MBR of those
// lines (the front end's work is not in it); for espeak-ng, text to samples.
//
//   brisa_bench LIBRARY DATABASE [TEXT]
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tts/mbrola_library.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Event {
    std::string name;
    int position = 0;  // ms
};

std::vector<Event>* g_events = nullptr;
size_t g_samples = 0;

int collect(short* wav, int count, espeak_EVENT* events) {
    if (wav && count > 0) g_samples += static_cast<size_t>(count);
    for (espeak_EVENT* e = events; g_events && e && e->type != espeakEVENT_LIST_TERMINATED; ++e)
        if (e->type == espeakEVENT_PHONEME)
            g_events->push_back(
                {std::string(e->id.string, strnlen(e->id.string, sizeof e->id.string)), e->audio_position});
    return 0;
}

// espeak-ng's phoneme onto the Brisa voice's names (one or two of them); empty: not a phoneme.
std::vector<std::string> brisaNames(std::string n) {
    while (!n.empty() && (n.back() == ';' || n.back() == ':')) n.pop_back();
    static const std::map<std::string, std::vector<std::string>> table = {
        {"a", {"a"}},          {"&", {"6"}},           {"&~", {"a~"}},         {"e", {"e"}},
        {"E", {"E"}},          {"i", {"i"}},           {"I", {"i"}},           {"o", {"o"}},
        {"O", {"O"}},          {"u", {"u"}},           {"U", {"u"}},           {"e~", {"e~"}},
        {"i~", {"i~"}},        {"o~", {"o~"}},         {"u~", {"u~"}},         {"w", {"w"}},
        {"j", {"y"}},          {"y", {"y~"}},          {"aI", {"a", "y"}},     {"aU", {"a", "w"}},
        {"EI", {"E", "y"}},    {"EU", {"E", "w"}},     {"eI", {"e", "y"}},     {"eU", {"e", "w"}},
        {"OI", {"O", "y"}},    {"oI", {"o", "y"}},     {"uI", {"u", "y"}},     {"iU", {"i", "w"}},
        {"&U~", {"a~", "w~"}}, {"o~I~", {"o~", "y~"}}, {"&~I~", {"a~", "y~"}}, {"p", {"p"}},
        {"b", {"b"}},          {"t", {"t"}},           {"d", {"d"}},           {"k", {"k"}},
        {"g", {"g"}},          {"tS", {"tS"}},         {"dZ", {"dZ"}},         {"f", {"f"}},
        {"v", {"v"}},          {"s", {"s"}},           {"z", {"z"}},           {"S", {"S"}},
        {"Z", {"Z"}},          {"m", {"m"}},           {"n", {"n"}},           {"n^", {"nh"}},
        {"l", {"l"}},          {"l^", {"lh"}},         {"*", {"r"}},           {"x", {"r2"}},
        {"h", {"r2"}},         {"R", {"r2"}},          {"ts", {"t", "s"}},     {"ks", {"k", "s"}},
    };
    if (!n.empty() && n[0] == '_') return {"_"};
    auto it = table.find(n);
    return it == table.end() ? std::vector<std::string>{} : it->second;
}

bool isVowel(const std::string& n) { return std::strchr("a6eEioOu", n[0]) != nullptr; }

struct Line {
    std::string name;
    double ms;
    std::vector<std::pair<double, double>> pitch;  // (percent, Hz)
};

std::string text(const Line& l) {
    std::ostringstream out;
    out << l.name << ' ' << l.ms;
    for (auto [p, hz] : l.pitch) out << ' ' << p << ' ' << hz;
    return out.str();
}

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
            return 16000.0 / lag;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: brisa_bench LIBRARY DATABASE [TEXT]\n");
        return 2;
    }
    std::ifstream in(argc > 3 ? argv[3] : "bench/voice_text.txt");
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (body.empty()) {
        std::fprintf(stderr, "brisa_bench: no text\n");
        return 2;
    }
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                 espeakINITIALIZE_DONT_EXIT | espeakINITIALIZE_PHONEME_EVENTS);
    if (rate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
        std::fprintf(stderr, "brisa_bench: espeak-ng or its pt-br voice is missing\n");
        return 2;
    }
    espeak_SetSynthCallback(collect);
    // espeak-ng alone, text to samples, best of three.
    double espeakSeconds = 1e9;
    size_t espeakSamples = 0;
    for (int run = 0; run < 3; ++run) {
        g_samples = 0;
        auto t0 = Clock::now();
        espeak_Synth(body.c_str(), body.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
        espeak_Synchronize();
        espeakSeconds = std::min(espeakSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
        espeakSamples = g_samples;
    }
    // Its phonemes and durations become the lines.
    std::vector<Event> events;
    g_events = &events;
    espeak_Synth(body.c_str(), body.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    espeak_Synchronize();
    g_events = nullptr;
    const double espeakMs = 1000.0 * static_cast<double>(g_samples) / rate;
    espeak_Terminate();
    std::vector<Line> lines;
    for (size_t i = 0; i < events.size(); ++i) {
        // espeak-ng's last events may come without a position: they end with its sound.
        double end = i + 1 < events.size() ? events[i + 1].position : espeakMs;
        if (end < events[i].position) end = espeakMs;
        const double ms = std::clamp(end - events[i].position, 0.0, 5000.0);
        std::vector<std::string> names = brisaNames(events[i].name);
        if (names.empty()) {
            if (!lines.empty()) lines.back().ms += ms;
            continue;
        }
        for (const std::string& n : names) lines.push_back({n, ms / names.size(), {}});
    }
    // A falling melody per stretch between pauses, a rise and fall on every vowel.
    size_t start = 0;
    for (size_t i = 0; i <= lines.size(); ++i) {
        if (i < lines.size() && lines[i].name != "_") continue;
        size_t vowels = 0, seen = 0;
        for (size_t k = start; k < i; ++k) vowels += isVowel(lines[k].name);
        for (size_t k = start; k < i; ++k) {
            if (!isVowel(lines[k].name)) continue;
            const double base = 140 - 40.0 * seen / std::max<size_t>(1, vowels);
            const double swing = seen++ % 2 ? 12 : -8;
            lines[k].pitch = {{20, base}, {80, base + swing}};
        }
        start = i + 1;
    }
    std::vector<std::string> texts;
    double totalMs = 0;
    for (const Line& l : lines) {
        texts.push_back(text(l) + "\r\n");
        totalMs += l.ms;
    }

    std::string error;
    auto library = parlendo::MbrolaLibrary::load({argv[1]}, error);
    if (!library) {
        std::fprintf(stderr, "brisa_bench: %s\n", error.c_str());
        return 2;
    }
    const parlendo::MbrolaCalls& c = library->calls();
    if (c.init_MBR(argv[2]) < 0) {
        std::fprintf(stderr, "brisa_bench: cannot open the database %s\n", argv[2]);
        return 2;
    }
    c.setNoError_MBR(-63);
    std::vector<short> buffer(64000), out;
    double brisaSeconds = 1e9, firstMs = 0;
    for (int run = 0; run < 3; ++run) {
        out.clear();
        c.reset_MBR();
        auto t0 = Clock::now();
        double first = -1;
        auto drain = [&] {
            int n = 0;
            while ((n = c.read_MBR(buffer.data(), 64000)) > 0) {
                if (first < 0) first = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                out.insert(out.end(), buffer.begin(), buffer.begin() + n);
            }
        };
        for (const std::string& t : texts) {
            if (c.write_MBR(t.c_str()) < 0) std::fprintf(stderr, "brisa_bench: refused %s", t.c_str());
            drain();
        }
        c.flush_MBR();
        drain();
        brisaSeconds = std::min(brisaSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
        firstMs = run == 0 ? first : std::min(firstMs, first);
    }
    // Pitch at the centre of every vowel longer than 60 ms against the contour asked for there.
    std::vector<double> errors;
    double at = 0;
    for (const Line& l : lines) {
        if (isVowel(l.name) && l.ms > 60 && l.pitch.size() == 2) {
            const double asked = (l.pitch[0].second + l.pitch[1].second) / 2;  // at 50 %
            const double heard = pitchAt(out, static_cast<size_t>((at + l.ms / 2) * 16));
            if (heard > 0) errors.push_back(std::fabs(12 * std::log2(heard / asked)));
        }
        at += l.ms;
    }
    std::sort(errors.begin(), errors.end());
    double mean = 0;
    size_t within = 0;
    for (double e : errors) mean += e, within += e < 1;
    mean /= std::max<size_t>(1, errors.size());
    std::printf("text: %zu bytes, %zu phoneme lines, %.1f s asked, %.1f s made (espeak-ng %.1f s)\n",
                body.size(), lines.size(), totalMs / 1000, out.size() / 16000.0,
                espeakSamples / static_cast<double>(rate));
    std::printf(
        "espeak-ng text to samples: %.3f s; brisa phoneme lines to samples: %.3f s; brisa %.1fx "
        "faster; first samples after %.2f ms\n",
        espeakSeconds, brisaSeconds, espeakSeconds / brisaSeconds, firstMs);
    if (!errors.empty())
        std::printf(
            "pitch at %zu voiced centres: mean error %.2f semitones, median %.2f, 95th percentile %.2f, "
            "%.1f %% within one semitone\n",
            errors.size(), mean, errors[errors.size() / 2], errors[errors.size() * 95 / 100],
            100.0 * within / errors.size());
    c.close_MBR();
    return 0;
}
