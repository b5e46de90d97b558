// espeak-ng in this process, synthesising into the wave player.
//
// espeak-ng is one per process: it is started at the first open that finds its data and kept
// until the program ends; every engine object shares it and makes its own voice, speed and
// pitch espeak-ng's again before it speaks when another object changed them.
//
// Voice numbers (espeak-ng's Brazilian voice "pt-br", never "pt", which is Portugal's):
//   0, 1                      pt-br
//   2  3  4  5  6  7  8       pt-br+m1 +m2 +m3 +m4 +m5 +m6 +m7
//   9 10 11 12 13             pt-br+f1 +f2 +f3 +f4 +f5
//  14 15                      pt-br+croak +whisper
//   negative or above 15      pt-br
// A variant espeak-ng does not have falls back to the plain voice.
//
// Speed to espeak-ng's rate in words per minute:
//   0                         175 (espeak-ng's default)
//   1 .. 10                   175 + 20 per step: 195, 215, ... 375
//   -1 .. -10                 175 - 9 per step: 166, 157, ... 85
//   below -10                 85
//   above 10                  taken as words per minute (the speed these voices were set in
//                             before), held to espeak-ng's 80 .. 450
//
// Pitch to espeak-ng's pitch (0 .. 100):
//   0                         50 (espeak-ng's default)
//   -10 .. 10                 50 + 5 per step: 0, 5, ... 100
//   outside                   held to -10 or 10
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "console/key_queue.h"
#include "platform/quiet_standard_error.h"
#include "platform/shared_library.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/system_voices.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

constexpr const char* kBrazilianVoice = "pt-br";
constexpr const char* kVariants[] = {"m1", "m2", "m3", "m4", "m5", "m6",    "m7",
                                     "f1", "f2", "f3", "f4", "f5", "croak", "whisper"};
constexpr int kDefaultRate = 175;
constexpr int kLowestRate = 80;
constexpr int kHighestRate = 450;

const char* const kNoData = "Voz espeak-ng indisponível: dados não encontrados; usando a voz interna."_cp;
const char* const kNoLibrary =
    "Voz espeak-ng indisponível: a biblioteca não foi encontrada; usando a voz interna."_cp;
const char* const kNoBrazilianVoice =
    "Voz espeak-ng indisponível: sem a voz do português do Brasil; usando a voz interna."_cp;

std::string espeakVoiceName(int voice) {
    const int variant = voice - 2;
    if (variant < 0 || variant >= static_cast<int>(std::size(kVariants))) return kBrazilianVoice;
    return std::string(kBrazilianVoice) + "+" + kVariants[variant];
}

int espeakRate(int speed) {
    if (speed > 10) return std::clamp(speed, kLowestRate, kHighestRate);
    if (speed >= 0) return kDefaultRate + 20 * speed;
    return kDefaultRate + 9 * std::max(speed, -10);
}

int espeakPitch(int pitch) { return 50 + 5 * std::clamp(pitch, -10, 10); }

// libespeak-ng is loaded at the first open, not at start-up: a run that never speaks through it
// does without its pages. Its header gives the types; these are the functions taken from it.
constexpr const char* kEspeakLibrary = "libespeak-ng.so.1";

struct EspeakCalls {
    decltype(&espeak_Initialize) Initialize = nullptr;
    decltype(&espeak_SetSynthCallback) SetSynthCallback = nullptr;
    decltype(&espeak_SetVoiceByName) SetVoiceByName = nullptr;
    decltype(&espeak_SetParameter) SetParameter = nullptr;
    decltype(&espeak_Synth) Synth = nullptr;
};

// The library's functions, loaded once for the whole run; null when it or one of them is missing.
const EspeakCalls* espeakCalls() {
    static const std::optional<EspeakCalls> loaded = []() -> std::optional<EspeakCalls> {
        std::string error;
        std::optional<SharedLibrary> library = SharedLibrary::load(kEspeakLibrary, error);
        if (!library) return std::nullopt;
        EspeakCalls c;
        bool ok = library->resolve(c.Initialize, "espeak_Initialize", error) &&
                  library->resolve(c.SetSynthCallback, "espeak_SetSynthCallback", error) &&
                  library->resolve(c.SetVoiceByName, "espeak_SetVoiceByName", error) &&
                  library->resolve(c.SetParameter, "espeak_SetParameter", error) &&
                  library->resolve(c.Synth, "espeak_Synth", error);
        if (!ok) return std::nullopt;
        return c;
    }();
    return loaded ? &*loaded : nullptr;
}

// The process's espeak-ng: its sample rate once started, 0 before. A start that fails (its data
// missing) is tried again at the next open.
int g_sampleRate = 0;
const EspeakCalls* g_espeak = nullptr;

