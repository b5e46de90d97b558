// The voiced speech front: speaks through the built-in voice (recordings for characters and
// numbers, the diphone voice for runs of words) or an engine, plays the click, the beep and the
// mode tone, and writes the speech log of the harness, one line per request.
#pragma once

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "console/diphone_voice.h"
#include "console/recorded_voice.h"
#include "console/speech_front.h"
#include "console/speech_output.h"

namespace parlendo {

class KeyQueue;
class WavePlayer;
class SettingsFile;
class Clock;

// The built-in voice's parameters of one speed (section SINTETIZADOR, keys ending in the speed).
struct VoiceParameters {
    std::string database;     // DIFONESn, at most 8 characters
    int cut = 0;              // CORTEFONn
    int keep = 0;             // SOBRAFONn
    int wordGap = 0;          // INTERPALn
    bool rapid = false;       // CORTAFALAn
    bool fast = false;        // RAPIDINHOn
    int pauseFullStop = 250;  // PAUSAPONTOn, ms
    int pauseComma = 150;     // PAUSAVIRGn
    int pauseColon = 200;     // PAUSADOISPONTOSn
};

VoiceParameters loadVoiceParameters(SettingsFile& settings, int speed);

// How much of the punctuation of a spoken text the built-in voice names (TRADUTOR, PONTUACAO):
// All ("todos", the default) names every symbol and mark; Some ("alguns") names the symbols
// that carry meaning and gives the marks of ordinary writing (see isQuietMark) their pauses
// only; None ("nenhum") names no symbol, the pauses stay. The echo of keys and spelling always
// name the symbol.
enum class PunctuationLevel { All, Some, None };
PunctuationLevel punctuationLevel(std::string_view setting);
// The marks that "alguns" does not name: . , ; : ! ? ( ) " ' - and their typographic forms
// (Windows-1252 quotes ‘ ’ “ ” « », dashes – —, ¡ ¿).
bool isQuietMark(char c);

// The sounds of the front, 8-bit mono at 11025 samples per second.
// 200 ms of the braille keyboard's mode tone.
std::vector<uint8_t> modeToneSamples(int hertz);

// The folder of the recordings when the settings name none: "share/oralix/letras" beside the
// executable, or "../share/oralix/letras" from it for an installed copy. Ends in "/".
std::string defaultRecordingsFolder(const std::string& executableFolder);

// The database name shown when the built-in voice cannot start.
constexpr std::string_view kDiphoneDatabase = "DIFONES2";

class VoicedSpeech final : public SpeechFront {
public:
    // sleep waits the given milliseconds while pumping events; log may be null; the engine
    // switch may be empty (no engine ever opens). executableFolder is Windows-1252, no trailing
    // slash.
    VoicedSpeech(KeyQueue& keys, WavePlayer& player, SettingsFile& settings, Clock& clock,
                 std::unique_ptr<DiphoneVoice> voice, SpeechLog* log, std::function<void(int)> sleep,
                 EngineSwitch engines, std::string executableFolder);

    // Starts the built-in voice at a speed (0 or less: the setting) and opens an engine when the
    // settings ask for one. 0 when ready; 1 when a recordings folder or the voice's data is
    // missing, 2 when the voice's translator files are: the caller reports and ends the program.
    int startSpeech(int speed, std::string_view interpreterFolder);
    void shutdownSpeech();
    // The close of the built-in voice after a failed start.
    void closeDiphoneVoice() { voice_->close(); }

    void speak(std::string_view text) override;
    void spell(std::string_view text) override;
    void playWord(std::string_view name) override;
    void playChar(uint8_t code) override;
    void click() override;
    void beep() override;
    void sayNow() override;
    void sayToday() override;
    void sayTime(int hours, int minutes, bool inFull) override;
    void playTones(std::string_view text) override;
    void playModeTone(int hertz) override;
    void restartSpeech(int speed) override;
    void configureSpeech(const SpeechConfig& config) override;
    bool isSpeaking() override;
    void waitSpeech() override;
    void stopSpeech() override;

    // Where a message about the voice goes besides being spoken (an engine that could not open or
    // stopped answering): Windows-1252, each distinct message once a run.
    void setNotice(std::function<void(const std::string&)> notice) { notice_ = std::move(notice); }

    // Speak in full (FALARTUDO) for the time said by sayNow.
    void setSpeakInFull(bool on) { speakInFull_ = on; }
    bool wordExists(std::string_view name) const { return recorded_.wordExists(name); }

    int speed() const { return speed_; }
    const VoiceParameters& parameters() const { return parameters_; }
    const RecordingFolders& folders() const { return recorded_.folders(); }
    bool engineOpen() const { return engine_ != nullptr; }
    int engineType() const { return engineType_; }
    PunctuationLevel punctuation() const { return punctuation_; }
    RecordedVoice& recorded() { return recorded_; }

private:
    void log(std::string line) {
        if (log_) log_->record(std::move(line));
    }
    void useParameters(int speed);
    void openEngine(int type, int voice, int speed, int pitch);
    void closeEngine();
    void waitEngine();
    bool engineFailed();
    void tellOnce(const std::string& message);
    void speakBuiltIn(std::string_view text);
    void speakWords(std::string_view words);
    void punctuation(char c, char next);
    bool namesSymbol(char c) const;
    void pause(int milliseconds);
    void playClick();
    void playAndWait(const std::vector<uint8_t>& samples);

    KeyQueue& keys_;
    WavePlayer& player_;
    SettingsFile& settings_;
    Clock& clock_;
    std::unique_ptr<DiphoneVoice> voice_;
    SpeechLog* log_;
    std::function<void(int)> sleep_;
    EngineSwitch engines_;
    std::string executableFolder_;
    std::string interpreterFolder_;
    RecordedVoice recorded_;

    std::function<void(const std::string&)> notice_;
    std::vector<std::string> told_;

    std::unique_ptr<SpeechOutput> engine_;
    int engineType_ = 5;
    bool enginePending_ = false;
    bool stop_ = false;
    int speed_ = 3;
    VoiceParameters parameters_;
    PunctuationLevel punctuation_ = PunctuationLevel::All;
    bool shortClicks_ = false;
    bool speakInFull_ = true;
    std::minstd_rand random_{12345};
};

}  // namespace parlendo
