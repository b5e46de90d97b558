// The speech front: what the rest of the program asks to be said. The voices plug in behind it;
// the recording front keeps the speech log the harness writes.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class KeyQueue;

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
    virtual void playTones(std::string_view text) = 0;
    // One 200 ms mode tone of the braille keyboard at a frequency in hertz.
    virtual void playModeTone(int hertz) = 0;
    // Starts speech again at another speed of the built-in voice (1-5).
    virtual void restartSpeech(int speed) = 0;
    virtual bool isSpeaking() = 0;
    virtual void waitSpeech() = 0;
    virtual void stopSpeech() = 0;
};

// Says nothing aloud; keeps one line per request, as the speech log of the harness has them:
// the text given to speak; "spell TEXT"; "word NAME"; "char CODE"; "<click>"; "<beep>";
// and, until the voices come, "<time>", "<date>", "tones TEXT", "tone HERTZ" and "<speed N>".
// Lines are Windows-1252 here; the log file gets them as UTF-8.
class RecordingSpeech final : public SpeechFront {
public:
    // keepLines: keep every line in memory for lines() (tests); a long run of the program
    // does not, so that speaking all day costs no memory.
    explicit RecordingSpeech(KeyQueue& keys, std::ostream* log = nullptr, bool keepLines = true)
        : keys_(keys), log_(log), keepLines_(keepLines) {}

    void speak(std::string_view text) override;
    void spell(std::string_view text) override;
    void playWord(std::string_view name) override;
    void playChar(uint8_t code) override;
    void click() override;
    void beep() override;
    void sayNow() override { record("<time>"); }
    void sayToday() override { record("<date>"); }
    void playTones(std::string_view text) override { record("tones " + std::string(text)); }
    void playModeTone(int hertz) override { record("tone " + std::to_string(hertz)); }
    void restartSpeech(int speed) override { record("<speed " + std::to_string(speed) + ">"); }
    bool isSpeaking() override { return false; }
    void waitSpeech() override {}
    void stopSpeech() override {}

    const std::vector<std::string>& lines() const { return lines_; }

private:
    void record(std::string line);

    KeyQueue& keys_;
    std::ostream* log_;
    std::vector<std::string> lines_;
    bool keepLines_;
};

}  // namespace parlendo
