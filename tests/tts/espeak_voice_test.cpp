// espeak-ng in this process as engine type 4: the real library over a player that keeps its
// pieces, and parlendo run end to end with the engine chosen in its settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../console/fake_wave_player.h"
#include "../interp/fixture.h"
#include "console/key_queue.h"
#include "tts/system_voices.h"

namespace parlendo::testing {
namespace {

namespace fs = std::filesystem;

const char* kSentence =
    "Bom dia, ouvintes da r\xE1"
    "dio brasileira.";

// Every piece the engine played, one after the other.
std::vector<uint8_t> allSamples(const FakeWavePlayer& player) {
    std::vector<uint8_t> all;
    for (const auto& p : player.played) {
        EXPECT_EQ(p.rate, 22050);
        EXPECT_EQ(p.channels, 1);
        EXPECT_EQ(p.bits, 16);
        all.insert(all.end(), p.samples.begin(), p.samples.end());
    }
    return all;
}

std::vector<uint8_t> spoken(int voice, int speed, int pitch, const char* text = kSentence) {
    FakeWavePlayer player;
    KeyQueue keys;
    auto engine = createEspeakVoice(player, keys, [](int) {});
    EXPECT_TRUE(engine->open(voice, speed, pitch, "")) << engine->fault();
    engine->say(text);
    engine->close();
    return allSamples(player);
}

// espeak-ng adds noise of its own to each run, so sounds are compared by their length and by how
// often the smoothed wave rises through zero (higher for a higher voice).
struct Heard {
    size_t samples = 0;
    double rises = 0;  // per second
};

Heard heard(const std::vector<uint8_t>& bytes) {
    Heard h;
    h.samples = bytes.size() / 2;
    int crossings = 0;
    double smooth = 0;
    bool below = true;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        int16_t v = static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8);
        smooth += (v - smooth) / 16;
        if (below && smooth > 100) {
            ++crossings;
            below = false;
        } else if (smooth < -100) {
            below = true;
        }
    }
    h.rises = h.samples ? crossings * 22050.0 / h.samples : 0;
    return h;
}

Heard heard(int voice, int speed, int pitch) { return heard(spoken(voice, speed, pitch)); }

void expectAlike(const Heard& a, const Heard& b, const char* what) {
    EXPECT_NEAR(double(a.samples), double(b.samples), b.samples * 0.02) << what;
    EXPECT_NEAR(a.rises, b.rises, b.rises * 0.04) << what;
}

TEST(EspeakVoice, VoiceSpeedAndPitchChooseTheSound) {
    const Heard plain = heard(0, 0, 0);
    ASSERT_GT(plain.samples, 11025u) << "over half a second of speech";
    expectAlike(heard(1, 0, 0), plain, "voice 1 is the plain voice");
    expectAlike(heard(99, 0, 0), plain, "a number past the variants takes the plain voice");
    expectAlike(heard(-3, 0, 0), plain, "so does a negative one");
    EXPECT_GT(heard(9, 0, 0).rises, plain.rises * 1.07) << "pt-br+f1 is higher";
    // Faster speech is shorter; values past the range are held to it.
    const Heard fast = heard(0, 10, 0), slow = heard(0, -10, 0);
    EXPECT_LT(fast.samples, plain.samples * 3 / 4);
    EXPECT_GT(slow.samples, plain.samples * 3 / 2);
    expectAlike(heard(0, -50, 0), slow, "speed -50 is -10");
    const Heard high = heard(0, 0, 10);
    EXPECT_GT(high.rises, plain.rises * 1.05);
    EXPECT_LT(heard(0, 0, -10).rises, plain.rises * 0.98);
    expectAlike(heard(0, 0, 40), high, "pitch 40 is 10");
    // Blank text says nothing; a lone digit is said.
    EXPECT_TRUE(spoken(0, 0, 0, "   ").empty());
    EXPECT_GT(spoken(0, 0, 0, " 5 ").size(), 4000u);
}

