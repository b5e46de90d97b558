// The speech front: what the rest of the program asks to be said. The voices plug in behind it;
// the speech log keeps one line per request, as the harness writes it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class KeyQueue;

// The voice chosen by SINTCONFIG: mode 0 the built-in voice, 1 an engine of `type` with its
// voice, speed and pitch; `speed` is the built-in voice's speed (1-5).
struct SpeechConfig {
    int mode = 0;
    int speed = 3;
    int type = 5;
    int voice = 0;
    int engineSpeed = 0;
    int pitch = 0;
};

// The speech log of the harness: one line per request made to the speech front. Lines are
// Windows-1252 here; the log file gets them as UTF-8.
class SpeechLog {
public:
    // keepLines: keep every line in memory for lines() (tests); a long run of the program
    // does not, so that speaking all day costs no memory.
    explicit SpeechLog(std::ostream* out = nullptr, bool keepLines = true)
        : out_(out), keepLines_(keepLines) {}
    void record(std::string line);
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::ostream* out_;
    std::vector<std::string> lines_;
    bool keepLines_;
};

// The log lines of a time of day ("time 09:05") and of a SINTCONFIG configuration.
std::string timeLine(int hours, int minutes);
std::string configLine(const SpeechConfig& config);

class SpeechFront {
public:
    virtual ~SpeechFront() = default;
    // Speaks a text; returns when it is said or a key interrupted it.
    virtual void speak(std::string_view text) = 0;
    // Spells a text character by character.
    virtual void spell(std::string_view text) = 0;
    // Plays a recorded word by name, and the recording of one character.
    virtual void playWord(std::string_view name) = 0;
    virtual void playChar(uint8_t code) = 0;
    virtual void click() = 0;
    // The beep also discards every key waiting in the queue.
    virtual void beep() = 0;
    // True while speech or recorded sound plays; a waiting key stops it and gives false.
    // The current time and date in recorded words, and a text as telephone tones.
    virtual void sayNow() = 0;
    virtual void sayToday() = 0;
    // A time of day in recorded words; inFull adds the minute word (setting FALARTUDO).
    virtual void sayTime(int hours, int minutes, bool inFull) = 0;
    virtual void playTones(std::string_view text) = 0;
    // One 200 ms mode tone of the braille keyboard at a frequency in hertz.
    virtual void playModeTone(int hertz) = 0;
    // Starts speech again at another speed of the built-in voice (1-5; 0 or less takes the
    // settings' speed, and any other the middle one, 3).
    virtual void restartSpeech(int speed) = 0;
    // Switches between the built-in voice and an engine (SINTCONFIG).
    virtual void configureSpeech(const SpeechConfig& config) = 0;
    virtual bool isSpeaking() = 0;
    virtual void waitSpeech() = 0;
    virtual void stopSpeech() = 0;
};

// Says nothing aloud; keeps one line per request, as the speech log of the harness has them:
// the text given to speak; "spell TEXT"; "word NAME"; "char CODE"; "<click>"; "<beep>";
// and "<time>", "<date>", "time HH:MM", "tones TEXT", "tone HERTZ", "<speed N>" and
// "<config MODE SPEED TYPE VOICE ENGINESPEED PITCH>".
class RecordingSpeech final : public SpeechFront {
public:
    explicit RecordingSpeech(KeyQueue& keys, std::ostream* log = nullptr, bool keepLines = true)
        : keys_(keys), log_(log, keepLines) {}

    void speak(std::string_view text) override;
    void spell(std::string_view text) override;
    void playWord(std::string_view name) override;
    void playChar(uint8_t code) override;
    void click() override;
    void beep() override;
    void sayNow() override { record("<time>"); }
    void sayToday() override { record("<date>"); }
    void sayTime(int hours, int minutes, bool) override { record(timeLine(hours, minutes)); }
    void playTones(std::string_view text) override { record("tones " + std::string(text)); }
    void playModeTone(int hertz) override { record("tone " + std::to_string(hertz)); }
    void restartSpeech(int speed) override { record("<speed " + std::to_string(speed) + ">"); }
    void configureSpeech(const SpeechConfig& c) override { record(configLine(c)); }
    bool isSpeaking() override { return false; }
    void waitSpeech() override {}
    void stopSpeech() override {}

    const std::vector<std::string>& lines() const { return log_.lines(); }

private:
    void record(std::string line) { log_.record(std::move(line)); }

    KeyQueue& keys_;
    SpeechLog log_;
};

}  // namespace parlendo
