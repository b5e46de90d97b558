// The engine switch: which engine speaks for each engine type.
#include "tts/system_voices.h"

#include "tts/mbrola_library.h"

namespace parlendo {

EngineSwitch systemEngineSwitch(WavePlayer& player, KeyQueue& keys, const std::function<void(int)>& sleep,
                                const BrisaVoiceSetup& brisa) {
    return [&player, &keys, sleep, brisa](int type) -> std::unique_ptr<SpeechOutput> {
        if (type == kEngineRuleBased) {
            if (!brisa.frontEnd) return nullptr;
            // A database named with a folder is taken as it is; a bare name from the voice's folder.
            const std::string& name = brisa.config.database;
            const std::string database =
                name.find('/') != std::string::npos ? name : brisaDatabasePath(brisa.executableFolder, name);
            return createBrisaVoice(player, keys, sleep, brisa.config,
                                    MbrolaLibrary::searchPaths(brisa.executableFolder), database,
                                    brisa.frontEnd());
        }
        if (type == 4) return createEspeakVoice(player, keys, sleep);
        return createSpeechDispatcherVoice(type);
    };
}

}  // namespace parlendo
