// The system's voices behind the engine switch: espeak-ng in this process (engine type 4) and
// speech-dispatcher (any other type but the rule-based voice), each an engine of the speech front.
#pragma once

#include <functional>
#include <memory>

#include "console/speech_output.h"

namespace parlendo {

class KeyQueue;
class WavePlayer;

// espeak-ng synthesising into the wave player: `sleep` waits the given milliseconds while
// pumping events.
std::unique_ptr<SpeechOutput> createEspeakVoice(WavePlayer& player, KeyQueue& keys, std::function<void(int)> sleep);

// speech-dispatcher through libspeechd, talked to from a thread of its own so that a server
// that stops answering never holds the program. `type` is the engine type asked for (5, 54...).
std::unique_ptr<SpeechOutput> createSpeechDispatcherVoice(int type);

// The engine switch of a run: type 4 espeak-ng, 3 none (the rule-based voice is not built yet),
// any other type speech-dispatcher.
EngineSwitch systemEngineSwitch(WavePlayer& player, KeyQueue& keys, std::function<void(int)> sleep);

}  // namespace parlendo
