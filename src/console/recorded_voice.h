// The recorded voice: one recording per character code, per number word and per named word,
// their folders and file names, numbers in Portuguese words, the time, the date and telephone
// tones. All recordings are 8-bit mono at 11025 samples per second.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace parlendo {

class WavePlayer;
class KeyQueue;

// The three folders, each empty or ending in "/".
struct RecordingFolders {
    std::string characters;  // one recording per character code, number words, tones
    std::string letters;     // named words beginning with "_"
    std::string words;       // the script's own named words (the interpreter's folder)
};

// A number in Portuguese words ("cento e vinte", "mil e duzentos e trinta e quatro"), for
// 0 <= n < 10^15; the words are Windows-1252 and separated by blanks.
std::string numberToWords(int64_t n);

// The samples of a WAV image as 8-bit unsigned mono: 8-bit data as it is, 16-bit data by its
// high byte, the first channel of several. Nothing when the image is no PCM WAV.
std::optional<std::string> wavSamples8BitMono(std::string_view image);

// The weekday of a date, 0 = Sunday.
int weekdayOf(int day, int month, int year);

class RecordedVoice {
public:
    static constexpr size_t kNumberBuffer = 30000;
    static constexpr int kRate = 11025;

    // sleep waits the given milliseconds while pumping events.
    RecordedVoice(WavePlayer& player, KeyQueue& keys, std::function<void(int)> sleep);

    void setFolders(RecordingFolders folders) { folders_ = std::move(folders); }
    const RecordingFolders& folders() const { return folders_; }
    // Called before a recording plays: waits for an engine's pending speech.
    void setBeforePlay(std::function<void()> beforePlay) { beforePlay_ = std::move(beforePlay); }

    // File names. characterFile falls back to "_unknown.wav" when the code's file is missing.
    std::string characterFile(uint8_t code) const;
    std::string wordFile(std::string_view name) const;
    std::string numberWordFile(std::string_view word) const;
    std::string toneFile(char c) const;

    // Codes 1-11 and 13-31 play nothing.
    void playCharacter(uint8_t code);
    void playWord(std::string_view name);
    bool wordExists(std::string_view name) const;
    // Character by character until a key is waiting; a tab is the "_FON9" word.
    void spell(std::string_view text);
    // Plays number words from their recordings, joined in one buffer; with feminine, a last
    // "um" or "dois" is said "uma", "duas". Returns when played.
    void sayNumberWords(std::string_view words, bool feminine);
    // inFull: the minute word after the minutes; otherwise "_EHORA" between hours and minutes.
    void sayTime(int hours, int minutes, bool inFull);
    void sayDate(int day, int month, int year);
    // Telephone tones for #, * and digits; a comma pauses a second.
    void playTones(std::string_view text);
    // Waits until the player has nothing in flight (a waiting key ends the wait).
    void waitIdle();

private:
    void beforePlay() {
        if (beforePlay_) beforePlay_();
    }
    void playBuffer(const std::string& samples);
    void pause(int milliseconds);

    WavePlayer& player_;
    KeyQueue& keys_;
    std::function<void(int)> sleep_;
    std::function<void()> beforePlay_;
    RecordingFolders folders_;
};

}  // namespace parlendo
