// The braille keyboard: six home-row keys typed together as the dots of a braille cell, the
// space bar as the chord key. Fed with key-down and key-up events by a renderer that has them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace parlendo {

class SpeechFront;

class BrailleKeyboard {
public:
    // 0 off; 1 the cells as the character table gives them; 2 with the number and capital signs.
    static constexpr int kOff = 0;

    explicit BrailleKeyboard(SpeechFront& speech) : speech_(speech) {}

    // The mode a setting text names: the low two bits of its first character ("3" acts as 1).
    static int modeFromSetting(std::string_view setting);
    // The character of a chord of dots (dot 1 = 1 ... dot 6 = 32), Windows-1252.
    static uint8_t cellCharacter(int dots);

    int mode() const { return mode_; }
    bool on() const { return mode_ != kOff; }
    // Changes the mode, sounding it: off 100 Hz; mode 1 800 then 1600 Hz; mode 2 800 then
    // 400 Hz. Setting the mode in force again sounds it again but never the off tone.
    void setMode(int mode);
    // Ctrl+Alt+F11: 1, then 2, then 1 again.
    void nextMode() { setMode(mode_ == 1 ? 2 : 1); }

    // A character event: in braille mode letters and blanks are chord keys and not queued.
    bool swallowsCharacter(uint8_t c) const;
    // A key went down: a letter key 'A'-'Z', the space bar ' ', or any other key (0). True when
    // it was taken as a chord key.
    bool keyDown(char key, bool ctrl);
    // A key went up; the character to queue when a chord is complete.
    std::optional<uint8_t> keyUp(char key, bool ctrl);

private:
    std::optional<uint8_t> emit();
    std::optional<uint8_t> applySigns(uint8_t c);
    void clearSigns() { number_ = capital_ = capitalLock_ = false; }

    SpeechFront& speech_;
    int mode_ = kOff;
    int chord_ = 0;  // dot bits, 64 for the space bar
    int held_ = 0;   // chord keys still down
    bool number_ = false;
    bool capital_ = false;
    bool capitalLock_ = false;
};

}  // namespace parlendo
