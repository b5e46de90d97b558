// MIDI: notes on FluidSynth, heard through the wave player.
#include "commands/midi.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "commands/command_state.h"
#include "interp/argument_reader.h"
#include "interp/commands.h"
#include "interp/interpreter.h"
#include "text/cp1252.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

// How far ahead of the clock the sound is made while the script waits, so that the card never
// runs dry between two pumps of the loop (at most 50 ms apart).
constexpr int64_t kLeadFrames = kMidiRate / 10;
// The most made and handed over at once.
constexpr int64_t kLargestPiece = kMidiRate / 2;

}  // namespace

MidiOutput::MidiOutput(SynthMaker makeSynth, Now now)
    : makeSynth_(std::move(makeSynth)), now_(std::move(now)) {
    if (!makeSynth_)
        makeSynth_ = [](std::string& error) { return createFluidSynth(defaultSoundFonts(), error); };
    if (!now_) now_ = [] { return std::chrono::steady_clock::now(); };
}

MidiOutput::~MidiOutput() {
    if (loop_) loop_->remove(this);
}

bool MidiOutput::open(WavePlayer* player, EventLoop* loop, std::string& error) {
    if (!synth_) synth_ = makeSynth_(error);
    if (!synth_) return false;
    if (loop_ != loop) {
        if (loop_) loop_->remove(this);
        loop_ = loop;
        if (loop_) loop_->add(this);
    }
    player_ = player;
    open_ = true;
    return true;
}

void MidiOutput::close() {
    if (inSound_) {
        catchUp(framesSinceStart());
        endSound();
    }
    open_ = false;
}

int64_t MidiOutput::framesSinceStart() const {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now_() - soundStart_).count();
    return std::max<int64_t>(0, elapsed) * kMidiRate / 1000000;
}

void MidiOutput::catchUp(int64_t frames) {
    if (!synth_ || playing_) return;
    playing_ = true;
    std::vector<int16_t> buffer;
    while (framesPlayed_ < frames) {
        const int64_t n = std::min(frames - framesPlayed_, kLargestPiece);
        buffer.resize(static_cast<size_t>(n) * 2);
        synth_->render(buffer.data(), static_cast<size_t>(n));
        framesPlayed_ += n;
        if (!player_) continue;
        // The music goes on when a key is pressed: the script reads the key when it wants.
        const bool interruptible = player_->interruptible;
        player_->interruptible = false;
        player_->playPcm(reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size() * 2, kMidiRate, 2,
                         16);
        player_->interruptible = interruptible;
    }
    playing_ = false;
}

void MidiOutput::endSound() {
    inSound_ = false;
    if (player_) player_->endSound();
}

void MidiOutput::track(uint32_t message) {
    const unsigned status = message & 0xF0;
    const size_t note = (message & 0x0F) * 128 + ((message >> 8) & 0x7F);
    const bool on = status == 0x90 && ((message >> 16) & 0x7F) != 0;
    if (status == 0x90 || status == 0x80) sounding_[note] = on;
    if ((message & 0xFF) == 0xFF) sounding_.reset();
}

bool MidiOutput::send(uint32_t message) {
    if (!synth_) return false;
    if (inSound_) catchUp(framesSinceStart());
    const bool ok = synth_->shortMessage(message);
    if (ok) track(message);
    if (!inSound_ && sounding_.any()) {
        // The sound of a phrase is one sound of the player (one file of a folder device).
        inSound_ = true;
        soundStart_ = now_();
        framesPlayed_ = 0;
        if (player_) player_->beginSound();
    } else if (inSound_ && sounding_.none()) {
        endSound();
    }
    return ok;
}

void MidiOutput::pump() {
    if (inSound_ && !playing_) catchUp(framesSinceStart() + kLeadFrames);
}

namespace {

// The numbers of a form: each within 0 .. highest (the channel 1 .. 16), nothing after them.
bool readForm(Interpreter& in, std::string_view rest, int count, int (&values)[3]) {
    for (int i = 0; i < count; ++i) {
        std::optional<int32_t> v = readInteger(in, rest, true);
        if (!v) return in.fail("valor ausente ou inválido"_cp);
        const int low = i == 0 ? 1 : 0;
        const int high = i == 0 ? 16 : 127;
        if (*v < low || *v > high) return in.fail("valor fora dos limites"_cp);
        values[i] = *v;
    }
    if (!rest.empty()) return in.fail("texto depois do último valor"_cp);
    return true;
}

}  // namespace

bool cmdMidi(Interpreter& in, std::string_view args, int) {
    const std::string text = text::upperCase(text::trim(args));
    if (text.empty()) return in.fail("falta a forma do comando"_cp);
    MidiOutput& midi = in.state->media.midi;
    if (text == "INICIA") {
        if (midi.isOpen()) return in.fail("a saída MIDI já está aberta"_cp);
        std::string error;
        if (!midi.open(in.services.player, in.services.loop, error)) return in.failShowing(error);
        midi.send(0xFF);
        midi.send(0x3F);
        return true;
    }
    if (!midi.isOpen()) return in.fail("a saída MIDI não está aberta"_cp);
    if (text == "TERMINA") {
        midi.close();
        return true;
    }
    if (text == "PANE") {
        for (uint32_t channel = 0; channel < 16; ++channel)
            for (uint32_t note = 0; note < 128; ++note) midi.send(0x90 + channel + note * 256);
        return true;
    }
    const std::string_view form = std::string_view(text).substr(0, 2);
    std::string_view rest = std::string_view(text).substr(std::min<size_t>(2, text.size()));
    dropBlanks(rest);
    if (rest.empty()) return in.fail("faltam os valores"_cp);
    int v[3] = {0, 0, 0};
    if (form == "NL" || form == "ND") {
        const bool on = form == "NL";
        if (!readForm(in, rest, on ? 3 : 2, v)) return false;
        midi.send((0x90 + static_cast<uint32_t>(v[0]) - 1) + static_cast<uint32_t>(v[1]) * 256 +
                  (on ? static_cast<uint32_t>(v[2]) * 65536 : 0));
        return true;
    }
    if (form == "TT") {
        if (!readForm(in, rest, 2, v)) return false;
        if (!midi.send((0xC0 + static_cast<uint32_t>(v[0]) - 1) + static_cast<uint32_t>(v[1]) * 256))
            in.writeLine("erro em ProgramChange");
        return true;
    }
    return in.fail("forma desconhecida"_cp);
}

}  // namespace parlendo
