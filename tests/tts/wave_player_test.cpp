// The wave player: the header, walking WAV chunks, pieces, formats, the speed-ups and keys,
// watched through a recording device and through the folder device.
#include "tts/wave_player.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "../interp/fixture.h"
#include "console/key_queue.h"
#include "tts/tones.h"

namespace parlendo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Keeps what the player asks of it. `queued` is what the card still holds; each look at it plays
// `playPerLook` bytes.
class RecordingDevice final : public AudioDevice {
public:
    std::vector<AudioFormat> opens;
    std::vector<size_t> queuedAtOpen;
    std::vector<Bytes> pieces;
    int clears = 0;
    size_t queued = 0;
    size_t playPerLook = SIZE_MAX;
    std::function<void()> afterQueue;

    int open(const AudioFormat& f) override {
        opens.push_back(f);
        queuedAtOpen.push_back(queued);
        open_ = true;
        return 0;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    int queue(const uint8_t* data, size_t length) override {
        pieces.emplace_back(data, data + length);
        queued += length;
        if (afterQueue) afterQueue();
        return 0;
    }
    size_t queuedBytes() override {
        queued -= std::min(queued, playPerLook);
        return queued;
    }
    void clear() override {
        ++clears;
        queued = 0;
    }

private:
    bool open_ = false;
};

struct Rig {
    KeyQueue keys;
    RecordingDevice* device;
    std::unique_ptr<WavePlayer> player;
    Rig() {
        auto d = std::make_unique<RecordingDevice>();
        device = d.get();
        player = createWavePlayerOn(std::move(d), keys, nullptr);
    }
};

Bytes wavFile(const Bytes& data, int rate = 11025, int channels = 1, int bits = 8) {
    Bytes f = wavHeader(static_cast<uint32_t>(data.size()), rate, channels, bits);
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

void writeFile(const fs::path& p, const Bytes& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string s = ss.str();
    return Bytes(s.begin(), s.end());
}

void append(Bytes& b, const char* tag, uint32_t size) {
    b.insert(b.end(), tag, tag + 4);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(size >> (8 * i)));
}

// RIFF, then a format chunk of `fmtSize` bytes describing 8-bit mono 8000 Hz.
Bytes riffWithFormat(uint32_t fmtSize) {
    Bytes b;
    append(b, "RIFF", 0);
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    append(b, "fmt ", fmtSize);
    Bytes fmt(fmtSize, 0);
    fmt[0] = 1;
    fmt[2] = 1;
    fmt[4] = 0x40;
    fmt[5] = 0x1F;
    fmt[14] = 8;
    b.insert(b.end(), fmt.begin(), fmt.end());
    return b;
}

TEST(WavHeader, FortyFourBytesInOrder) {
    Bytes h = wavHeader(1000, 22050, 2, 16);
    const uint8_t expected[44] = {'R', 'I', 'F',  'F',  0x0C, 0x04, 0,    0,    'W',  'A', 'V',
                                  'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                                  2,   0,   0x22, 0x56, 0,    0,    0x88, 0x58, 0x01, 0,   4,
                                  0,   16,  0,    'd',  'a',  't',  'a',  0xE8, 0x03, 0,   0};
    ASSERT_EQ(h.size(), 44u);
    EXPECT_EQ(h, Bytes(expected, expected + 44));
}

TEST(WavChunks, WalksToTheDataChunk) {
    // An odd-sized chunk is padded to an even length before the next one.
    Bytes b = riffWithFormat(18);
    append(b, "LIST", 3);
    b.insert(b.end(), {'a', 'b', 'c', 0});
    append(b, "DATA", 5);
    b.insert(b.end(), {1, 2, 3, 4, 5});
    b.push_back(0);
    append(b, "junk", 2);
    b.insert(b.end(), {9, 9});
    std::optional<WavData> w = findWavData(b.data(), b.size());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->formatTag, 1);
    EXPECT_EQ(w->format, (AudioFormat{8000, 1, 8}));
    EXPECT_EQ(w->dataLength, 5u);
    EXPECT_EQ(b[w->dataOffset], 1);

    // A data chunk longer than the image is cut to what is there.
    Bytes cut = riffWithFormat(16);
    append(cut, "data", 1000);
    cut.insert(cut.end(), {7, 7, 7});
    w = findWavData(cut.data(), cut.size());
    ASSERT_TRUE(w);
    EXPECT_EQ(w->dataLength, 3u);

