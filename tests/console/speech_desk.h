// A voiced speech front on fakes: a recording player, a word voice that notes its words, a sleep
// that notes its waits, scripted keys, a fixed clock, and a settings file whose recordings
// folder is a temporary folder of small WAV files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../interp/fixture.h"
#include "console/recorded_voice.h"
#include "console/voiced_speech.h"
#include "fake_wave_player.h"

namespace parlendo::testing {

// Notes every run of words it is given as "words TEXT".
class NotingVoice final : public DiphoneVoice {
public:
    explicit NotingVoice(std::vector<std::string>& events, int openResult = 0)
        : events_(events), openResult_(openResult) {}
    int open(const std::string&) override { return openResult_; }
    void close() override {}
    void setDiphoneTiming(int cut, int keep, int gap) override { timing = {cut, keep, gap}; }
    void setSpeed(int) override {}
    void speakWords(std::string_view words) override { events_.push_back("words " + std::string(words)); }
    void stop() override {}
    std::vector<int> timing;

private:
    std::vector<std::string>& events_;
    int openResult_;
};

// Every number word the recordings hold, each recorded as 10 samples of its own value.
inline const std::vector<std::string>& numberWords() {
    static const std::vector<std::string> words = {"zero",
                                                   "um",
                                                   "uma",
                                                   "dois",
                                                   "duas",
                                                   "tr\xEAs",
                                                   "quatro",
                                                   "cinco",
                                                   "seis",
                                                   "sete",
                                                   "oito",
                                                   "nove",
                                                   "dez",
                                                   "onze",
                                                   "doze",
                                                   "treze",
                                                   "quatorze",
                                                   "quinze",
                                                   "dezesseis",
                                                   "dezessete",
                                                   "dezoito",
                                                   "dezenove",
                                                   "vinte",
                                                   "trinta",
                                                   "quarenta",
                                                   "cinq\xFC"
                                                   "enta",
                                                   "sessenta",
                                                   "setenta",
                                                   "oitenta",
                                                   "noventa",
                                                   "cem",
                                                   "cento",
                                                   "duzentos",
                                                   "trezentos",
                                                   "quatrocentos",
                                                   "quinhentos",
                                                   "seiscentos",
                                                   "setecentos",
                                                   "oitocentos",
                                                   "novecentos",
                                                   "e",
                                                   "mil",
                                                   "milh\xE3o",
                                                   "milh\xF5"
                                                   "es",
                                                   "bilh\xE3o",
                                                   "bilh\xF5"
                                                   "es"};
    return words;
}

struct SpeechDesk {
    explicit SpeechDesk(std::vector<std::string> keyList = {}, std::string settingsText = "")
        : folder(freshTempFolder("speech")),
          letters(folder / "letras"),
          typed(std::move(keyList)),
          keys(&typed),
          settings(tempSettings(folder)),
          clock(LocalTime{2026, 12, 8, 1, 1, 0, 0, 2}) {
        std::filesystem::create_directories(letters);
        // "%F" in the settings text stands for the temporary folder.
        for (size_t at; (at = settingsText.find("%F")) != std::string::npos;)
            settingsText.replace(at, 2, folder.string());
        std::ofstream(folder / "oralix.ini", std::ios::binary)
            << "[TRADUTOR]\r\ndirLetras=" << letters.string() << "\r\n"
            << settingsText;
        player.events = &events;
        auto v = std::make_unique<NotingVoice>(events);
        voice = v.get();
        speech = std::make_unique<VoicedSpeech>(
            keys, player, settings, clock, std::move(v), &log,
            [this](int ms) { events.push_back("sleep " + std::to_string(ms)); }, EngineSwitch{},
            folder.string());
    }
    ~SpeechDesk() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Writes the recordings of these character codes, the named words and every number word.
    void record(const std::vector<int>& codes, const std::vector<std::string>& names = {}) {
        for (int c : codes) writeWav(letters / ("_" + std::to_string(c) + ".wav"), 20, 128);
        for (const std::string& n : names) writeWav(letters / (n + ".wav"), 20, 128);
        RecordedVoice namer(player, keys, {});
        namer.setFolders({letters.string() + "/", "", ""});
        for (size_t i = 0; i < numberWords().size(); ++i) {
            std::string name = namer.numberWordFile(numberWords()[i]);
            writeWav(text::cp1252ToUtf8(name), 10, static_cast<uint8_t>(i + 1));
        }
    }
    int start() { return speech->startSpeech(0, ""); }

    // The number words in the samples played from memory, as the file names they came from.
    std::vector<std::string> wordsPlayed(size_t from = 0) const {
        std::vector<std::string> out;
        for (size_t p = from; p < player.played.size(); ++p) {
            const auto& samples = player.played[p].samples;
            for (size_t i = 0; i < samples.size(); i += 10) {
                size_t index = samples[i] - 1u;
                out.push_back(index < numberWords().size() ? numberWords()[index] : "?");
            }
        }
        return out;
    }

    std::filesystem::path folder;
    std::filesystem::path letters;
    ScriptedKeys typed;
    KeyQueue keys;
    SettingsFile settings;
    FixedClock clock;
    FakeWavePlayer player;
    std::vector<std::string> events;
    SpeechLog log;
    NotingVoice* voice = nullptr;
    std::unique_ptr<VoicedSpeech> speech;
};

}  // namespace parlendo::testing
