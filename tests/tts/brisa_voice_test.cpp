// The Brisa engine over the real synthesizer library and database, with a front end of the
// test's own that hands it hand-written phoneme lines.
#include "tts/brisa_voice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "../console/fake_wave_player.h"
#include "../interp/fixture.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "tts/mbrola_library.h"
#include "tts/system_voices.h"

// The database the build made; none when the voice data are not built.
#ifndef PARLENDO_BRISA_DATABASE
#define PARLENDO_BRISA_DATABASE ""
#endif

namespace parlendo::testing {
namespace {

namespace fs = std::filesystem;

struct Asked {
    bool loadOk = true;
    std::string folder, base;
    double pitchFactor = 0, durationFactor = 0;
    std::vector<std::string> lines;
};

class LinesFrontEnd final : public BrisaPhonemeSource {
public:
    explicit LinesFrontEnd(Asked& asked) : asked_(asked) {}
    bool load(const std::string& folder, const std::string& base, std::string& lastError) override {
        asked_.folder = folder;
        asked_.base = base;
        if (!asked_.loadOk) lastError = "Erro no arquivo de prosodia";
        return asked_.loadOk;
    }
    std::vector<std::string> phonemeString(std::string_view, double pitch, double duration) override {
        asked_.pitchFactor = pitch;
        asked_.durationFactor = duration;
        return asked_.lines;
    }

private:
    Asked& asked_;
};

class BrisaVoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string_view(PARLENDO_BRISA_DATABASE).empty())
            GTEST_SKIP() << "the Brisa database is not built (PARLENDO_VOICE_DATA is off)";
    }
    std::unique_ptr<SpeechOutput> voice(const std::string& library = PARLENDO_BRISA_LIBRARY,
                                        const std::string& database = PARLENDO_BRISA_DATABASE) {
        BrisaVoiceConfig config;
        config.folder = "/data/brisa/";
        return createBrisaVoice(
            player, keys, [](int) {}, config, {library}, database, std::make_unique<LinesFrontEnd>(asked));
    }
    size_t bytesPlayed() const {
        size_t n = 0;
        for (const auto& p : player.played) n += p.samples.size();
        return n;
    }
    FakeWavePlayer player;
    KeyQueue keys;
    Asked asked;
};

TEST_F(BrisaVoiceTest, SpeaksTheLinesIn16BitBlocksAsTheyFill) {
    auto v = voice();
    ASSERT_TRUE(v->open(0, 3, 11, ""));
    EXPECT_EQ(asked.folder, "/data/brisa/");
    EXPECT_EQ(asked.base, "portug");
    // 5.2 s of speech: played in blocks as 2 s gather, then the rest.
    asked.lines = {"_ 100", "a 2000 0 100 100 140", "m 1000", "a 2000 0 140 100 100", "_ 100", ""};
    player.fastPlayback = true;
    v->say("  uma frase  ");
    EXPECT_DOUBLE_EQ(asked.pitchFactor, 2.0);
    EXPECT_DOUBLE_EQ(asked.durationFactor, 0.6);
    ASSERT_GE(player.played.size(), 2U);
    for (size_t i = 0; i < player.played.size(); ++i) {
        const auto& p = player.played[i];
        EXPECT_EQ(p.rate, 16000);
        EXPECT_EQ(p.bits, 16);
        EXPECT_EQ(p.channels, 1);
        EXPECT_FALSE(p.fast);  // played at its own rate, the setting put back after
        EXPECT_LE(p.samples.size(), kBrisaBlockBytes + kBrisaStagingSamples * 2);
    }
    EXPECT_TRUE(player.fastPlayback);
    EXPECT_NEAR(static_cast<double>(bytesPlayed()), 5200 * 32, 5200 * 32 * 0.05);
    // A blank text says nothing; a tiny utterance is padded to 256 bytes.
    player.played.clear();
    v->say("   ");
    EXPECT_TRUE(player.played.empty());
    asked.lines = {"a 2 50 120"};
    v->say("a");
    ASSERT_EQ(player.played.size(), 1U);
    EXPECT_EQ(player.played[0].samples.size(), 256U);
    v->close();
}

TEST_F(BrisaVoiceTest, ASynthesizerFailureIsRecoveredAndAKeyStopsSpeech) {
    auto v = voice();
    ASSERT_TRUE(v->open(0, 0, 0, ""));
    // The refused line makes the library reload; the lines after it still sound.
    asked.lines = {"a 300 50 120", "a x", "o 300 50 120"};
    v->say("falha");
    EXPECT_DOUBLE_EQ(asked.durationFactor, 0.8);
    EXPECT_GT(bytesPlayed(), 300U * 32 / 2);
    player.played.clear();
    asked.lines = {"a 300 50 120", "o 300 50 120"};
    v->say("depois");
    EXPECT_NEAR(static_cast<double>(bytesPlayed()), 600 * 32, 600 * 32 * 0.05);
    // A key waiting: nothing is played, the player is stopped and not busy.
    player.played.clear();
    keys.pushKey('x');
    const int stops = player.stops;
    v->say("outra");
    EXPECT_TRUE(player.played.empty());
    EXPECT_FALSE(v->isBusy());
    EXPECT_GT(player.stops, stops);
    keys.flushKeys();
    v->close();
}

