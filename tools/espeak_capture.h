// Speech captured from espeak-ng's Brazilian Portuguese voice and made into the built-in voice's
// sound: 8-bit unsigned mono at 11025 Hz. Shared by the tools that generate the voice's data at
// build time (recordings, diphone database).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace parlendo::voicegen {

// One phoneme espeak-ng reported while speaking: its mnemonic and the sample it starts at.
struct PhonemeMark {
    std::string name;
    size_t sample = 0;
};

struct CapturedSpeech {
    std::vector<short> samples;         // at the rate startEspeak returned
    std::vector<PhonemeMark> phonemes;  // only when started with phoneme events
};

// Starts espeak-ng with the Brazilian Portuguese voice, collecting its sound (and, when asked,
// the phonemes it speaks). Returns the sample rate, or 0 after a message naming `tool`.
int startEspeak(const char* tool, bool phonemeEvents);
void stopEspeak();

// The pitch range of the voice, 0 (monotone) to 100; 50 is its usual melody.
void setPitchRange(int range);

// The speaking rate in words per minute (80 to 450; 175 is the usual).
void setRate(int wordsPerMinute);

// Speaks a text (UTF-8). With `phonemeInput`, text inside [[ ]] is espeak-ng phoneme mnemonics.
CapturedSpeech speak(const std::string& text, bool phonemeInput);

// Narrows [first, last) to the part louder than peak / `divisor` (peak of that range).
// False when nothing is louder.
bool findSound(const std::vector<short>& in, size_t& first, size_t& last, int divisor);

// The samples in[first, last) resampled from `sourceRate` to `targetRate` with a windowed-sinc
// low-pass below the new Nyquist frequency.
std::vector<double> resample(const std::vector<short>& in, size_t first, size_t last, int sourceRate,
                             int targetRate);

// The same to the built-in voice's rate.
std::vector<double> resampleToVoiceRate(const std::vector<short>& in, size_t first, size_t last,
                                        int sourceRate);

// The largest magnitude in a sound.
double peakOf(const std::vector<double>& sound);

// Scaled by `gain` and made 8-bit unsigned (128 is silence), clipped to 0..255.
std::vector<uint8_t> toUnsigned8(const std::vector<double>& sound, double gain);

// Writes 8-bit mono samples at the voice rate as a WAV file; false (after a message) on failure.
bool writeWav(const std::string& path, const std::vector<uint8_t>& pcm, const char* tool);

}  // namespace parlendo::voicegen
