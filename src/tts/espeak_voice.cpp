// The espeak-ng stand-in for the built-in voice's words.
#include "tts/espeak_voice.h"

#include <espeak-ng/speak_lib.h>

#include <optional>
#include <string>

#include "console/key_queue.h"
#include "platform/shared_library.h"
#include "text/cp1252.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

// libespeak-ng is loaded and started at the first words, not at start-up: it brings the sound
// servers' libraries with it, which an idle run does without. Its header gives the types; these
// are the functions taken from the loaded library.
constexpr const char* kEspeakLibrary = "libespeak-ng.so.1";

struct EspeakCalls {
    decltype(&espeak_Initialize) Initialize = nullptr;
    decltype(&espeak_SetVoiceByName) SetVoiceByName = nullptr;
    decltype(&espeak_SetVoiceByProperties) SetVoiceByProperties = nullptr;
    decltype(&espeak_SetSynthCallback) SetSynthCallback = nullptr;
    decltype(&espeak_SetParameter) SetParameter = nullptr;
    decltype(&espeak_Synth) Synth = nullptr;
    int rate = -1;  // the library's sample rate once it is started
};

// The library is one per process: loaded and started once, its sample rate kept. Null when it
// cannot be loaded or started, or has no Brazilian Portuguese voice.
const EspeakCalls* startLibrary() {
    static const std::optional<EspeakCalls> started = []() -> std::optional<EspeakCalls> {
        std::string error;
        std::optional<SharedLibrary> library = SharedLibrary::load(kEspeakLibrary, error);
        if (!library) return std::nullopt;
        EspeakCalls e;
        if (!library->resolve(e.Initialize, "espeak_Initialize", error) ||
            !library->resolve(e.SetVoiceByName, "espeak_SetVoiceByName", error) ||
            !library->resolve(e.SetVoiceByProperties, "espeak_SetVoiceByProperties", error) ||
            !library->resolve(e.SetSynthCallback, "espeak_SetSynthCallback", error) ||
            !library->resolve(e.SetParameter, "espeak_SetParameter", error) ||
            !library->resolve(e.Synth, "espeak_Synth", error))
            return std::nullopt;
        // Pieces of 20 ms, so that the first samples reach the player early.
        e.rate = e.Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (e.rate <= 0) return std::nullopt;
        if (e.SetVoiceByName("pt-br") != EE_OK) {
            espeak_VOICE wanted{};
            wanted.languages = "pt-br";
            if (e.SetVoiceByProperties(&wanted) != EE_OK) return std::nullopt;
        }
        return e;
    }();
    return started ? &*started : nullptr;
}

int onSamples(short* samples, int count, espeak_EVENT* events) {
    auto* voice = events ? static_cast<EspeakVoice*>(events->user_data) : nullptr;
    if (!voice || !samples || count <= 0) return 0;
    return voice->deliver(samples, count) ? 0 : 1;
}

// Words per minute for the speeds 1 to 5.
constexpr int kRates[] = {130, 155, 180, 215, 260};

}  // namespace

EspeakVoice::EspeakVoice(WavePlayer& player, KeyQueue& keys, std::function<void(int)> sleep)
    : player_(player), keys_(keys), sleep_(std::move(sleep)) {}

EspeakVoice::~EspeakVoice() = default;

// The library waits for the first words.
int EspeakVoice::open() { return 0; }

bool EspeakVoice::available() { return startLibrary() != nullptr; }

void EspeakVoice::setSpeed(int speed) { speed_ = speed >= 1 && speed <= 5 ? speed : 3; }

// The player's piece size: fewer, fuller blocks, long enough for its shortened playback.
constexpr size_t kPiece = 8192;

void EspeakVoice::flush() {
    if (!pending_.empty()) player_.playPcm(pending_.data(), pending_.size(), rate_, 1, 16);
    pending_.clear();
}

bool EspeakVoice::deliver(const short* samples, int count) {
    if (stopped_ || keys_.keyPressed()) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
    pending_.insert(pending_.end(), bytes, bytes + static_cast<size_t>(count) * 2);
    if (!firstSent_ || pending_.size() >= kPiece) {
        firstSent_ = true;
        flush();
    }
    return !stopped_;
}

void EspeakVoice::speakWords(std::string_view words) {
    const EspeakCalls* espeak = startLibrary();
    if (!espeak) return;  // silent, as the silent voice is
    rate_ = espeak->rate;
    stopped_ = false;
    firstSent_ = false;
    pending_.clear();
    espeak->SetSynthCallback(onSamples);
    espeak->SetParameter(espeakRATE, kRates[speed_ - 1], 0);
    std::string utf8 = text::cp1252ToUtf8(words);
    espeak->Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, this);
    if (stopped_ || keys_.keyPressed()) pending_.clear();
    flush();
    // The pieces are queued; the words end when the player has played them.
    while (player_.playerBusy()) {
        if (keys_.keyPressed()) {
            player_.stopPlayer();
            return;
        }
        sleep_(10);
    }
}

}  // namespace parlendo