TEST_F(BrisaVoiceTest, StartFailsWithoutItsPieces) {
    EXPECT_FALSE(voice("/nonexistent/libbrisa-mbrola.so")->open(0, 0, 0, ""));
    EXPECT_FALSE(voice(PARLENDO_BRISA_PARTIAL)->open(0, 0, 0, ""));
    EXPECT_FALSE(voice(PARLENDO_BRISA_LIBRARY, "/nonexistent/br4")->open(0, 0, 0, ""));
    asked.loadOk = false;
    auto v = voice();
    EXPECT_FALSE(v->open(0, 0, 0, ""));
    EXPECT_EQ(v->fault(), "Erro no arquivo de prosodia");
}

TEST_F(BrisaVoiceTest, EngineTypeThreeFindsLibraryAndDatabaseBesideTheExecutable) {
    // The build folder is laid out as the program finds its voice: the library beside the
    // executables, the database in share/oralix/brisa.
    BrisaVoiceSetup setup;
    setup.executableFolder = PARLENDO_BINARY_DIR;
    EXPECT_EQ(systemEngineSwitch(
                  player, keys, [](int) {}, setup)(kEngineRuleBased),
              nullptr);
    setup.frontEnd = [this] { return std::make_unique<LinesFrontEnd>(asked); };
    auto engine = systemEngineSwitch(
        player, keys, [](int) {}, setup)(kEngineRuleBased);
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(engine->open(0, 0, 0, ""));
    asked.lines = {"_ 50", "a 200 50 120", "_ 50"};
    engine->say("a");
    EXPECT_EQ(bytesPlayed(), 300U * 32);
    engine->close();

    // The settings: defaults, then values of the section BRISATTS.
    const fs::path folder = freshTempFolder("brisa-settings");
    SettingsFile settings(tempSettings(folder));
    BrisaVoiceConfig config = readBrisaVoiceConfig(settings, PARLENDO_BINARY_DIR);
    EXPECT_EQ(config.database, "br4");
    EXPECT_EQ(config.base, "portug");
    EXPECT_EQ(config.folder, std::string(PARLENDO_BINARY_DIR) + "/share/oralix/brisa/");
    settings.writeSetting("BRISATTS", "MBROLA_DB", "br5");
    settings.writeSetting("BRISATTS", "DIR", "/opt/brisa");
    settings.writeSetting("BRISATTS", "BASE", "outro");
    config = readBrisaVoiceConfig(settings, PARLENDO_BINARY_DIR);
    EXPECT_EQ(config.database, "br5");
    EXPECT_EQ(config.folder, "/opt/brisa/");
    EXPECT_EQ(config.base, "outro");
    fs::remove_all(folder);
}

// parlendo with engine type 3 and the real front end: a sentence becomes 16 kHz 16-bit speech;
// with a data file missing the built-in voice speaks and says why once.
TEST_F(BrisaVoiceTest, ParlendoSpeaksWithTheBrisaVoiceAndFallsBackWithoutItsFiles) {
    const fs::path folder = freshTempFolder("brisa-run");
    std::ofstream(folder / "s.plo") << "escreve \"Bom dia, a lista foi salva\"\n";
    std::ofstream(folder / "oralix.ini", std::ios::binary)
        << "[TRADUTOR]\r\nSAPI=Sim\r\n[SERVFALA]\r\nTIPOSAPI=3\r\n";
    auto run = [&](const std::string& out) {
        const std::string command = "cd " + folder.string() + " && " + PARLENDO_BINARY_DIR +
                                    "/parlendo --headless --audio dir:" + out + " --speech-log " + out +
                                    ".txt --settings oralix.ini s.plo >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(folder / out)) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        std::ifstream log(folder / (out + ".txt"));
        return std::make_pair(files, std::string(std::istreambuf_iterator<char>(log), {}));
    };
    auto header = [](const fs::path& f) {
        std::vector<uint8_t> h(44);
        std::ifstream(f, std::ios::binary).read(reinterpret_cast<char*>(h.data()), 44);
        return h;
    };

    auto [files, log] = run("brisa");
    ASSERT_FALSE(files.empty());
    std::vector<uint8_t> h = header(files[0]);
    EXPECT_EQ(h[24] | h[25] << 8, 16000);
    EXPECT_EQ(h[22], 1);   // mono
    EXPECT_EQ(h[34], 16);  // bits
    const double seconds = (fs::file_size(files[0]) - 44) / 32000.0;
    EXPECT_GT(seconds, 0.8);
    EXPECT_LT(seconds, 5.0);
    EXPECT_EQ(log.find("Erro"), std::string::npos) << log;

    // The front end's files in a folder of their own, without the prosody file.
    const fs::path data = folder / "dados";
    fs::create_directories(data);
    for (const char* ext : {".nrl", ".exc", ".abr", ".dfn"})
        fs::copy_file(std::string(PARLENDO_BINARY_DIR) + "/share/oralix/brisa/portug" + ext,
                      data / (std::string("portug") + ext));
    std::ofstream(folder / "oralix.ini", std::ios::binary | std::ios::app)
        << "[BRISATTS]\r\nDIR=" << data.string() << "\r\n";
    std::tie(files, log) = run("interna");
    ASSERT_FALSE(files.empty());
    h = header(files[0]);
    EXPECT_NE(h[24] | h[25] << 8, 16000) << "the built-in voice, not the Brisa voice";
    EXPECT_NE(log.find("Erro no arquivo de prosódia"), std::string::npos) << log;
    EXPECT_EQ(log.find("Erro no arquivo de prosódia"), log.rfind("Erro no arquivo de prosódia")) << log;
    fs::remove_all(folder);
}

}  // namespace
}  // namespace parlendo::testing