bool startEspeak() {
    if (g_sampleRate > 0) return true;
    const EspeakCalls* calls = espeakCalls();
    if (!calls) return false;
    // espeak-ng writes its own complaint about missing data to standard error.
    QuietStandardError quiet;
    int rate = calls->Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) return false;
    g_espeak = calls;
    g_sampleRate = rate;
    return true;
}

class EspeakVoice;
// The object whose voice espeak-ng holds now, and the one speaking (its sound callback has no
// context of ours but this).
EspeakVoice* g_current = nullptr;
EspeakVoice* g_speaking = nullptr;

class EspeakVoice final : public SpeechOutput {
public:
    EspeakVoice(WavePlayer& player, KeyQueue& keys) : player_(player), keys_(keys) {}
    ~EspeakVoice() override {
        if (g_current == this) g_current = nullptr;
    }

    bool open(int voice, int speed, int pitch, std::string_view) override {
        fault_.clear();
        open_ = false;
        if (!startEspeak()) {
            fault_ = espeakCalls() ? kNoData : kNoLibrary;
            return false;
        }
        voiceName_ = espeakVoiceName(voice);
        rate_ = espeakRate(speed);
        pitch_ = espeakPitch(pitch);
        if (g_current == this) g_current = nullptr;
        if (!takeVoice()) {
            fault_ = kNoBrazilianVoice;
            return false;
        }
        open_ = true;
        return true;
    }

    void say(std::string_view text) override {
        if (!open_) return;
        std::string t(text::trim(text));
        if (t.empty()) return;
        if (t.size() == 1 && t[0] >= '0' && t[0] <= '9') t += '.';
        if (keyWaiting()) return;
        if (!takeVoice()) {
            fault_ = kNoBrazilianVoice;
            return;
        }
        const std::string utf8 = text::cp1252ToUtf8(t);
        // espeak-ng sets its own speed: the built-in voice's quick playback stays out of it.
        const bool rapid = player_.rapidPlayback, fast = player_.fastPlayback;
        player_.rapidPlayback = player_.fastPlayback = false;
        stopping_ = false;
        player_.beginSound();
        g_speaking = this;
        g_espeak->SetSynthCallback(onSamples);
        g_espeak->Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                        nullptr);
        g_speaking = nullptr;
        player_.endSound();
        player_.rapidPlayback = rapid;
        player_.fastPlayback = fast;
        if (stopping_ || keyWaiting()) player_.stopPlayer();
    }

    bool isBusy() override {
        if (keyWaiting()) {
            stop();
            return false;
        }
        return player_.playerBusy();
    }

    // Synthesis in progress (the sound callback asked from within it) ends at its next piece.
    void stop() override {
        stopping_ = true;
        player_.stopPlayer();
    }

    void close() override {
        stop();
        open_ = false;
        if (g_current == this) g_current = nullptr;
    }

    std::string fault() const override { return fault_; }

private:
    bool keyWaiting() { return player_.interruptible && keys_.keyPressed(); }

    // Makes this object's voice, rate and pitch espeak-ng's.
    bool takeVoice() {
        if (g_current == this) return true;
        if (g_espeak->SetVoiceByName(voiceName_.c_str()) != EE_OK &&
            (voiceName_ == kBrazilianVoice || g_espeak->SetVoiceByName(kBrazilianVoice) != EE_OK))
            return false;
        g_espeak->SetParameter(espeakRATE, rate_, 0);
        g_espeak->SetParameter(espeakPITCH, pitch_, 0);
        g_current = this;
        return true;
    }

    // espeak-ng's sound callback: each piece goes to the player as it comes; 1 ends synthesis.
    static int onSamples(short* wav, int count, espeak_EVENT*) {
        EspeakVoice* self = g_speaking;
        if (!self || self->stopping_ || self->keyWaiting()) return 1;
        if (wav && count > 0)
            self->player_.playPcm(reinterpret_cast<const uint8_t*>(wav), static_cast<size_t>(count) * 2,
                                  g_sampleRate, 1, 16);
        return self->stopping_ || self->keyWaiting() ? 1 : 0;
    }

    WavePlayer& player_;
    KeyQueue& keys_;
    std::string voiceName_ = kBrazilianVoice;
    int rate_ = kDefaultRate;
    int pitch_ = 50;
    bool open_ = false;
    bool stopping_ = false;
    std::string fault_;
};

}  // namespace

std::unique_ptr<SpeechOutput> createEspeakVoice(WavePlayer& player, KeyQueue& keys,
                                                const std::function<void(int)>&) {
    return std::make_unique<EspeakVoice>(player, keys);
}

}  // namespace parlendo