TEST(EspeakVoice, AKeyCutsTheSentenceAndTheNextOneIsWhole) {
    FakeWavePlayer player;
    KeyQueue keys;
    // The key arrives once the second piece has been played.
    keys.setPump([&] {
        if (player.played.size() == 2 && keys.size() == 0 && player.stops == 0) keys.pushKey(27);
    });
    auto engine = createEspeakVoice(player, keys, [](int) {});
    // A second engine opened in between must not leave the first with its voice.
    auto other = createEspeakVoice(player, keys, [](int) {});
    ASSERT_TRUE(engine->open(0, 0, 0, "")) << engine->fault();
    ASSERT_TRUE(other->open(12, 8, -8, "")) << other->fault();

    const std::string longText = std::string(kSentence) + " " + kSentence + " " + kSentence;
    engine->say(longText);
    EXPECT_EQ(player.played.size(), 2u) << "synthesis ended at the key";
    EXPECT_FALSE(engine->isBusy());
    EXPECT_GE(player.stops, 1);
    const size_t cut = allSamples(player).size();

    // While the key waits nothing is spoken; once it is read the whole text is.
    engine->say(kSentence);
    EXPECT_EQ(allSamples(player).size(), cut);
    keys.flushKeys();
    player.played.clear();
    player.stops = 1;  // no further key
    engine->say(longText);
    const size_t whole = allSamples(player).size();
    EXPECT_GT(whole, 3 * cut);
    player.played.clear();
    engine->say(kSentence);
    expectAlike(heard(allSamples(player)), heard(0, 0, 0), "still the first engine's voice");
    engine->close();
}

// parlendo with engine type 4 in its settings, writing its sounds to a folder.
class EspeakRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = freshTempFolder("espeak-run");
        std::ofstream(folder_ / "s.plo") << "escreve \"" << kSentence << "\"\n";
        std::ofstream(folder_ / "oralix.ini", std::ios::binary)
            << "[TRADUTOR]\r\nSAPI=Sim\r\n[SERVFALA]\r\nTIPOSAPI=4\r\n";
    }
    void TearDown() override { fs::remove_all(folder_); }

    // The sounds written, each as its header's format and data size; the speech log (UTF-8) in `log`.
    struct Sound {
        int rate, channels, bits;
        uint32_t dataSize;
        uintmax_t fileSize;
    };
    std::vector<Sound> run(const std::string& environment, std::string& log) {
        std::string command =
            "cd " + folder_.string() + " && " + environment + " " + PARLENDO_BINARY_DIR +
            "/parlendo --headless --audio dir:out --speech-log fala.txt --settings oralix.ini"
            " s.plo >saida.txt 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        std::ifstream in(folder_ / "fala.txt");
        std::stringstream ss;
        ss << in.rdbuf();
        log = ss.str();
        std::vector<Sound> sounds;
        std::vector<fs::path> files;
        if (fs::is_directory(folder_ / "out"))
            for (const auto& e : fs::directory_iterator(folder_ / "out")) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& f : files) {
            uint8_t h[44] = {};
            std::ifstream(f, std::ios::binary).read(reinterpret_cast<char*>(h), sizeof h);
            auto u32 = [&](int at) {
                return h[at] | h[at + 1] << 8 | h[at + 2] << 16 | uint32_t(h[at + 3]) << 24;
            };
            sounds.push_back(
                {int(u32(24)), h[22] | h[23] << 8, h[34] | h[35] << 8, u32(40), fs::file_size(f)});
        }
        return sounds;
    }

    fs::path folder_;
};

TEST_F(EspeakRun, ASentenceIsOneSoundOfEspeakSpeech) {
    std::string log;
    std::vector<Sound> sounds = run("", log);
    // The sentence and the end of the script, each one file.
    ASSERT_EQ(sounds.size(), 2u) << "one utterance, one file";
    EXPECT_NE(log.find("Fim do script"), std::string::npos) << log;
    const Sound& s = sounds[0];
    EXPECT_EQ(s.rate, 22050);
    EXPECT_EQ(s.channels, 1);
    EXPECT_EQ(s.bits, 16);
    EXPECT_EQ(s.fileSize, s.dataSize + 44u);
    const double seconds = s.dataSize / 2.0 / 22050;
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 6.0);
    EXPECT_NE(log.find("Bom dia"), std::string::npos) << log;
}

TEST_F(EspeakRun, WithoutItsDataTheBuiltInVoiceSpeaksAndSaysWhy) {
    fs::create_directories(folder_ / "vazio");
    std::string log;
    std::vector<Sound> sounds = run("ESPEAK_DATA_PATH=" + (folder_ / "vazio").string(), log);
    EXPECT_NE(
        log.find("Voz espeak-ng indispon\xC3\xADvel: dados n\xC3\xA3o encontrados; usando a voz interna."),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("Bom dia"), std::string::npos) << log;
    ASSERT_FALSE(sounds.empty());
    for (const Sound& s : sounds) EXPECT_EQ(s.bits, 8) << "only the built-in voice spoke";
    std::ifstream out(folder_ / "saida.txt");
    std::stringstream ss;
    ss << out.rdbuf();
    EXPECT_EQ(ss.str().find("phontab"), std::string::npos)
        << "espeak-ng's own complaint stays off the console";
}

}  // namespace
}  // namespace parlendo::testing
