// MIDI on a recording synthesizer and on FluidSynth: the forms and their checks, the open flag
// across runs, and the notes as sound in a folder device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <thread>

#include "../interp/fixture.h"
#include "commands/command_state.h"
#include "platform/audio_device.h"
#include "platform/picture_layer.h"
#include "tts/wave_player.h"

namespace parlendo {
namespace {

using testing::Machine;
using Clock = std::chrono::steady_clock;

// Every message taken, and a program change to 99 refused; its sound is a steady level.
class RecordingSynth final : public MidiSynth {
public:
    explicit RecordingSynth(std::vector<uint32_t>& sent) : sent_(sent) {}
    bool shortMessage(uint32_t message) override {
        sent_.push_back(message);
        return message != 0x63C0;
    }
    void render(int16_t* out, size_t frames) override { std::fill(out, out + frames * 2, int16_t{1000}); }
    int rate() const override { return kMidiRate; }

private:
    std::vector<uint32_t>& sent_;
};

struct MidiMachine : Machine {
    MidiMachine() {
        in.state->media.midi.setSynthMaker(
            [this](std::string&) { return std::make_unique<RecordingSynth>(sent); });
        in.state->media.midi.setClock([this] { return now; });
    }
    std::vector<uint32_t> sent;
    Clock::time_point now = Clock::time_point{} + std::chrono::hours(1);
};

TEST(MidiCommand, FormsAndTheirChecks) {
    MidiMachine m;
    // Closed: every form but INICIA fails, and nothing is sent.
    for (const char* line : {"MIDI NL 1 60 100", "MIDI TERMINA", "MIDI PANE", "MIDI TT 1 5", "MIDI"})
        EXPECT_FALSE(m.exec(line)) << line;
    EXPECT_TRUE(m.sent.empty());

    ASSERT_TRUE(m.exec("MIDI  inicia "));
    EXPECT_EQ(m.sent, (std::vector<uint32_t>{0xFF, 0x3F})) << "system reset, then the mapper's 0x3F";
    EXPECT_FALSE(m.exec("MIDI INICIA")) << "already open";

    m.sent.clear();
    ASSERT_TRUE(m.exec("MIDI NL 1 60 100"));
    ASSERT_TRUE(m.exec("MIDI ND 1 60"));
    ASSERT_TRUE(m.exec("midi nl 16 127 127"));
    m.set("n", "64");
    ASSERT_TRUE(m.exec("MIDI NL 2 n 0"));
    ASSERT_TRUE(m.exec("MIDI TT 1 5"));
    EXPECT_EQ(m.sent, (std::vector<uint32_t>{0x643C90, 0x003C90, 0x7F7F9F, 0x004091, 0x05C0}));

    m.sent.clear();
    for (const char* line :
         {"MIDI NL 17 60 100", "MIDI NL 0 60 100", "MIDI NL 1 128 100", "MIDI NL 1 60 128", "MIDI NL 1 -1 5",
          "MIDI NL 1 60", "MIDI NL 1 60 100 5", "MIDI ND 1 60 0", "MIDI TT 1 128", "MIDI TT 1", "MIDI NL",
          "MIDI XX 1 2", "MIDI NL 1 dó 3", "MIDI INICIAR"})
        EXPECT_FALSE(m.exec(line)) << line;
    EXPECT_TRUE(m.sent.empty()) << "a refused form sends nothing";

    // A refused program change is a console line, not spoken, and no failure.
    const size_t said = m.speech.lines().size();
    EXPECT_TRUE(m.exec("MIDI TT 1 99"));
    EXPECT_EQ(m.row(1), "erro em ProgramChange");
    EXPECT_EQ(m.speech.lines().size(), said);

    m.sent.clear();
    ASSERT_TRUE(m.exec("MIDI PANE"));
    ASSERT_EQ(m.sent.size(), 2048u);
    EXPECT_EQ(m.sent[0], 0x90u);
    EXPECT_EQ(m.sent[1], 0x190u);
    EXPECT_EQ(m.sent[128], 0x91u) << "channel by channel, note by note";
    EXPECT_EQ(m.sent.back(), 0x7F9Fu);

    // The open flag outlives the run.
    m.in.reset();
    EXPECT_FALSE(m.exec("MIDI INICIA"));
    ASSERT_TRUE(m.exec("MIDI TERMINA"));
    EXPECT_FALSE(m.exec("MIDI TERMINA"));
    EXPECT_FALSE(m.exec("MIDI NL 1 60 100"));
    m.in.reset();
    EXPECT_TRUE(m.exec("MIDI INICIA"));
}

struct WavFile {
    int rate = 0, channels = 0, bits = 0;
    std::vector<int16_t> samples;
};

WavFile readWav(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    WavFile w;
    if (b.size() < 44) return w;
    auto r16 = [&](size_t o) { return b[o] | (b[o + 1] << 8); };
    w.channels = r16(22);
    w.rate = r16(24) | (r16(26) << 16);
    w.bits = r16(34);
    const size_t length = static_cast<size_t>(r16(40) | (r16(42) << 16));
    for (size_t o = 44; o + 1 < 44 + length && o + 1 < b.size(); o += 2)
        w.samples.push_back(static_cast<int16_t>(r16(o)));
    return w;
}

std::vector<std::filesystem::path> wavs(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(MidiCommand, NotesAreOneSoundAsLongAsTheyLast) {
    EventLoop loop;  // outlives the interpreter, whose MIDI output leaves it at the end
    MidiMachine m;
    const auto sounds = m.folder / "sons";
    std::unique_ptr<WavePlayer> player =
        createWavePlayerOn(createFolderAudioDevice(sounds.string()), m.keys, nullptr);
    m.in.services.player = player.get();
    m.in.services.loop = &loop;
    ASSERT_TRUE(m.exec("MIDI INICIA"));
    ASSERT_TRUE(m.exec("MIDI TT 1 5"));
    EXPECT_TRUE(wavs(sounds).empty()) << "no note, no sound";

    // Two notes overlapping for 500 ms in all: one file of exactly that length.
    ASSERT_TRUE(m.exec("MIDI NL 1 60 100"));
    m.now += std::chrono::milliseconds(200);
    ASSERT_TRUE(m.exec("MIDI NL 1 64 100"));
    m.now += std::chrono::milliseconds(100);
    ASSERT_TRUE(m.exec("MIDI ND 1 60"));
    m.now += std::chrono::milliseconds(200);
    ASSERT_TRUE(m.exec("MIDI ND 1 64"));
    // Silence between phrases takes no room.
    m.now += std::chrono::seconds(5);
    // While the script waits the loop keeps the sound a little ahead of the clock.
    ASSERT_TRUE(m.exec("MIDI NL 1 60 100"));
    m.now += std::chrono::milliseconds(250);
    loop.pump();
    m.now += std::chrono::milliseconds(50);
    ASSERT_TRUE(m.exec("MIDI TERMINA")) << "closing ends the sound";

    std::vector<std::filesystem::path> files = wavs(sounds);
    ASSERT_EQ(files.size(), 2u);
    WavFile first = readWav(files[0]);
    EXPECT_EQ(first.rate, kMidiRate);
    EXPECT_EQ(first.channels, 2);
    EXPECT_EQ(first.bits, 16);
    EXPECT_EQ(first.samples.size(), static_cast<size_t>(kMidiRate / 2 * 2));
    EXPECT_EQ(first.samples.front(), 1000);
    WavFile second = readWav(files[1]);
    EXPECT_EQ(second.samples.size(), static_cast<size_t>((kMidiRate * 350 / 1000) * 2))
        << "250 ms and the 100 ms made ahead at the pump";
}

TEST(MidiCommand, FluidSynthNotesCapturedAsSound) {
    std::string error;
    EXPECT_EQ(createFluidSynth({"/nonexistent/font.sf2"}, error), nullptr);
    EXPECT_FALSE(error.empty());

    Machine m;
    // A missing sound font: INICIA fails with its reason and the output stays closed.
    m.in.state->media.midi.setSynthMaker(
        [](std::string& e) { return createFluidSynth({"/nonexistent/font.sf2"}, e); });
    EXPECT_FALSE(m.exec("MIDI INICIA"));
    EXPECT_NE(m.row(1), "");
    EXPECT_FALSE(m.in.state->media.midi.isOpen());

    Machine real;
    const auto sounds = real.folder / "sons";
    std::unique_ptr<WavePlayer> player =
        createWavePlayerOn(createFolderAudioDevice(sounds.string()), real.keys, nullptr);
    real.in.services.player = player.get();
    if (!real.exec("MIDI INICIA")) GTEST_SKIP() << "no FluidSynth or sound font: " << real.row(0);
    ASSERT_TRUE(real.exec("MIDI TT 1 0"));
    ASSERT_TRUE(real.exec("MIDI NL 1 69 120"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(real.exec("MIDI ND 1 69"));
    ASSERT_TRUE(real.exec("MIDI TERMINA"));
    std::vector<std::filesystem::path> files = wavs(sounds);
    ASSERT_EQ(files.size(), 1u);
    WavFile w = readWav(files[0]);
    const double seconds = static_cast<double>(w.samples.size()) / 2 / kMidiRate;
    EXPECT_GE(seconds, 0.3);
    EXPECT_LT(seconds, 0.5);
    int peak = 0;
    for (int16_t s : w.samples) peak = std::max(peak, std::abs(int{s}));
    EXPECT_GT(peak, 1000) << "the note is heard";
}

}  // namespace
}  // namespace parlendo
