// The Brisa voice's front end: the data files of the voice and the way from an utterance's text
// to the PhonemeString the synthesizer reads (normalisation, tokens, intonation, phonemes, timing).
#pragma once

#include <string>
#include <string_view>

#include "tts/brisa_exceptions.h"
#include "tts/brisa_preproc.h"
#include "tts/brisa_prosody.h"
#include "tts/brisa_rule_file.h"

namespace parlendo {

class BrisaFrontEnd {
public:
    // Each load replaces what an earlier one read; false when the file cannot be read (or, for
    // the prosody file, is broken: its reader tells why through the message sink first).
    bool loadRules(const std::string& path) { return rules_.loadRules(path); }
    bool loadExceptions(const std::string& path) { return exceptions_.loadExceptions(path); }
    bool loadAbbreviations(const std::string& path) { return abbreviations_.loadAbbreviations(path); }
    bool loadProsody(const std::string& path) { return prosody_.loadProsody(path, messages_); }
    bool loadDiphones(const std::string& path) { return diphones_.loadDiphones(path); }
    void freeRules() { rules_.freeRules(); }
    void freeDiphones() { diphones_.freeDiphones(); }
    // Where the prosody reader's messages go; none are shown without one.
    void setMessageSink(BrisaMessageSink sink) { messages_ = std::move(sink); }

    // The PhonemeString of one utterance (Windows-1252 text). Pitch factor 1.0 and duration
    // factor 1.0 keep the file's values.
    PhonemeString phonemeString(std::string_view text, double pitchFactor, double durationFactor);

    RuleTable& rules() { return rules_; }
    ExceptionTable& exceptions() { return exceptions_; }
    AbbreviationTable& abbreviations() { return abbreviations_; }
    ProsodyConfig& prosody() { return prosody_; }
    DiphoneList& diphones() { return diphones_; }

private:
    RuleTable rules_;
    ExceptionTable exceptions_;
    AbbreviationTable abbreviations_;
    ProsodyConfig prosody_;
    DiphoneList diphones_;
    PhonemeTimer timer_;
    BrisaMessageSink messages_;
};

}  // namespace parlendo
