// Speech captured from espeak-ng and made into the built-in voice's sound.
#include "espeak_capture.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tts/tones.h"
#include "tts/wave_player.h"

namespace parlendo::voicegen {
namespace {

// espeak-ng hands its sound to a callback without a context of ours: the capture in progress.
CapturedSpeech* g_capture = nullptr;
int g_rate = 0;

int collect(short* wav, int count, espeak_EVENT* events) {
    if (!g_capture) return 0;
    if (wav && count > 0) g_capture->samples.insert(g_capture->samples.end(), wav, wav + count);
    for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_PHONEME) continue;
        PhonemeMark mark;
        mark.name = std::string(e->id.string, strnlen(e->id.string, sizeof e->id.string));
        mark.sample = static_cast<size_t>(e->audio_position) * static_cast<size_t>(g_rate) / 1000;
        g_capture->phonemes.push_back(mark);
    }
    return 0;
}

}  // namespace

int startEspeak(const char* tool, bool phonemeEvents) {
    int options = espeakINITIALIZE_DONT_EXIT | (phonemeEvents ? espeakINITIALIZE_PHONEME_EVENTS : 0);
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, options);
    if (rate <= 0) {
        std::fprintf(stderr, "%s: espeak-ng did not start\n", tool);
        return 0;
    }
    espeak_SetSynthCallback(collect);
    if (espeak_SetVoiceByName("pt-br") != EE_OK && espeak_SetVoiceByName("pt") != EE_OK) {
        std::fprintf(stderr, "%s: espeak-ng has no Brazilian Portuguese voice\n", tool);
        return 0;
    }
    g_rate = rate;
    return rate;
}

void stopEspeak() { espeak_Terminate(); }

void setPitchRange(int range) { espeak_SetParameter(espeakRANGE, range, 0); }

void setRate(int wordsPerMinute) { espeak_SetParameter(espeakRATE, wordsPerMinute, 0); }

CapturedSpeech speak(const std::string& text, bool phonemeInput) {
    CapturedSpeech capture;
    g_capture = &capture;
    unsigned flags = espeakCHARS_UTF8 | (phonemeInput ? espeakPHONEMES : 0);
    espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, nullptr);
    espeak_Synchronize();
    g_capture = nullptr;
    return capture;
}

bool findSound(const std::vector<short>& in, size_t& first, size_t& last, int divisor) {
    last = std::min(last, in.size());
    int peak = 1;
    for (size_t i = first; i < last; ++i) peak = std::max(peak, std::abs(static_cast<int>(in[i])));
    const int threshold = peak / divisor;
    while (first < last && std::abs(static_cast<int>(in[first])) <= threshold) ++first;
    while (last > first && std::abs(static_cast<int>(in[last - 1])) <= threshold) --last;
    return first < last;
}

std::vector<double> resampleToVoiceRate(const std::vector<short>& in, size_t first, size_t last,
                                        int sourceRate) {
    return resample(in, first, last, sourceRate, kVoiceRate);
}

std::vector<double> resample(const std::vector<short>& in, size_t first, size_t last, int sourceRate,
                             int targetRate) {
    const double step = static_cast<double>(sourceRate) / targetRate;
    const double cutoff = 0.45 / step;  // of the source rate: below the new Nyquist frequency
    const int taps = 16;
    const double pi = 3.14159265358979323846;
    const size_t n = static_cast<size_t>((last - first) / step);
    std::vector<double> out(n);
    for (size_t i = 0; i < n; ++i) {
        double t = first + i * step;
        long centre = static_cast<long>(std::floor(t));
        double sum = 0;
        for (long k = centre - taps + 1; k <= centre + taps; ++k) {
            if (k < static_cast<long>(first) || k >= static_cast<long>(last)) continue;
            double x = t - k;
            double sinc = x == 0 ? 2 * cutoff : std::sin(2 * pi * cutoff * x) / (pi * x);
            double window = 0.5 + 0.5 * std::cos(pi * x / taps);
            sum += in[k] * sinc * window;
        }
        out[i] = sum;
    }
    return out;
}

double peakOf(const std::vector<double>& sound) {
    double peak = 0;
    for (double s : sound) peak = std::max(peak, std::fabs(s));
    return peak;
}

std::vector<uint8_t> toUnsigned8(const std::vector<double>& sound, double gain) {
    std::vector<uint8_t> bytes(sound.size());
    for (size_t i = 0; i < sound.size(); ++i)
        bytes[i] = static_cast<uint8_t>(std::clamp(128L + std::lround(sound[i] * gain), 0L, 255L));
    return bytes;
}

bool writeWav(const std::string& path, const std::vector<uint8_t>& pcm, const char* tool) {
    std::vector<uint8_t> file = wavHeader(static_cast<uint32_t>(pcm.size()), kVoiceRate, 1, 8);
    file.insert(file.end(), pcm.begin(), pcm.end());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "%s: cannot write %s\n", tool, path.c_str());
    return ok;
}

}  // namespace parlendo::voicegen
