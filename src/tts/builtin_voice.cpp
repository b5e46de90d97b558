// The built-in voice: opening its data, and words through the translator and the synthesiser.
#include "tts/builtin_voice.h"

#include "console/key_queue.h"
#include "console/settings_file.h"
#include "platform/file_system.h"
#include "text/cp1252.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

constexpr const char* kIndexFile = "DIFONES2.IND";
constexpr const char* kSampleFile = "DIFONES2.DIF";
constexpr const char* kRulesFile = "regras.rgr";
constexpr const char* kExceptionsFile = "portug.exc";

}  // namespace

std::string diphoneFolder(SettingsFile& settings, const std::string& executableFolder,
                          const std::string& characterFolder) {
    std::string value = settings.readRaw("TRADUTOR", "DIRDIFONES");
    if (value.find('@') != std::string::npos) value = settings.resolve(value);
    value = std::string(text::trim(value));
    if (value.empty()) return shareDataFolder(executableFolder, "difones");
    value = settingFolderPrefix(value);
    if (value[0] == '/') return value;
    return settingFolderPrefix(characterFolder) + value;
}

BuiltinVoice::BuiltinVoice(WavePlayer& player, KeyQueue& keys, SettingsFile& settings,
                           std::string executableFolder, std::function<void(int)> sleep)
    : player_(player),
      keys_(keys),
      settings_(settings),
      executableFolder_(std::move(executableFolder)),
      sleep_(std::move(sleep)),
      synthesiser_(database_),
      sink_(player_, keys_, sleep_, stopped_) {
    synthesiser_.setSink(&sink_);
    synthesiser_.setFadeCutEnds(true);
    // The units are recorded stressed and at one pitch: the voice gives the unstressed ones
    // their shorter, lower sound and each run of words its falling end.
    synthesiser_.setMelody(true);
}

BuiltinVoice::~BuiltinVoice() { close(); }

int BuiltinVoice::open(const std::string& characterFolder) {
    close();
    folder_ = diphoneFolder(settings_, executableFolder_, characterFolder);
    if (!folderPrefixExists(folder_)) return 1;
    if (!database_.open(folder_ + kIndexFile, folder_ + kSampleFile)) return 1;
    if (!translator_.loadTranslatorRules(folder_ + kRulesFile)) return 2;
    if (!translator_.loadTranslatorExceptions(folder_ + kExceptionsFile)) return 2;
    synthesiser_.setCharacterFolder(settingFolderPrefix(characterFolder));
    synthesiser_.allocate();
    open_ = true;
    return 0;
}

void BuiltinVoice::close() {
    synthesiser_.release();
    translator_.freeTranslatorRules();
    database_.close();
    open_ = false;
}

void BuiltinVoice::stop() {
    stopped_ = true;
    synthesiser_.stop();
}

void BuiltinVoice::speakWords(std::string_view words) {
    if (!open_) return;
    stopped_ = false;
    if (keys_.keyPressed()) return;
    synthesiser_.synthesise(translator_.translateText(words));
}

bool BuiltinVoice::PlayerSink::play(const uint8_t* image, size_t size) {
    if (stopped_ || keys_.keyPressed()) {
        player_.stopPlayer();
        return false;
    }
    // The header is for the record; the player is given the samples and their format.
    player_.playPcm(image + DiphoneSynthesiser::kHeaderSize, size - DiphoneSynthesiser::kHeaderSize, 11025, 1,
                    8);
    // The buffer is filled again only once it has been played; a key ends the wait and the words.
    while (player_.playerBusy()) {
        if (keys_.keyPressed() || stopped_) {
            player_.stopPlayer();
            return false;
        }
        sleep_(10);
    }
    return !stopped_ && !keys_.keyPressed();
}

}  // namespace parlendo
