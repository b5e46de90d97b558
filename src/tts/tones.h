// Sounds computed rather than recorded, as 8-bit unsigned mono PCM for the wave player: the mode
// tone of the braille keyboard, the telephone tones, the click and the beep.
#pragma once

#include <cstdint>
#include <vector>

namespace parlendo {

// The rate of every recorded and computed sound of the built-in voice.
constexpr int kVoiceRate = 11025;

// A sine tone of `hertz` lasting `ms` milliseconds at `rate` samples per second, with 5 ms ramps
// at both ends so it starts and stops without a click.
std::vector<uint8_t> toneSamples(int hertz, int ms, int rate = kVoiceRate);

// Two sines played together (a telephone key's row and column), ramped like toneSamples.
std::vector<uint8_t> dualToneSamples(int lowHertz, int highHertz, int ms, int rate = kVoiceRate);

// The row and column of a telephone key ('0'-'9', '*', '#', 'A'-'D'); false for other keys.
bool telephoneTone(char key, int& lowHertz, int& highHertz);

// The click: 256 samples (128 with short clicks), the first quarter noise between 128 and 187
// drawn from `seed`, the rest silence (128).
std::vector<uint8_t> clickSamples(bool shortClicks, uint32_t seed = 1);

// The beep: 512 samples (256 with short clicks) of the repeating triangle 128, 112, 96, 80, 64,
// 80, 96, 112.
std::vector<uint8_t> beepSamples(bool shortClicks);

}  // namespace parlendo
