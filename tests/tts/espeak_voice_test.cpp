// The espeak-ng word voice: words become 16-bit pieces for the player, the first one at once;
// a waiting key or a stop ends them.
#include "tts/espeak_voice.h"

#include <gtest/gtest.h>

#include "../console/fake_wave_player.h"
#include "console/key_queue.h"

namespace parlendo::testing {
namespace {

TEST(EspeakVoice, WordsBecomePiecesForThePlayer) {
    FakeWavePlayer player;
    KeyQueue keys;
    int waits = 0;
    EspeakVoice voice(player, keys, [&](int) { ++waits; });
    ASSERT_EQ(voice.open(), 0);
    if (!voice.available()) GTEST_SKIP() << "espeak-ng has no Brazilian Portuguese voice here";
    voice.setSpeed(3);
    voice.speakWords("bom dia a todos os ouvintes da r\xE1" "dio");
    ASSERT_GE(player.played.size(), 2u);
    size_t total = 0;
    for (size_t i = 0; i < player.played.size(); ++i) {
        const auto& p = player.played[i];
        EXPECT_EQ(p.bits, 16);
        EXPECT_EQ(p.channels, 1);
        EXPECT_GT(p.rate, 8000);
        EXPECT_EQ(p.samples.size() % 2, 0u);
        if (i > 0 && i + 1 < player.played.size()) {
            EXPECT_GE(p.samples.size(), 8192u) << "full pieces after the first";
        }
        total += p.samples.size();
    }
    EXPECT_LT(player.played[0].samples.size(), 8192u) << "the first piece goes out at once";
    EXPECT_GT(total / 2, static_cast<size_t>(player.played[0].rate / 2)) << "more than half a second of speech";

    player.played.clear();
    keys.pushKey('x');
    voice.speakWords("isto nunca se ouve");
    EXPECT_TRUE(player.played.empty()) << "a waiting key ends the words";
    EXPECT_TRUE(keys.keyPressed());
}

}  // namespace
}  // namespace parlendo::testing
