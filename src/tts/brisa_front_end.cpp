// The Brisa voice's front end: one utterance from text to PhonemeString.
#include "tts/brisa_front_end.h"

#include "tts/brisa_portuguese.h"

namespace parlendo {

PhonemeString BrisaFrontEnd::phonemeString(std::string_view text, double pitchFactor, double durationFactor) {
    // A text that ends without a mark of its own (a menu item, a message) is said as a statement:
    // its last word takes the pattern of the word before a full stop, so its end falls.
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
    std::string closed(text.substr(0, end));
    if (!closed.empty() && std::string_view(".!?;:,").find(closed.back()) == std::string_view::npos)
        closed += '.';
    const std::string normal = normalizeText(closed, abbreviations_);
    const std::vector<std::string> intonation = assignIntonation(tokenize(normal, prosody_), prosody_);
    const PhonemeList phonemes = buildPhonemeList(intonation, rules_, exceptions_);
    return timer_.timePhonemes(phonemes, prosody_, diphones_, pitchFactor, durationFactor);
}

}  // namespace parlendo