    // The largest format chunk is taken, one byte more is refused.
    Bytes big = riffWithFormat(8192);
    append(big, "data", 2);
    big.insert(big.end(), {1, 2});
    EXPECT_TRUE(findWavData(big.data(), big.size()));
    Bytes huge = riffWithFormat(8194);
    append(huge, "data", 2);
    huge.insert(huge.end(), {1, 2});
    EXPECT_FALSE(findWavData(huge.data(), huge.size()));

    Bytes noData = riffWithFormat(16);
    append(noData, "LIST", 4);
    noData.insert(noData.end(), {1, 2, 3, 4});
    EXPECT_FALSE(findWavData(noData.data(), noData.size()));
    Bytes notRiff = b;
    notRiff[0] = 'X';
    EXPECT_FALSE(findWavData(notRiff.data(), notRiff.size()));
    // A chunk size that runs past the end does not wrap around.
    Bytes wild = riffWithFormat(16);
    append(wild, "LIST", 0xFFFFFFF0u);
    append(wild, "data", 1);
    wild.push_back(5);
    EXPECT_FALSE(findWavData(wild.data(), wild.size()));

    Rig rig;
    EXPECT_EQ(rig.player->playWavImage(noData.data(), noData.size()), -1);
    EXPECT_EQ(rig.player->playWavImage(b.data(), b.size()), 0);
    ASSERT_EQ(rig.device->pieces.size(), 1u);
    EXPECT_EQ(rig.device->opens.back(), (AudioFormat{8000, 1, 8}));
}

TEST(WavFile, MissingFilesAndDataGiveMinusOne) {
    fs::path dir = testing::freshTempFolder("wav");
    Rig rig;
    EXPECT_EQ(rig.player->playWavFile((dir / "none.wav").string()), -1);
    Bytes noData = riffWithFormat(16);
    append(noData, "LIST", 1);
    noData.insert(noData.end(), {1, 0});
    writeFile(dir / "nodata.wav", noData);
    EXPECT_EQ(rig.player->playWavFile((dir / "nodata.wav").string()), -1);
    Bytes huge = riffWithFormat(9000);
    append(huge, "data", 1);
    huge.push_back(1);
    writeFile(dir / "huge.wav", huge);
    EXPECT_EQ(rig.player->playWavFile((dir / "huge.wav").string()), -1);
    EXPECT_TRUE(rig.device->pieces.empty());
    fs::remove_all(dir);
}

TEST(WavFile, PiecesNeverEndShorterThan257Bytes) {
    EXPECT_EQ(wavFilePiece(100), 100u);
    EXPECT_EQ(wavFilePiece(8192), 8192u);
    EXPECT_EQ(wavFilePiece(8193), 7936u);
    EXPECT_EQ(wavFilePiece(8447), 7936u);
    EXPECT_EQ(wavFilePiece(8448), 8192u);

    fs::path dir = testing::freshTempFolder("wav");
    Bytes data(8192 + 8200, 100);
    writeFile(dir / "long.wav", wavFile(data));
    Rig rig;
    EXPECT_EQ(rig.player->playWavFile((dir / "long.wav").string()), 0);
    ASSERT_EQ(rig.device->pieces.size(), 3u);
    EXPECT_EQ(rig.device->pieces[0].size(), 8192u);
    EXPECT_EQ(rig.device->pieces[1].size(), 7936u);
    EXPECT_EQ(rig.device->pieces[2].size(), 264u);
    // Only full pieces keep their last sample; the others end on silence.
    EXPECT_EQ(rig.device->pieces[0].back(), 100);
    EXPECT_EQ(rig.device->pieces[1].back(), 128);
    fs::remove_all(dir);
}

TEST(WavePlayer, ShortEightBitPiecesArePaddedWithSilence) {
    Rig rig;
    Bytes sound(100, 200);
    EXPECT_EQ(rig.player->playPcm(sound.data(), sound.size(), 11025, 1, 8), 0);
    ASSERT_EQ(rig.device->pieces.size(), 1u);
    const Bytes& piece = rig.device->pieces[0];
    ASSERT_EQ(piece.size(), 256u);
    EXPECT_EQ(piece[0], 200);
    EXPECT_EQ(piece[98], 200);
    EXPECT_EQ(piece[99], 200);
    EXPECT_EQ(piece[100], 128);
    EXPECT_EQ(piece[255], 128);
    // 16-bit sound is played as it is.
    Bytes wide(100, 7);
    rig.player->playPcm(wide.data(), wide.size(), 11025, 1, 16);
    EXPECT_EQ(rig.device->pieces.back(), wide);
    // Formats the card cannot take are refused before anything is opened.
    size_t opens = rig.device->opens.size();
    EXPECT_EQ(rig.player->playPcm(wide.data(), wide.size(), 11025, 1, 12), kAudioBadFormat);
    EXPECT_EQ(rig.player->playPcm(wide.data(), wide.size(), 0, 1, 8), kAudioBadFormat);
    EXPECT_EQ(rig.device->opens.size(), opens);
}

