// The built-in voice for runs of words: the translator turns them into phonetic text and the
// diphone synthesiser speaks it through the wave player. Its data (the diphone database DIFONES2
// and the translator's regras.rgr and portug.exc) live in the DIRDIFONES folder.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "console/diphone_voice.h"
#include "tts/diphone_database.h"
#include "tts/diphone_synthesiser.h"
#include "tts/translator.h"

namespace parlendo {

class WavePlayer;
class KeyQueue;
class SettingsFile;

// The folder of the voice's data ("/" separators, ending in "/"): setting DIRDIFONES of section
// TRADUTOR, read unresolved ("@" forms are resolved all the same, as for the character
// recordings); when empty, "share/oralix/difones" beside the executable (or "../share/oralix/
// difones" from it for an installed copy); a relative value is taken from the character
// recordings' folder. Names are Windows-1252.
std::string diphoneFolder(SettingsFile& settings, const std::string& executableFolder,
                          const std::string& characterFolder);

class BuiltinVoice final : public DiphoneVoice {
public:
    // sleep waits the given milliseconds while pumping events; executableFolder is Windows-1252,
    // with no trailing slash.
    BuiltinVoice(WavePlayer& player, KeyQueue& keys, SettingsFile& settings, std::string executableFolder,
                 std::function<void(int)> sleep);
    ~BuiltinVoice() override;

    // 0 ready; 1 the data folder, the index or the sample file is missing; 2 regras.rgr or
    // portug.exc cannot be loaded.
    int open(const std::string& characterFolder) override;
    void close() override;
    void setDiphoneTiming(int cut, int keep, int wordGap) override {
        synthesiser_.setDiphoneTiming(cut, keep, wordGap);
    }
    void setSpeed(int) override {}
    void speakWords(std::string_view words) override;
    void stop() override;

    // The folder open() read the data from.
    const std::string& folder() const { return folder_; }

private:
    class PlayerSink final : public SoundSink {
    public:
        PlayerSink(WavePlayer& player, KeyQueue& keys, std::function<void(int)>& sleep, bool& stopped)
            : player_(player), keys_(keys), sleep_(sleep), stopped_(stopped) {}
        bool play(const uint8_t* image, size_t size) override;

    private:
        WavePlayer& player_;
        KeyQueue& keys_;
        std::function<void(int)>& sleep_;
        bool& stopped_;
    };

    WavePlayer& player_;
    KeyQueue& keys_;
    SettingsFile& settings_;
    std::string executableFolder_;
    std::function<void(int)> sleep_;
    bool stopped_ = false;
    bool open_ = false;
    std::string folder_;
    DiphoneDatabase database_;
    Translator translator_;
    DiphoneSynthesiser synthesiser_;
    PlayerSink sink_;
};

}  // namespace parlendo
