// speech-dispatcher through libspeechd.
#include "tts/system_voices.h"

namespace parlendo {

// Not built yet: the type is not available.
std::unique_ptr<SpeechOutput> createSpeechDispatcherVoice(int) { return nullptr; }

}  // namespace parlendo