TEST(WavePlayer, FormatChangesReopenAfterTheQueueEmpties) {
    Rig rig;
    rig.device->playPerLook = 1000;  // the card plays 1000 bytes each time it is looked at
    Bytes sound(20000, 140);
    rig.player->playPcm(sound.data(), sound.size(), 11025, 1, 8);
    rig.player->playPcm(sound.data(), 4000, 11025, 1, 8);
    ASSERT_EQ(rig.device->opens.size(), 1u) << "the same format keeps the device open";
    rig.player->playPcm(sound.data(), 4000, 22050, 2, 16);
    ASSERT_EQ(rig.device->opens.size(), 2u);
    EXPECT_EQ(rig.device->opens[1], (AudioFormat{22050, 2, 16}));
    EXPECT_EQ(rig.device->queuedAtOpen[1], 0u) << "reopened while sound was still queued";
    EXPECT_EQ(rig.device->clears, 0);
}

TEST(WavePlayer, FastPlaybackTakesRatesOneAndAHalfTimes) {
    Rig rig;
    rig.player->fastPlayback = true;
    Bytes sound(1000, 140);
    rig.player->playPcm(sound.data(), sound.size(), 22050, 1, 8);
    EXPECT_EQ(rig.device->opens.back().rate, 33075);
    rig.player->playPcm(sound.data(), sound.size(), 11025, 1, 8);
    EXPECT_EQ(rig.device->opens.back().rate, 16537);
}

TEST(WavePlayer, AWaitingKeyStopsPlaybackWhenInterruptible) {
    Bytes sound(20 * 8192, 140);
    {
        Rig rig;
        rig.device->playPerLook = 0;  // nothing ever finishes playing
        rig.device->afterQueue = [&] {
            if (rig.device->pieces.size() == 3) rig.keys.pushKey('x');
        };
        EXPECT_EQ(rig.player->playPcm(sound.data(), sound.size(), 11025, 1, 8), 0);
        EXPECT_EQ(rig.device->pieces.size(), 3u);
        EXPECT_EQ(rig.device->clears, 1) << "the queued sound is silenced";
        EXPECT_EQ(rig.keys.size(), 1u) << "the key stays for the script";
        // A file is not even started while the key waits.
        fs::path dir = testing::freshTempFolder("wav");
        writeFile(dir / "a.wav", wavFile(Bytes(500, 150)));
        EXPECT_EQ(rig.player->playWavFile((dir / "a.wav").string()), 0);
        EXPECT_EQ(rig.device->pieces.size(), 3u);
        fs::remove_all(dir);
    }
    {
        Rig rig;
        rig.player->interruptible = false;
        rig.keys.pushKey('x');
        rig.player->playPcm(sound.data(), sound.size(), 11025, 1, 8);
        EXPECT_EQ(rig.device->pieces.size(), 20u);
        EXPECT_EQ(rig.device->clears, 0);
    }
}

TEST(WavePlayer, BusyUntilThePiecesHavePlayed) {
    Rig rig;
    rig.device->playPerLook = 0;
    Bytes sound(3 * 8192, 140);
    rig.player->playPcm(sound.data(), sound.size(), 11025, 1, 8);
    EXPECT_TRUE(rig.player->playerBusy());
    rig.device->queued = 8192;  // two of the three pieces have played
    EXPECT_TRUE(rig.player->playerBusy());
    rig.device->queued = 0;
    EXPECT_FALSE(rig.player->playerBusy());
    rig.player->playPcm(sound.data(), sound.size(), 11025, 1, 8);
    rig.keys.pushKey('x');
    EXPECT_FALSE(rig.player->playerBusy()) << "a waiting key stops the sound";
    EXPECT_EQ(rig.device->clears, 1);
}

