// The interpreter's console port over the grid, the key queue and the speech front.
#pragma once

#include "console/console_grid.h"
#include "console/key_queue.h"
#include "console/speech_front.h"
#include "interp/console_port.h"

namespace parlendo {

class GridConsolePort final : public ConsolePort {
public:
    GridConsolePort(ConsoleGrid& console, KeyQueue& keys, SpeechFront& speech)
        : console_(console), keys_(keys), speech_(speech) {}
    void write(std::string_view bytes) override { console_.write(bytes); }
    void writeLine(std::string_view text) override { console_.writeLine(text); }
    void speak(std::string_view text) override { speech_.speak(text); }
    std::optional<uint8_t> readKey() override { return keys_.readKey(); }
    bool keysExhausted() const override { return keys_.exhausted(); }

private:
    ConsoleGrid& console_;
    KeyQueue& keys_;
    SpeechFront& speech_;
};

}  // namespace parlendo
