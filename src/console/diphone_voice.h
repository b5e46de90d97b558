// The built-in voice for runs of words: the speech front hands it plain words (Windows-1252) and
// it turns them into sound through the wave player, returning when they have been played or a
// key interrupted them.
#pragma once

#include <string>
#include <string_view>

namespace parlendo {

class DiphoneVoice {
public:
    virtual ~DiphoneVoice() = default;
    // Prepares the voice's data: 0 ready, 1 a folder or database file is missing, 2 the
    // translator's files cannot be loaded. characterFolder is the character recordings' folder
    // (Windows-1252, ending in "/"): letters are spelled from it, and a relative data folder is
    // taken from it.
    virtual int open(const std::string& characterFolder) = 0;
    virtual void close() = 0;
    // The timing of the current speed: samples cut from the end of each piece, the least kept,
    // and the silence between words.
    virtual void setDiphoneTiming(int cut, int keep, int wordGap) = 0;
    // The built-in voice's speed, 1-5.
    virtual void setSpeed(int speed) = 0;
    // Speaks a run of words and the blanks between them; returns when played or interrupted.
    virtual void speakWords(std::string_view words) = 0;
    // Ends the words being spoken.
    virtual void stop() = 0;
};

// A voice that says nothing: for runs with no sound device, where synthesising would be wasted.
class SilentDiphoneVoice final : public DiphoneVoice {
public:
    int open(const std::string&) override { return 0; }
    void close() override {}
    void setDiphoneTiming(int, int, int) override {}
    void setSpeed(int) override {}
    void speakWords(std::string_view) override {}
    void stop() override {}
};

}  // namespace parlendo
