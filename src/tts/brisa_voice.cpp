// The Brisa engine: start-up, one utterance at a time through the synthesizer, and the reload
// of the synthesizer after it fails.
#include "tts/brisa_voice.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "console/key_queue.h"
#include "console/settings_file.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/brisa_front_end.h"
#include "tts/mbrola_library.h"
#include "tts/wave_player.h"

namespace parlendo {
namespace {

constexpr int kBrisaRate = 16000;
constexpr size_t kShortestBlock = 256;  // bytes: a shorter utterance is padded with silence

const char* const kNoSynthesizer = "Voz Brisa indisponível: sintetizador ou base de difones ausente."_cp;

class BrisaVoice final : public SpeechOutput {
public:
    BrisaVoice(WavePlayer& player, KeyQueue& keys, std::function<void(int)> sleep, BrisaVoiceConfig config,
               std::vector<std::string> libraryPaths, std::string databasePath,
               std::unique_ptr<BrisaPhonemeSource> frontEnd)
        : player_(player),
          keys_(keys),
          sleep_(std::move(sleep)),
          config_(std::move(config)),
          libraryPaths_(std::move(libraryPaths)),
          databasePath_(std::move(databasePath)),
          frontEnd_(std::move(frontEnd)) {}

    bool open(int, int speed, int pitch, std::string_view) override {
        fault_.clear();
        lastError_.clear();
        if (!startSynthesizer()) {
            fault_ = kNoSynthesizer;
            return false;
        }
        if (!frontEnd_ || !frontEnd_->load(config_.folder, config_.base, lastError_)) {
            closeSynthesizer();
            fault_ = lastError_.empty() ? std::string(kNoSynthesizer) : lastError_;
            return false;
        }
        pitchFactor_ = (pitch + 11) / 11.0;
        durationFactor_ = 0.8 - speed / 15.0;
        library_->calls().setNoError_MBR(0);
        return true;
    }

    void say(std::string_view text) override { speak(text); }

    bool isBusy() override {
        if (keyWaiting()) {
            stop();
            return false;
        }
        return player_.playerBusy();
    }

    void stop() override { player_.stopPlayer(); }

    void close() override {
        while (isBusy()) sleep_(500);
        stop();
        closeSynthesizer();
    }

    std::string fault() const override { return fault_; }

private:
    bool keyWaiting() { return player_.interruptible && keys_.keyPressed(); }

    bool startSynthesizer() {
        std::string error;
        library_ = MbrolaLibrary::load(libraryPaths_, error);
        if (!library_) return false;
        if (library_->calls().init_MBR(databasePath_.c_str()) < 0) {
            library_.reset();
            return false;
        }
        return true;
    }

    void closeSynthesizer() {
        if (library_) library_->calls().close_MBR();
        library_.reset();
    }

    // After a failure: the library is released, loaded again and given the same database.
    void reload() {
        closeSynthesizer();
        if (startSynthesizer()) library_->calls().setNoError_MBR(-63);
    }

    void play(std::vector<uint8_t>& block) {
        if (block.empty()) return;
        player_.playPcm(block.data(), block.size(), kBrisaRate, 1, 16);
        block.clear();
    }

    // Reads what the synthesizer has ready into the play buffer; false on a failure.
    bool readSamples(std::vector<uint8_t>& block) {
        if (!library_) return false;
        for (;;) {
            const int n = library_->calls().read_MBR(staging_.data(), kBrisaStagingSamples);
            if (n < 0) return false;
            if (n == 0) return true;
            const size_t bytes = static_cast<size_t>(std::min(n, kBrisaStagingSamples)) * 2;
            if (block.size() + bytes >= kBrisaBlockBytes) play(block);
            const auto* raw = reinterpret_cast<const uint8_t*>(staging_.data());
            block.insert(block.end(), raw, raw + bytes);
        }
    }

