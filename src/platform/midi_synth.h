// The MIDI synthesizer behind MIDI: short messages in, PCM out. The real one is FluidSynth with a
// General MIDI sound font, loaded the first time a script opens the output; tests hand the
// output a fake that records the messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace parlendo {

class MidiSynth {
public:
    virtual ~MidiSynth() = default;
    // One short message as the MIDI mapper takes it: status in the low byte, then the two data
    // bytes. False when the synthesizer refuses it.
    virtual bool shortMessage(uint32_t message) = 0;
    // Renders `frames` frames of interleaved 16-bit stereo at rate() into `out`.
    virtual void render(int16_t* out, size_t frames) = 0;
    virtual int rate() const = 0;
};

// The sample rate the synthesizer renders at.
constexpr int kMidiRate = 22050;

// The sound fonts looked for, in order: Debian's General MIDI alternatives first.
std::vector<std::string> defaultSoundFonts();

// FluidSynth (libfluidsynth.so.3, loaded now when it is not yet) with the first sound font of
// `soundFonts` that loads. Null, with a Portuguese reason in `error` (Windows-1252), when the
// library or every sound font is missing.
std::unique_ptr<MidiSynth> createFluidSynth(const std::vector<std::string>& soundFonts, std::string& error);

}  // namespace parlendo
