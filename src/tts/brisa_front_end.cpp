// The Brisa voice's front end: one utterance from text to PhonemeString.
#include "tts/brisa_front_end.h"

#include "tts/brisa_portuguese.h"

namespace parlendo {

PhonemeString BrisaFrontEnd::phonemeString(std::string_view text, double pitchFactor, double durationFactor) {
    const std::string normal = normalizeText(text, abbreviations_);
    const std::vector<std::string> intonation = assignIntonation(tokenize(normal, prosody_), prosody_);
    const PhonemeList phonemes = buildPhonemeList(intonation, rules_, exceptions_);
    return timer_.timePhonemes(phonemes, prosody_, diphones_, pitchFactor, durationFactor);
}

}  // namespace parlendo
