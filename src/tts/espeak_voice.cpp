// The espeak-ng stand-in for the built-in voice's words.
#include "tts/espeak_voice.h"

#include <espeak-ng/speak_lib.h>

#include <string>

#include "console/key_queue.h"
#include "text/cp1252.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

// The library is one per process: started once, and its sample rate kept.
int startLibrary() {
    static int rate = [] {
        // Pieces of 20 ms, so that the first samples reach the player early.
        int r = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (r <= 0) return -1;
        if (espeak_SetVoiceByName("pt-br") != EE_OK) {
            espeak_VOICE wanted{};
            wanted.languages = "pt-br";
            if (espeak_SetVoiceByProperties(&wanted) != EE_OK) return -1;
        }
        return r;
    }();
    return rate;
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

int EspeakVoice::open() {
    int rate = startLibrary();
    ready_ = rate > 0;
    if (ready_) rate_ = rate;
    return 0;
}

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
    if (!ready_) return;
    stopped_ = false;
    firstSent_ = false;
    pending_.clear();
    espeak_SetSynthCallback(onSamples);
    espeak_SetParameter(espeakRATE, kRates[speed_ - 1], 0);
    std::string utf8 = text::cp1252ToUtf8(words);
    espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, this);
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
