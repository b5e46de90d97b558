// Computed sounds: sines, telephone tones, the click and the beep.
#include "tts/tones.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace parlendo {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Sum of sines of amplitude `level` each (of 127), ramped in and out over 5 ms.
std::vector<uint8_t> sines(const int* hertz, int count, double level, int ms, int rate) {
    if (ms <= 0 || rate <= 0) return {};
    const size_t n = static_cast<size_t>(static_cast<int64_t>(rate) * ms / 1000);
    const size_t ramp = std::max<size_t>(1, static_cast<size_t>(rate / 200));
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i) {
        double v = 0;
        for (int k = 0; k < count; ++k) v += std::sin(2 * kPi * hertz[k] * static_cast<double>(i) / rate);
        double gain = std::min({1.0, static_cast<double>(i) / ramp, static_cast<double>(n - 1 - i) / ramp});
        long s = 128 + std::lround(v * level * gain);
        out[i] = static_cast<uint8_t>(std::clamp(s, 0L, 255L));
    }
    return out;
}

}  // namespace

std::vector<uint8_t> toneSamples(int hertz, int ms, int rate) { return sines(&hertz, 1, 80, ms, rate); }

std::vector<uint8_t> dualToneSamples(int lowHertz, int highHertz, int ms, int rate) {
    int both[2] = {lowHertz, highHertz};
    return sines(both, 2, 50, ms, rate);
}

bool telephoneTone(char key, int& lowHertz, int& highHertz) {
    static const char kKeys[4][5] = {"123A", "456B", "789C", "*0#D"};
    static const int kRows[4] = {697, 770, 852, 941};
    static const int kColumns[4] = {1209, 1336, 1477, 1633};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (kKeys[r][c] == key) {
                lowHertz = kRows[r];
                highHertz = kColumns[c];
                return true;
            }
    return false;
}

std::vector<uint8_t> clickSamples(bool shortClicks, uint32_t seed) {
    std::vector<uint8_t> out(shortClicks ? 128 : 256, 128);
    std::minstd_rand random(seed == 0 ? 1 : seed);
    for (size_t i = 0; i < out.size() / 4; ++i) out[i] = static_cast<uint8_t>(128 + random() % 60);
    return out;
}

std::vector<uint8_t> beepSamples(bool shortClicks) {
    static const uint8_t kTriangle[8] = {128, 112, 96, 80, 64, 80, 96, 112};
    std::vector<uint8_t> out(shortClicks ? 256 : 512);
    for (size_t i = 0; i < out.size(); ++i) out[i] = kTriangle[i % 8];
    return out;
}

}  // namespace parlendo