TEST(ShortenPiece, DropsEveryOtherPitchPeriod) {
    // A voice of one pitch period every 100 samples at 11025 Hz: peaks at 50, 150, ... 1150.
    Bytes s(1200);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<uint8_t>(128 + i % 7);
    for (size_t p = 50; p < s.size(); p += 100) s[p] = 250;
    Bytes out = shortenPiece(s.data(), s.size(), 8, 11025);
    Bytes expected(s.begin(), s.begin() + 250);
    for (size_t from : {350, 550, 750, 950})
        expected.insert(expected.end(), s.begin() + from, s.begin() + from + 101);
    expected.push_back(s[1051]);  // near the middle line: the cut ends there
    EXPECT_EQ(out, expected);

    // Short pieces are only made 8-bit: the high byte, offset by 128.
    const uint8_t wide[] = {0x00, 0x00, 0xFF, 0x7F, 0x00, 0x80, 0x34, 0x12};
    EXPECT_EQ(shortenPiece(wide, sizeof wide, 16, 11025), (Bytes{128, 255, 0, 0x92}));
    // At other rates the gaps are four times as long: 1200 samples are too few to cut twice.
    Bytes other = shortenPiece(s.data(), s.size(), 8, 22050);
    EXPECT_LE(other.size(), s.size());
    EXPECT_EQ(Bytes(other.begin(), other.begin() + 200), Bytes(s.begin(), s.begin() + 200));
}

TEST(WavePlayer, RapidPlaybackPrefersTheQuickRecording) {
    fs::path dir = testing::freshTempFolder("wav");
    Bytes normal(4000);
    for (size_t i = 0; i < normal.size(); ++i)
        normal[i] = static_cast<uint8_t>(i % 100 == 0 ? 250 : 128 + i % 5);
    Bytes quick(1500, 131);
    writeFile(dir / "a.wav", wavFile(normal));
    writeFile(dir / "b.wav", wavFile(normal));
    writeFile(dir / "rapido" / "a.wav", wavFile(quick));
    Rig rig;
    rig.player->rapidPlayback = true;
    EXPECT_EQ(rig.player->playWavFile((dir / "a.wav").string()), 0);
    ASSERT_EQ(rig.device->pieces.size(), 1u);
    EXPECT_EQ(rig.device->pieces[0].size(), quick.size()) << "the quick recording, at its own speed";
    EXPECT_TRUE(rig.player->rapidPlayback);
    // Without one, the piece is shortened.
    EXPECT_EQ(rig.player->playWavFile((dir / "b.wav").string()), 0);
    ASSERT_EQ(rig.device->pieces.size(), 2u);
    Bytes shortened = shortenPiece(normal.data(), normal.size(), 8, 11025);
    shortened.back() = 128;  // a piece shorter than 8192 bytes ends on silence
    EXPECT_EQ(rig.device->pieces[1], shortened);
    EXPECT_LT(rig.device->pieces[1].size(), normal.size() * 2 / 3);
    // Mono 16-bit sound is played 8-bit, stereo as it is.
    Bytes wide(4000, 0);
    rig.player->playPcm(wide.data(), wide.size(), 11025, 1, 16);
    EXPECT_EQ(rig.device->opens.back(), (AudioFormat{11025, 1, 8}));
    rig.player->playPcm(wide.data(), wide.size(), 11025, 2, 16);
    EXPECT_EQ(rig.device->opens.back(), (AudioFormat{11025, 2, 16}));
    EXPECT_EQ(rig.device->pieces.back(), wide);
    fs::remove_all(dir);
}

TEST(FolderDevice, EverySoundBecomesANumberedWavFile) {
    fs::path dir = testing::freshTempFolder("wavdir");
    KeyQueue keys;
    std::string warning;
    auto player = createWavePlayer("dir:" + (dir / "out").string(), "", keys, nullptr,
                                   [&](const std::string& w) { warning += w; });
    EXPECT_EQ(warning, "");
    Bytes sound(300, 170);
    EXPECT_EQ(player->playPcm(sound.data(), sound.size(), 11025, 1, 8), 0);
    writeFile(dir / "long.wav", wavFile(Bytes(20000, 90)));
    EXPECT_EQ(player->playWavFile((dir / "long.wav").string()), 0);
    Bytes stereo(1000, 3);
    player->fastPlayback = true;
    EXPECT_EQ(player->playPcm(stereo.data(), stereo.size(), 22050, 2, 16), 0);
    player.reset();

    Bytes first = readFile(dir / "out" / "000001.wav");
    ASSERT_EQ(first.size(), 44u + 300u);
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 44), wavHeader(300, 11025, 1, 8));
    EXPECT_EQ(first[44], 170);
    EXPECT_EQ(first.back(), 128);
    // The pieces of one file make one sound.
    Bytes second = readFile(dir / "out" / "000002.wav");
    EXPECT_EQ(Bytes(second.begin(), second.begin() + 44), wavHeader(20000, 11025, 1, 8));
    EXPECT_EQ(second.size(), 44u + 20000u);
    Bytes third = readFile(dir / "out" / "000003.wav");
    EXPECT_EQ(Bytes(third.begin(), third.begin() + 44), wavHeader(1000, 33075, 2, 16));
    EXPECT_FALSE(fs::exists(dir / "out" / "000004.wav"));
    fs::remove_all(dir);
}

