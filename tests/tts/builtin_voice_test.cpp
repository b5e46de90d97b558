// The built-in voice: where its data are found, what a missing piece of them makes open answer,
// and words spoken through the player unless a key is waiting.
#include "tts/builtin_voice.h"

#include <gtest/gtest.h>

#include "../console/fake_wave_player.h"
#include "../interp/fixture.h"
#include "console/key_queue.h"
#include "console/settings_file.h"
#include "diphone_test_data.h"

namespace parlendo::testing {
namespace {

namespace fs = std::filesystem;

class Builtin : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = freshTempFolder("builtin");
        letters_ = folder_ / "letras";
        fs::create_directories(letters_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void setFolder(const std::string& value) {
        std::ofstream(folder_ / "oralix.ini", std::ios::binary)
            << "[TRADUTOR]\r\nDIRDIFONES=" << value << "\r\n";
    }
    // Everything the voice needs in `where`: a database holding $KA, the rule and exception files.
    void writeData(const fs::path& where, bool rules = true, bool exceptions = true) {
        writeTinyDatabase(where, {{"$KA", {1000, 10}}, {"$A", {500, 20}}});
        if (rules) std::ofstream(where / "regras.rgr") << "(K)=k\n(A)=a \n";
        if (exceptions) std::ofstream(where / "portug.exc") << "\n";
    }
    int open(BuiltinVoice& voice) { return voice.open(letters_.string() + "/"); }

    fs::path folder_, letters_;
    FakeWavePlayer player_;
    KeyQueue keys_;
};

TEST_F(Builtin, OpenFindsItsDataOrSaysWhatIsMissing) {
    SettingsFile settings(tempSettings(folder_));
    BuiltinVoice voice(player_, keys_, settings, folder_.string(), [](int) {});
    setFolder((folder_ / "nowhere").string());
    EXPECT_EQ(open(voice), 1) << "no such folder";
    fs::create_directories(folder_ / "vazio");
    setFolder((folder_ / "vazio").string());
    EXPECT_EQ(open(voice), 1) << "no database";
    writeData(folder_ / "semregras", false, true);
    setFolder((folder_ / "semregras").string());
    EXPECT_EQ(open(voice), 2) << "no rule file";
    writeData(folder_ / "semexc", true, false);
    setFolder((folder_ / "semexc").string());
    EXPECT_EQ(open(voice), 2) << "no exception file";
    writeData(folder_ / "tudo");
    setFolder((folder_ / "tudo").string());
    EXPECT_EQ(open(voice), 0);
    EXPECT_EQ(voice.folder(), (folder_ / "tudo").string() + "/");

    // A relative folder is taken from the character recordings' folder; none at all is the one
    // beside the executable.
    writeData(letters_ / "difones");
    setFolder("difones");
    EXPECT_EQ(open(voice), 0);
    EXPECT_EQ(voice.folder(), letters_.string() + "/difones/");
    setFolder("");
    EXPECT_EQ(open(voice), 1);
    writeData(folder_ / "share/oralix/difones");
    EXPECT_EQ(open(voice), 0);
    EXPECT_EQ(voice.folder(), folder_.string() + "/share/oralix/difones/");
    voice.close();
    voice.speakWords("ka");
    EXPECT_TRUE(player_.played.empty()) << "a closed voice says nothing";
}

TEST_F(Builtin, WordsArePlayedUnlessAKeyIsWaiting) {
    SettingsFile settings(tempSettings(folder_));
    writeData(folder_ / "difones");
    setFolder((folder_ / "difones").string());
    BuiltinVoice voice(player_, keys_, settings, folder_.string(), [](int) {});
    ASSERT_EQ(open(voice), 0);
    voice.setDiphoneTiming(0, 0, 0);
    voice.speakWords("ka");
    ASSERT_EQ(player_.played.size(), 1u);
    const auto& piece = player_.played[0];
    EXPECT_EQ(piece.rate, 11025);
    EXPECT_EQ(piece.channels, 1);
    EXPECT_EQ(piece.bits, 8);
    // The whole of $KA, said as an unstressed unit (0.8 of its length) of the last word of the
    // run (1.15 times slower): about 920 samples, of its value but for the last 3 ms, which fade.
    EXPECT_NEAR(static_cast<double>(piece.samples.size()), 920, 5);
    EXPECT_GE(std::count(piece.samples.begin(), piece.samples.end(), 10),
              static_cast<std::ptrdiff_t>(piece.samples.size()) - 35);

    player_.played.clear();
    keys_.pushKey('x');
    voice.speakWords("ka ka ka");
    EXPECT_TRUE(player_.played.empty());
    EXPECT_TRUE(keys_.keyPressed()) << "the key stays for the script";
}

}  // namespace
}  // namespace parlendo::testing