    void speak(std::string_view text) {
        const std::string_view trimmed = text::trim(text);
        if (trimmed.empty() || !frontEnd_) return;
        if (!library_) reload();
        if (!library_) return;
        std::vector<std::string> lines = frontEnd_->phonemeString(trimmed, pitchFactor_, durationFactor_);
        // Synthesised speech is played at its own rate.
        const bool rapid = player_.rapidPlayback, fast = player_.fastPlayback;
        player_.rapidPlayback = player_.fastPlayback = false;
        player_.beginSound();
        library_->calls().reset_MBR();
        library_->calls().setNoError_MBR(-63);
        staging_.resize(kBrisaStagingSamples);
        std::vector<uint8_t> block;
        block.reserve(kBrisaBlockBytes + kBrisaStagingSamples * 2);
        for (size_t i = 0; i < lines.size(); ++i) {
            const bool last = i + 1 == lines.size();
            if (lines[i].empty() && !last) continue;
            if (keyWaiting()) break;
            if (!library_ || library_->calls().write_MBR((lines[i] + "\r\n").c_str()) < 0) {
                reload();
            }
            if (last && library_) library_->calls().flush_MBR();
            if (!readSamples(block)) {
                reload();
            }
        }
        if (!block.empty() && !keyWaiting()) {
            if (block.size() < kShortestBlock) block.resize(kShortestBlock, 0);
            play(block);
        }
        player_.endSound();
        player_.rapidPlayback = rapid;
        player_.fastPlayback = fast;
        if (keyWaiting()) player_.stopPlayer();
    }

    WavePlayer& player_;
    KeyQueue& keys_;
    std::function<void(int)> sleep_;
    BrisaVoiceConfig config_;
    std::vector<std::string> libraryPaths_;
    std::string databasePath_;
    std::unique_ptr<BrisaPhonemeSource> frontEnd_;
    std::optional<MbrolaLibrary> library_;
    std::vector<short> staging_;
    double pitchFactor_ = 1.0, durationFactor_ = 1.0;
    std::string lastError_, fault_;
};

}  // namespace

BrisaVoiceConfig readBrisaVoiceConfig(SettingsFile& settings, const std::string& executableFolder) {
    BrisaVoiceConfig config;
    const std::string database(text::trim(settings.readSetting("BRISATTS", "MBROLA_DB")));
    if (!database.empty()) config.database = database;
    const std::string folder(text::trim(settings.readSetting("BRISATTS", "DIR")));
    config.folder = folder.empty() ? shareDataFolder(executableFolder, "brisa") : settingFolderPrefix(folder);
    const std::string base(text::trim(settings.readSetting("BRISATTS", "BASE")));
    if (!base.empty()) config.base = base;
    return config;
}

namespace {

class RulesFrontEnd final : public BrisaPhonemeSource {
public:
    bool load(const std::string& folder, const std::string& base, std::string& lastError) override {
        const std::string stem = folder + base;
        front_.freeRules();
        front_.freeDiphones();
        if (!front_.loadRules(stem + ".nrl") || !front_.loadExceptions(stem + ".exc")) {
            lastError = "Erro na base de dados de português"_cp;
            return false;
        }
        if (!front_.loadAbbreviations(stem + ".abr")) {
            lastError = "Erro no arquivo de abreviaturas";
            return false;
        }
        if (!front_.loadProsody(stem + ".pro") || !front_.loadDiphones(stem + ".dfn")) {
            lastError = "Erro no arquivo de prosódia"_cp;
            return false;
        }
        return true;
    }

    std::vector<std::string> phonemeString(std::string_view text, double pitchFactor,
                                           double durationFactor) override {
        return front_.phonemeString(text, pitchFactor, durationFactor);
    }

private:
    BrisaFrontEnd front_;
};

}  // namespace

std::unique_ptr<BrisaPhonemeSource> brisaRulesFrontEnd() { return std::make_unique<RulesFrontEnd>(); }

std::unique_ptr<SpeechOutput> createBrisaVoice(WavePlayer& player, KeyQueue& keys,
                                               std::function<void(int)> sleep, BrisaVoiceConfig config,
                                               std::vector<std::string> libraryPaths,
                                               std::string databasePath,
                                               std::unique_ptr<BrisaPhonemeSource> frontEnd) {
    return std::make_unique<BrisaVoice>(player, keys, std::move(sleep), std::move(config),
                                        std::move(libraryPaths), std::move(databasePath),
                                        std::move(frontEnd));
}

}  // namespace parlendo
