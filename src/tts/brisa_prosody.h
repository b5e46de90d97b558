// The Brisa voice's prosody (uttsProsodia): tokens and their classes, intonation codes from the
// patterns of portug.pro, and the timing and melody of every phoneme, with a glide or pause put
// where the voice database lacks a diphone (portug.dfn). The result is the PhonemeString, the
// lines the synthesizer reads.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tts/brisa_portuguese.h"

namespace parlendo {

// Lines ";" + token, phoneme + " " + ms [+ " " + position % + " " + Hz], and empty lines.
using PhonemeString = std::vector<std::string>;

// Where the prosody reader's messages go (the engine shows them to the user).
using BrisaMessageSink = std::function<void(std::string_view)>;

struct PhonemeDuration {
    std::string name;  // at most 2 characters
    int32_t ms = 100;
};
struct TChave {
    std::string word;   // upper case
    std::string klass;  // 2 characters at most
};
struct TProsodia {
    std::string previous, current, next;  // classes, at most 3 characters; empty matches any
    std::string code;                     // the intonation code, three digits by convention
};

class ProsodyConfig {
public:
    static constexpr size_t kMaxDurations = 100;
    static constexpr size_t kMaxKeywords = 1000;
    static constexpr size_t kMaxPatterns = 300;
    static constexpr int kDefaultHertz = 230;

    // Reads portug.pro; false (with a message to the sink) when the file cannot be read or a
    // section is missing or broken.
    bool loadProsody(const std::string& path, const BrisaMessageSink& messages);
    bool readProsody(std::string_view contents, const BrisaMessageSink& messages);

    // The first duration of exactly that phoneme name, else 100 ms.
    int32_t durationOf(std::string_view phoneme) const;
    // The class of an upper-case word, or "XX".
    std::string_view classOf(std::string_view upperWord) const;

    const std::vector<PhonemeDuration>& durations() const { return durations_; }
    const std::vector<TChave>& keywords() const { return keywords_; }
    const std::vector<TProsodia>& patterns() const { return patterns_; }
    int hertz() const { return hertz_; }
    const std::array<int32_t, 10>& tabHertz() const { return tabHertz_; }

private:
    bool readDurations(std::string_view contents, const BrisaMessageSink& messages);
    bool readKeywords(std::string_view contents, const BrisaMessageSink& messages);
    bool readPatterns(std::string_view contents, const BrisaMessageSink& messages);

    std::vector<PhonemeDuration> durations_;
    std::vector<TChave> keywords_;
    std::vector<TProsodia> patterns_;
    int hertz_ = kDefaultHertz;
    std::array<int32_t, 10> tabHertz_{};
};

// The diphones of the voice database, "A-B", sorted; searched without regard to letter case.
class DiphoneList {
public:
    bool loadDiphones(const std::string& path);
    void readDiphones(std::string_view contents);
    void freeDiphones() {
        diphones_.clear();
        folded_.clear();
    }
    bool contains(std::string_view diphone) const;
    // As read ("a-b"), sorted.
    const std::vector<std::string>& diphones() const { return diphones_; }

private:
    std::vector<std::string> diphones_;
    std::vector<std::string> folded_;  // upper-cased and sorted, for the search
};

// The normalised text as token lines "[" + class + "]" + token.
std::vector<std::string> tokenize(std::string_view text, const ProsodyConfig& config);
// The token lines as intonation lines code + "|" + token.
std::vector<std::string> assignIntonation(const std::vector<std::string>& tokens,
                                          const ProsodyConfig& config);

// Times and pitches phoneme lists, one utterance at a time; the last phoneme of an utterance is
// remembered for the next, as the synthesizer joins them.
class PhonemeTimer {
public:
    PhonemeString timePhonemes(const PhonemeList& phonemes, const ProsodyConfig& config,
                               const DiphoneList& diphones, double pitchFactor, double durationFactor);

private:
    std::string current_;
};

}  // namespace parlendo
