// The system's voices behind the engine switch: espeak-ng in this process (engine type 4) and
// speech-dispatcher (any other type but the rule-based voice), each an engine of the speech front.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "console/speech_output.h"
#include "tts/brisa_voice.h"

namespace parlendo {

class KeyQueue;
class WavePlayer;

// espeak-ng synthesising into the wave player: `sleep` waits the given milliseconds while
// pumping events.
std::unique_ptr<SpeechOutput> createEspeakVoice(WavePlayer& player, KeyQueue& keys,
                                                const std::function<void(int)>& sleep);

// speech-dispatcher through libspeechd, talked to from a thread of its own so that a server
// that stops answering never holds the program. `type` is the engine type asked for (5, 54...).
std::unique_ptr<SpeechOutput> createSpeechDispatcherVoice(int type);

// How long speech-dispatcher may keep the program waiting before it is given up for the run.
constexpr std::chrono::milliseconds kServerAnswerLimit{2000};     // for the answer to any command
constexpr std::chrono::milliseconds kSpeechEndGrace{5000};        // for the end of a text, besides
constexpr std::chrono::milliseconds kSpeechEndPerCharacter{200};  // this much per character

struct SpeechDispatcherLimits {
    std::chrono::milliseconds answer = kServerAnswerLimit;
    std::chrono::milliseconds endGrace = kSpeechEndGrace;
    std::chrono::milliseconds endPerCharacter = kSpeechEndPerCharacter;
    // Start the server when none is running, as its clients usually do.
    bool autospawn = true;
};

// The same with other limits (the tests' servers, which answer late or never).
std::unique_ptr<SpeechOutput> createSpeechDispatcherVoice(int type, const SpeechDispatcherLimits& limits);

// What the switch needs for the Brisa voice (type 3): its settings, the executable's folder (where
// the synthesizer library and the database are looked for first) and a maker of its front end.
struct BrisaVoiceSetup {
    BrisaVoiceConfig config;
    std::string executableFolder;
    std::function<std::unique_ptr<BrisaPhonemeSource>()> frontEnd;  // empty: type 3 opens nothing
};

// The engine switch of a run: type 3 the Brisa voice, 4 espeak-ng, any other type
// speech-dispatcher.
EngineSwitch systemEngineSwitch(WavePlayer& player, KeyQueue& keys, const std::function<void(int)>& sleep,
                                const BrisaVoiceSetup& brisa = {});

}  // namespace parlendo
