// The engine switch: which engine speaks for each engine type.
#include "tts/system_voices.h"

namespace parlendo {

EngineSwitch systemEngineSwitch(WavePlayer& player, KeyQueue& keys, const std::function<void(int)>& sleep) {
    return [&player, &keys, sleep](int type) -> std::unique_ptr<SpeechOutput> {
        if (type == kEngineRuleBased) return nullptr;
        if (type == 4) return createEspeakVoice(player, keys, sleep);
        return createSpeechDispatcherVoice(type);
    };
}

}  // namespace parlendo