TEST(SystemDevice, NoSoundCardFallsBackToSilence) {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    std::string saved = old ? old : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    KeyQueue keys;
    std::vector<std::string> warnings;
    auto player =
        createWavePlayer("system", "", keys, nullptr, [&](const std::string& w) { warnings.push_back(w); });
    // The card is looked for at the first sound, not before; the warning comes once.
    EXPECT_TRUE(warnings.empty());
    Bytes sound(1000, 150);
    EXPECT_EQ(player->playPcm(sound.data(), sound.size(), 11025, 1, 8), 0);
    EXPECT_FALSE(player->playerBusy());
    EXPECT_EQ(player->playPcm(sound.data(), sound.size(), 22050, 2, 16), 0);
    if (old)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("Sem dispositivo de som", 0), 0u) << warnings[0];
    EXPECT_EQ(warnings[0].find('\n'), std::string::npos);
}

TEST(SystemDevice, AnUnknownDeviceIsToldAtOnce) {
    KeyQueue keys;
    std::vector<std::string> warnings;
    auto player =
        createWavePlayer("speakers", "", keys, nullptr, [&](const std::string& w) { warnings.push_back(w); });
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "Dispositivo de som desconhecido: speakers; o programa segue sem som.");
    Bytes sound(1000, 150);
    EXPECT_EQ(player->playPcm(sound.data(), sound.size(), 11025, 1, 8), 0);
    EXPECT_EQ(warnings.size(), 1u);
}

// SDL's dummy driver plays into nothing at the pace of a card: the queue fills and drains.
TEST(SystemDevice, QueuesPlaysAndClearsOnSdlsDummyDriver) {
    const char* old = std::getenv("SDL_AUDIODRIVER");
    std::string saved = old ? old : "";
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string error;
    std::unique_ptr<AudioDevice> device = createSystemAudioDevice("no such device", error);
    if (old)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    if (!device) GTEST_SKIP() << "SDL has no dummy audio driver here: " << error;
    ASSERT_EQ(device->open(AudioFormat{11025, 1, 8}), 0);
    Bytes sound(22050, 150);  // two seconds
    ASSERT_EQ(device->queue(sound.data(), sound.size()), 0);
    size_t first = device->queuedBytes();
    EXPECT_GT(first, 11025u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LT(device->queuedBytes(), first) << "the queue does not drain";
    device->clear();
    EXPECT_EQ(device->queuedBytes(), 0u);
    EXPECT_EQ(device->open(AudioFormat{22050, 2, 16}), 0) << "another format";
    EXPECT_EQ(device->open(AudioFormat{11025, 1, 12}), kAudioBadFormat);
    EXPECT_TRUE(device->isOpen()) << "the card stays open in its one format";
    device->close();
    EXPECT_FALSE(device->isOpen());
}

TEST(Tones, ClickBeepAndSines) {
    for (bool shortClicks : {false, true}) {
        Bytes click = clickSamples(shortClicks, 7);
        ASSERT_EQ(click.size(), shortClicks ? 128u : 256u);
        size_t quarter = click.size() / 4;
        bool varied = false;
        for (size_t i = 0; i < click.size(); ++i) {
            if (i < quarter) {
                EXPECT_GE(click[i], 128);
                EXPECT_LE(click[i], 187);
                varied = varied || click[i] != click[0];
            } else {
                EXPECT_EQ(click[i], 128) << i;
            }
        }
        EXPECT_TRUE(varied);
        Bytes beep = beepSamples(shortClicks);
        ASSERT_EQ(beep.size(), shortClicks ? 256u : 512u);
        EXPECT_EQ(Bytes(beep.begin(), beep.begin() + 9), (Bytes{128, 112, 96, 80, 64, 80, 96, 112, 128}));
    }
    // 200 ms of 1000 Hz: 2205 samples crossing the middle line about 400 times.
    Bytes tone = toneSamples(1000, 200, 11025);
    ASSERT_EQ(tone.size(), 2205u);
    int crossings = 0;
    for (size_t i = 1; i < tone.size(); ++i) crossings += (tone[i - 1] < 128) != (tone[i] < 128);
    EXPECT_NEAR(crossings, 400, 8);
    EXPECT_NEAR(tone.front(), 128, 2);
    EXPECT_NEAR(tone.back(), 128, 2);
    int low = 0;
    int high = 0;
    EXPECT_TRUE(telephoneTone('*', low, high));
    EXPECT_EQ(low, 941);
    EXPECT_EQ(high, 1209);
    EXPECT_FALSE(telephoneTone('x', low, high));
}

}  // namespace
}  // namespace parlendo
