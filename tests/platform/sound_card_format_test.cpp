// The sound card kept in one format: conversion of pieces, and sounds of several formats played
// one after the other on SDL's disk driver without the card being reopened.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "../interp/fixture.h"
#include "platform/audio_device.h"
#include "platform/pcm_converter.h"

namespace parlendo {
namespace {

std::vector<uint8_t> tone(const AudioFormat& f, double seconds, double hertz) {
    std::vector<uint8_t> out;
    const int frames = static_cast<int>(f.rate * seconds);
    for (int i = 0; i < frames; ++i) {
        double v = std::sin(2 * M_PI * hertz * i / f.rate) * 0.5;
        for (int c = 0; c < f.channels; ++c) {
            if (f.bits == 8) {
                out.push_back(static_cast<uint8_t>(128 + std::lround(v * 127)));
            } else {
                auto s = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767)));
                out.push_back(static_cast<uint8_t>(s & 0xff));
                out.push_back(static_cast<uint8_t>(s >> 8));
            }
        }
    }
    return out;
}

int16_t at(const std::vector<uint8_t>& card, size_t i) {
    return static_cast<int16_t>(card[2 * i] | card[2 * i + 1] << 8);
}

TEST(SoundCardFormat, PiecesAreConvertedAsIfWholeAtTheCardsRate) {
    const AudioFormat speech{11025, 1, 8};
    std::vector<uint8_t> sound = tone(speech, 1.0, 440);
    PcmConverter whole, pieces;
    whole.setInput(speech);
    pieces.setInput(speech);
    std::vector<uint8_t> a, b;
    whole.convert(sound.data(), sound.size(), a);
    for (size_t off = 0; off < sound.size(); off += 1001)
        pieces.convert(sound.data() + off, std::min<size_t>(1001, sound.size() - off), b);
    EXPECT_EQ(a, b);
    // One second at 44100 frames of two 16-bit channels; the last input frame waits for more.
    EXPECT_NEAR(static_cast<double>(a.size()), 44100 * 4, 4 * 5);
    for (size_t i = 0; i + 1 < a.size() / 2; i += 2) ASSERT_EQ(at(a, i), at(a, i + 1)) << i;
    // The input's samples fall on every fourth frame; 8-bit 128 is silence.
    EXPECT_EQ(at(a, 4 * 2 * 100), static_cast<int16_t>((sound[100] - 128) << 8));

    // 16-bit stereo at the card's rate passes unchanged, channels kept apart; odd bytes of a
    // cut frame are dropped.
    PcmConverter same;
    same.setInput(kCardFormat);
    std::vector<uint8_t> stereo = tone(kCardFormat, 0.1, 1000);
    for (size_t i = 2; i < stereo.size(); i += 4) stereo[i] = static_cast<uint8_t>(~stereo[i]);
    std::vector<uint8_t> c;
    same.convert(stereo.data(), stereo.size() - 4 + 3, c);
    ASSERT_EQ(c.size(), stereo.size() - 8);
    EXPECT_TRUE(std::equal(c.begin(), c.end(), stereo.begin()));
}

TEST(SoundCardFormat, FormatsFollowEachOtherOnTheOpenCard) {
    auto folder = testing::freshTempFolder("card");
    const std::string out = (folder / "card.raw").string();
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    ::setenv("SDL_DISKAUDIODELAY", "1", 1);
    std::string error;
    std::unique_ptr<AudioDevice> card = createSystemAudioDevice("", error);
    ::unsetenv("SDL_AUDIODRIVER");
    if (!card) GTEST_SKIP() << "SDL's disk driver is not available: " << error;
    ASSERT_TRUE(card->takesAnyFormat());

    // A recording, then speech of another format, then the recording again, queued at once.
    const AudioFormat recorded{11025, 1, 8}, spoken{22050, 1, 16};
    std::vector<uint8_t> first = tone(recorded, 0.2, 500), second = tone(spoken, 0.3, 300);
    ASSERT_EQ(card->open(recorded), 0);
    ASSERT_EQ(card->queue(first.data(), first.size()), 0);
    ASSERT_EQ(card->open(spoken), 0);
    ASSERT_EQ(card->queue(second.data(), second.size()), 0);
    ASSERT_EQ(card->open(recorded), 0);
    ASSERT_EQ(card->queue(first.data(), first.size()), 0);
    // Counted in the bytes handed over, whatever the card's own format.
    size_t queued = card->queuedBytes();
    EXPECT_LE(queued, 2 * first.size() + second.size());
    EXPECT_GT(queued, first.size() + second.size());
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (card->queuedBytes() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(card->queuedBytes(), 0u);
    card->close();
    card.reset();

    // A reopen would have started the file again: all 0.7 s are there, in the card's format.
    std::ifstream in(out, std::ios::binary);
    std::vector<uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t frames = raw.size() / 4, firstLoud = frames, lastLoud = 0;
    for (size_t i = 0; i < frames; ++i)
        if (std::abs(at(raw, 2 * i)) > 1000) {
            firstLoud = std::min(firstLoud, i);
            lastLoud = i;
        }
    ASSERT_LT(firstLoud, lastLoud);
    EXPECT_NEAR((lastLoud - firstLoud) / 44100.0, 0.7, 0.02);
}

}  // namespace
}  // namespace parlendo
