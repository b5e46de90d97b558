// The synthesizer proper: phonemes with durations and pitch points made into samples by joining
// the database's diphones with pitch-synchronous overlap-add.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mbrola/pho_line.h"
#include "mbrola/voice_database.h"

namespace brisa {

// The pitch a request may ask for is held inside these bounds.
constexpr double kLowestPitch = 50;
constexpr double kHighestPitch = 400;

class Synthesizer {
public:
    // The database must outlive the synthesizer.
    explicit Synthesizer(const VoiceDatabase& database);

    // The phoneme's number in the database, or -1 when it has none (spoken as silence).
    int phonemeNumber(std::string_view name) const;
    // Gives `name` the sound of the phoneme of that number, or takes a name away.
    void setName(std::string_view name, int number) { numbers_[std::string(name)] = number; }
    void removeName(std::string_view name) { numbers_.erase(std::string(name)); }

    // Appends a phoneme (-1 or a pause: silence) of that duration, with its pitch points.
    void addPhoneme(int phoneme, double durationMs, const std::vector<PitchPoint>& pitch);
    // Ends the utterance: everything written becomes samples; the next phoneme starts afresh.
    void flush();
    // Forgets everything written and not yet read.
    void reset();

    // Finished samples waiting to be read, at the database's rate, full scale 1.0 = 32768.
    std::span<const float> ready() const { return {ready_.data() + readAt_, ready_.size() - readAt_}; }
    // Takes the first `n` of them away.
    void consume(size_t n);

    // The pitch of the voice when a whole utterance asks for none.
    double naturalPitch() const { return naturalPitch_; }

private:
    struct Pending {
        int phoneme;
        double startMs, durationMs;
    };
    struct Half {
        const Diphone* diphone = nullptr;
        uint32_t from = 0, to = 0;
        uint32_t length() const { return to - from; }
    };

    const Diphone* find(int left, int right) const;
    bool isPause(int phoneme) const { return phoneme < 0 || phoneme == pause_ || phoneme == longPause_; }
    Half leftHalf(int previous, int current) const;
    Half rightHalf(int current, int next) const;
    void synthesize(size_t count);
    void render(const Half& half, int64_t t0, int64_t t1);
    void addGrain(const Diphone& d, size_t mark, int64_t at);
    double pitchAt(double ms) const;
    void release(int64_t upTo);

    const VoiceDatabase& db_;
    std::unordered_map<std::string, int> numbers_;
    std::vector<int> pairIndex_;  // left * phonemes + right -> diphone, or -1
    int pause_ = -1, longPause_ = -1;
    double naturalPitch_ = 120;

    std::vector<Pending> pending_;
    int previous_ = -1;
    double timeMs_ = 0;                             // where the next phoneme written starts
    std::vector<std::pair<double, double>> pitch_;  // (ms, Hz), ascending
    std::vector<float> acc_;
    int64_t accBase_ = 0;  // the utterance sample acc_[0] stands for
    int64_t done_ = 0;     // samples up to here have all their grains
    double nextMark_ = 0;
    std::vector<float> ready_;
    size_t readAt_ = 0;
    std::vector<std::vector<float>> windows_;  // Hann windows by half width, made when first needed
};

}  // namespace brisa
