// FluidSynth in this process, rendering on demand (no audio driver of its own).
#include "platform/midi_synth.h"

#include <filesystem>
#include <optional>

#include "platform/quiet_standard_error.h"
#include "platform/shared_library.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

// The few calls used, declared here: the library is loaded at the first MIDI INICIA, so only its
// ABI is needed, not its headers. Handles are opaque.
struct FluidSettings;
struct FluidSynthHandle;
constexpr int kFluidFailed = -1;
constexpr int kFluidLogLevels = 5;  // FLUID_PANIC .. FLUID_DBG
using FluidLogFunction = void (*)(int level, const char* message, void* data);

struct FluidCalls {
    FluidSettings* (*newSettings)() = nullptr;
    void (*deleteSettings)(FluidSettings*) = nullptr;
    int (*settingsSetnum)(FluidSettings*, const char*, double) = nullptr;
    int (*settingsSetint)(FluidSettings*, const char*, int) = nullptr;
    FluidSynthHandle* (*newSynth)(FluidSettings*) = nullptr;
    void (*deleteSynth)(FluidSynthHandle*) = nullptr;
    int (*sfload)(FluidSynthHandle*, const char*, int) = nullptr;
    int (*noteon)(FluidSynthHandle*, int, int, int) = nullptr;
    int (*noteoff)(FluidSynthHandle*, int, int) = nullptr;
    int (*cc)(FluidSynthHandle*, int, int, int) = nullptr;
    int (*programChange)(FluidSynthHandle*, int, int) = nullptr;
    int (*systemReset)(FluidSynthHandle*) = nullptr;
    int (*writeS16)(FluidSynthHandle*, int, void*, int, int, void*, int, int) = nullptr;
    FluidLogFunction (*setLogFunction)(int, FluidLogFunction, void*) = nullptr;
};

constexpr const char* kFluidLibrary = "libfluidsynth.so.3";

const FluidCalls* fluidCalls() {
    static const std::optional<FluidCalls> loaded = []() -> std::optional<FluidCalls> {
        std::string error;
        std::optional<SharedLibrary> library = SharedLibrary::load(kFluidLibrary, error);
        if (!library) return std::nullopt;
        FluidCalls c;
        bool ok = library->resolve(c.newSettings, "new_fluid_settings", error) &&
                  library->resolve(c.deleteSettings, "delete_fluid_settings", error) &&
                  library->resolve(c.settingsSetnum, "fluid_settings_setnum", error) &&
                  library->resolve(c.settingsSetint, "fluid_settings_setint", error) &&
                  library->resolve(c.newSynth, "new_fluid_synth", error) &&
                  library->resolve(c.deleteSynth, "delete_fluid_synth", error) &&
                  library->resolve(c.sfload, "fluid_synth_sfload", error) &&
                  library->resolve(c.noteon, "fluid_synth_noteon", error) &&
                  library->resolve(c.noteoff, "fluid_synth_noteoff", error) &&
                  library->resolve(c.cc, "fluid_synth_cc", error) &&
                  library->resolve(c.programChange, "fluid_synth_program_change", error) &&
                  library->resolve(c.systemReset, "fluid_synth_system_reset", error) &&
                  library->resolve(c.writeS16, "fluid_synth_write_s16", error) &&
                  library->resolve(c.setLogFunction, "fluid_set_log_function", error);
        if (!ok) return std::nullopt;
        // FluidSynth's own complaints (a preset missing from the font) would scribble over the
        // console; the command reports what matters itself.
        for (int level = 0; level < kFluidLogLevels; ++level) c.setLogFunction(level, nullptr, nullptr);
        return c;
    }();
    return loaded ? &*loaded : nullptr;
}

class FluidMidiSynth final : public MidiSynth {
public:
    FluidMidiSynth(const FluidCalls& calls, FluidSettings* settings, FluidSynthHandle* synth)
        : f_(calls), settings_(settings), synth_(synth) {}
    ~FluidMidiSynth() override {
        f_.deleteSynth(synth_);
        f_.deleteSettings(settings_);
    }
    FluidMidiSynth(const FluidMidiSynth&) = delete;
    FluidMidiSynth& operator=(const FluidMidiSynth&) = delete;

    bool shortMessage(uint32_t message) override {
        const int status = static_cast<int>(message & 0xFF);
        const int data1 = static_cast<int>((message >> 8) & 0x7F);
        const int data2 = static_cast<int>((message >> 16) & 0x7F);
        const int channel = status & 0x0F;
        switch (status & 0xF0) {
            case 0x80:
                // A note that is not sounding is no fault.
                f_.noteoff(synth_, channel, data1);
                return true;
            case 0x90:
                if (data2 == 0) {
                    f_.noteoff(synth_, channel, data1);
                    return true;
                }
                return f_.noteon(synth_, channel, data1, data2) != kFluidFailed;
            case 0xB0:
                return f_.cc(synth_, channel, data1, data2) != kFluidFailed;
            case 0xC0:
                return f_.programChange(synth_, channel, data1) != kFluidFailed;
            default:
                break;
        }
        if (status == 0xFF) return f_.systemReset(synth_) != kFluidFailed;
        // A lone data byte or a message the synthesizer has no use for is taken and ignored.
        return true;
    }

    void render(int16_t* out, size_t frames) override {
        // Blocks of at most 4096 frames: the library takes the length as an int.
        while (frames > 0) {
            const int n = static_cast<int>(frames < 4096 ? frames : 4096);
            f_.writeS16(synth_, n, out, 0, 2, out, 1, 2);
            out += static_cast<size_t>(n) * 2;
            frames -= static_cast<size_t>(n);
        }
    }

    int rate() const override { return kMidiRate; }

private:
    const FluidCalls& f_;
    FluidSettings* settings_;
    FluidSynthHandle* synth_;
};

}  // namespace

std::vector<std::string> defaultSoundFonts() {
    return {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
            "/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
            "/usr/share/sounds/sf3/MuseScore_General.sf3"};
}

std::unique_ptr<MidiSynth> createFluidSynth(const std::vector<std::string>& soundFonts, std::string& error) {
    const FluidCalls* calls = fluidCalls();
    if (!calls) {
        error = "MIDI não disponível: a biblioteca FluidSynth não foi encontrada."_cp;
        return nullptr;
    }
    FluidSettings* settings = calls->newSettings();
    if (!settings) {
        error = "MIDI não disponível: o FluidSynth não pôde ser iniciado."_cp;
        return nullptr;
    }
    calls->settingsSetnum(settings, "synth.sample-rate", kMidiRate);
    // Rendering happens only on the interpreter's thread.
    calls->settingsSetint(settings, "synth.threadsafe-api", 0);
    FluidSynthHandle* synth = calls->newSynth(settings);
    if (!synth) {
        calls->deleteSettings(settings);
        error = "MIDI não disponível: o FluidSynth não pôde ser iniciado."_cp;
        return nullptr;
    }
    auto result = std::make_unique<FluidMidiSynth>(*calls, settings, synth);
    for (const std::string& font : soundFonts) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(font, ec)) continue;
        QuietStandardError quiet;
        if (calls->sfload(synth, font.c_str(), 1) != kFluidFailed) return result;
    }
    error = "MIDI não disponível: nenhuma fonte de som General MIDI encontrada."_cp;
    return nullptr;
}

}  // namespace parlendo
