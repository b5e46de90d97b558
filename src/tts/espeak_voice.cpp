// espeak-ng in this process, synthesising into the wave player.
#include "tts/system_voices.h"

namespace parlendo {

// Not built yet: the type is not available.
std::unique_ptr<SpeechOutput> createEspeakVoice(WavePlayer&, KeyQueue&, std::function<void(int)>) { return nullptr; }

}  // namespace parlendo
