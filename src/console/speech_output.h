// The engine interface of the speech front: an external voice that speaks whole texts instead of
// the built-in voice. Engines are opened through the engine switch the host hands the front.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace parlendo {

class SpeechOutput {
public:
    virtual ~SpeechOutput() = default;
    // Prepares the voice; the caller then waits, polling isBusy every 50 ms, until it is idle.
    virtual bool open(int voice, int speed, int pitch, std::string_view empty) = 0;
    // Starts speaking the whole text and returns at once.
    virtual void say(std::string_view text) = 0;
    // True while speaking; pumps pending events.
    virtual bool isBusy() = 0;
    virtual void stop() = 0;
    virtual void close() = 0;
    // Why the engine cannot speak: after a failed open, or once it stopped working (a server
    // that no longer answers). One line for the user, Windows-1252; empty while all is well. The
    // front then closes the engine and the built-in voice speaks instead.
    virtual std::string fault() const { return {}; }
};

// Engine types: 3 the rule-based voice, 4 and 54 the system voices of those kinds, any other
// value the default system voice.
constexpr int kEngineRuleBased = 3;

// The engine switch: an engine of a type, not yet opened; nothing when that type is not
// available. The host passes one; without it no engine ever opens.
using EngineSwitch = std::function<std::unique_ptr<SpeechOutput>(int type)>;

}  // namespace parlendo
