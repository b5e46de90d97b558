// The diphone synthesiser: tokens, their splitting into units, units into names, names into
// diphones (with the fallbacks for missing ones), and the sound buffer.
#include "tts/diphone_synthesiser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "console/recorded_voice.h"
#include "platform/file_system.h"
#include "tts/diphone_database.h"
#include "tts/wave_player.h"

namespace parlendo {

namespace {

constexpr int kRate = 11025;
// A character recording larger than this is not one.
constexpr uint64_t kLargestRecording = 8u << 20;

bool in(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }
bool isVowel(char c) { return in(c, "AEIOUaeiouwy"); }
bool isConsonant(char c) { return in(c, "bcdfgjklmnpqrstvxz"); }
bool isGlide(char c) { return in(c, "wy"); }
bool isMark(char c) { return in(c, "^~"); }
bool isStressedVowel(char c) { return in(c, "AEIOU"); }
bool endsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return u;
}

}  // namespace

const char* lookupOutcomeName(LookupOutcome outcome) {
    switch (outcome) {
        case LookupOutcome::Found:
            return "Found";
        case LookupOutcome::Noise:
            return "Noise";
        case LookupOutcome::Decomposed:
            return "Decomposed";
        case LookupOutcome::Dropped:
            return "Dropped";
    }
    return "?";
}

DiphoneSynthesiser::DiphoneSynthesiser(const DiphoneDatabase& database) : database_(database) {}

void DiphoneSynthesiser::setDiphoneTiming(int cut, int keep, int wordGap) {
    cut_ = cut;
    keep_ = keep;
    wordGap_ = wordGap;
}

void DiphoneSynthesiser::allocate() {
    if (buffer_.size() != kBufferSize) buffer_.assign(kBufferSize, 128);
}

void DiphoneSynthesiser::release() {
    buffer_.clear();
    buffer_.shrink_to_fit();
}

bool DiphoneSynthesiser::synthesise(std::string_view text) {
    allocate();
    used_ = kHeaderSize;
    mode_ = 1;
    stopped_ = false;
    produced_ = 0;
    word_ = 0;
    accented_ = false;
    stressSaid_ = false;
    words_ = static_cast<size_t>(std::count(text.begin(), text.end(), '['));
    const size_t n = text.size();
    size_t i = 0;
    std::string token;
    while (i < n && !stopped_) {
        token.clear();
        char ending = '\0';
        while (i < n) {
            const char c = text[i];
            if (c == '[') {
                // The start of a word.
                mode_ = 1;
                ++word_;
                if (word_ == words_) lastWordStart_ = produced_;
                ++i;
            } else if (c == ' ' || c == ']') {
                ending = c;
                ++i;
                break;
            } else if (c == '/') {
                ++i;
                if (token.size() > 8) {
                    ending = c;
                    break;
                }
            } else if (c == '_') {
                // A letter reference: the "_" and the character after it stay together.
                size_t take = i + 1 < n ? 2 : 1;
                if (token.size() + take <= kLongestToken) token.append(text.substr(i, take));
                i += take;
            } else {
                if (token.size() < kLongestToken) token += c;
                ++i;
            }
        }
        split(token, 1.0);
        // The raised first accent is the whole of its stressed syllable and ends with its word.
        if (ending == ']' || ending == ' ') accented_ = accented_ || stressSaid_;
        // The silence between words, in whole hundreds of samples.
        if (ending == ']' && wordGap_ > 0) appendFill(static_cast<size_t>(wordGap_ / 100) * 100, false);
    }
    play();
    return !stopped_;
}

void DiphoneSynthesiser::split(std::string_view t, double f) {
    const size_t n = t.size();
    if (n == 0 || stopped_) return;
    if (n == 1) {
        emitUnit(t, f);
        return;
    }
    const char last = t[n - 1];
    if (n > 2 && isConsonant(t[0]) && isConsonant(t[1])) {
        std::string_view two = t.substr(0, 2);
        if (two != "dj" && two != "nh" && two != "rr" && two != "ks" && t.substr(0, 3) != "tch") {
            // The first letter of a cluster is a unit of its own, at full length.
            emitUnit(t.substr(0, 1), 1.0);
            split(t.substr(1), f);
            return;
        }
    }
    if (n > 2 && endsWith(t, "rr")) {
        split(t.substr(0, n - 2), f);
        emitUnit("rr", f);
        return;
    }
    if (n > 2 && isConsonant(last)) {
        split(t.substr(0, n - 1), f);
        split(t.substr(n - 1), f);
        return;
    }
    if (isGlide(last) && isVowel(t[n - 2]) && n > 2) {
        split(t.substr(0, n - 1), 0.6);
        emitUnit(t.substr(n - 2), f);
        return;
    }
    if (isGlide(last) && isMark(t[n - 2]) && n >= 3) {
        // Vowel, mark, glide: the vowel with its glide is the unit, and its mark goes last.
        const char vowel = t[n - 3];
        if (n > 3) split(std::string(t.substr(0, n - 2)) + "^", 0.6);
        const char unit[] = {vowel, last, t[n - 2]};
        emitUnit(std::string_view(unit, 3), f);
        return;
    }
    if (t != "_s" && last == 's') {
        split(t.substr(0, n - 1), 0.7);
        emitUnit("s", f);
        return;
    }
    emitUnit(t, f);
}

void DiphoneSynthesiser::emitUnit(std::string_view u, double f) {
    std::string name = "$";
    bool stressed = false;
    // The units of a stressed syllable (its vowel, then the vowel with its glide) share its
    // accent; the first unit without a stressed vowel after it ends it.
    if (std::none_of(u.begin(), u.end(), isStressedVowel)) accented_ = accented_ || stressSaid_;
    for (size_t i = 0; i < u.size() && !stopped_; ++i) {
        const char c = u[i];
        if (c == '_') {
            // A reference to a letter's recording, by its character code.
            if (i + 1 >= u.size()) continue;
            if (name != "$") emitName(name, mode_, f);
            name = "$";
            appendLetter(static_cast<uint8_t>(u[++i]));
        } else if (c == '^' || c == '~') {
            emitName(name + (c == '^' ? "CIRC" : "TIL"), mode_, f);
            name = "$";
        } else {
            name += c;
            if (isStressedVowel(c)) {
                // From the stressed vowel to the end of the unit the diphones keep their length.
                mode_ = 2;
                stressed = true;
            }
        }
    }
    if (name != "$") emitName(name, mode_, f);
    if (stressed) {
        mode_ = 0;
        stressSaid_ = true;
    }
}

void DiphoneSynthesiser::emitName(std::string name, int mode, double f) {
    if (stopped_) return;
    name = upper(std::string_view(name).substr(0, kLongestName));
    if (std::optional<DiphoneEntry> entry = database_.find(name)) {
        report(name, LookupOutcome::Found);
        long count = entry->count;
        long c = count;
        if ((mode == 0 || mode == 1) && name.size() > 2) {
            c = count - cut_;
            if (c < keep_) c = std::min<long>(count, keep_);
        }
        // Never more than the diphone holds, nor less than nothing.
        c = std::clamp<long>(c, 0, count);
        const double bytes = std::trunc(f * static_cast<double>(c));
        size_t take = static_cast<size_t>(std::min<double>(bytes, static_cast<double>(c)));
        // A diphone cut short ends where its wave crosses zero upwards, as every diphone starts:
        // the next one goes on from there without a click and without a fade.
        bool atCrossing = false;
        if (fadeCutEnds_ && take > 0 && take < static_cast<size_t>(count)) {
            const size_t moved = zeroCrossingNear(entry->offset, static_cast<size_t>(count), take);
            atCrossing = moved != 0;
            if (atCrossing) take = moved;
        }
        if (take > 0 && melody_) {
            double ratio = 1, length = 1;
            shapeOf(mode, ratio, length);
            take = appendShaped(entry->offset, take, ratio, length);
        } else if (take > 0) {
            appendDiphone(entry->offset, take);
        }
        // A diphone cut short ends wherever its wave happens to be: a click at the next join,
        // unless its last few samples are brought down to silence.
        if (fadeCutEnds_ && !atCrossing && take > 0 && take < static_cast<size_t>(count)) fadeTail(take);
        return;
    }
    const size_t n = name.size();
    if (n <= 2) {
        report(name, LookupOutcome::Noise);
        appendFill(kNoiseSamples, true);
        return;
    }
    const char last = name[n - 1];
    if (isVowel(last) || last == 'W' || last == 'Y') {
        report(name, LookupOutcome::Decomposed);
        emitName(name.substr(0, n - 1), mode, 0.9 * f);
        emitName(std::string("$") + last, mode, f);
        return;
    }
    if (endsWith(name, "TIL")) {
        report(name, LookupOutcome::Decomposed);
        std::string base = name.substr(0, n - 3);
        int baseMode = mode;
        const char before = base.empty() ? '\0' : base.back();
        if (before != 'I' && before != 'U') {
            base += "CIRC";
            baseMode = 2;
        }
        emitName(base, baseMode, 0.9 * f);
        emitName("$nn", 1, 0.9);
        return;
    }
    if (endsWith(name, "CIRC") && n >= 7) {
        report(name, LookupOutcome::Decomposed);
        emitName(name.substr(0, n - 5), mode, 0.9 * f);
        emitName("$" + name.substr(n - 5), mode, f);
        return;
    }
    report(name, LookupOutcome::Dropped);
}

void DiphoneSynthesiser::makeRoom(size_t count) {
    if (used_ + count > kBufferSize && used_ > kHeaderSize) play();
}

template <typename Fill>
void DiphoneSynthesiser::appendPieces(size_t count, Fill fill) {
    if (lookupOnly_) return;
    makeRoom(count);
    while (count > 0 && !stopped_) {
        if (used_ == kBufferSize) play();
        if (stopped_) return;
        const size_t take = std::min(count, kBufferSize - used_);
        const size_t got = fill(buffer_.data() + used_, take);
        used_ += got;
        produced_ += got;
        if (got < take) return;
        count -= take;
    }
}

void DiphoneSynthesiser::appendDiphone(uint64_t offset, size_t count) {
    appendPieces(count, [&](uint8_t* to, size_t take) {
        const size_t got = database_.readSamples(offset, take, to);  // less: the sample file ends early
        offset += got;
        return got;
    });
}

void DiphoneSynthesiser::shapeOf(int mode, double& ratio, double& length) const {
    double semitones = 0;
    length = 1;
    if (mode != 2) {
        semitones += kUnstressedSemitones;
        length *= kUnstressedLength;
    }
    if (mode == 2 && !accented_ && words_ > 1) semitones += kFirstStressSemitones;
    if (words_ > 1 && word_ >= 1) {
        const size_t before = std::min(word_, words_) - 1;
        semitones += kStepDownSemitones * static_cast<double>(before) / static_cast<double>(words_ - 1);
    }
    if (word_ == words_ && words_ > 0) {
        const double seconds = static_cast<double>(produced_ - lastWordStart_) / kRate;
        semitones += std::max(kFinalFallMost, kFinalFallPerSecond * seconds);
        length *= kFinalLength;
    }
    ratio = std::pow(2.0, semitones / 12.0);
}

size_t DiphoneSynthesiser::appendShaped(uint64_t offset, size_t count, double ratio, double length) {
    if (lookupOnly_) return count;
    scratch_.resize(count);
    const size_t got = database_.readSamples(offset, count, scratch_.data());
    if (got < 2) return 0;
    // Each sample of the output steps `ratio` samples through the diphone (linear interpolation):
    // below 1 the pitch falls. Through the last word the ratio goes on falling, sample by sample,
    // down to the fall's lowest point. The output is `length` of the diphone, or less when the
    // diphone runs out first.
    const bool falling = word_ == words_ && words_ > 0;
    const double fallStep = std::pow(2.0, kFinalFallPerSecond / 12.0 / kRate);
    const double lowest =
        ratio *
        std::pow(2.0,
                 (kFinalFallMost -
                  std::max(kFinalFallMost,
                           kFinalFallPerSecond * static_cast<double>(produced_ - lastWordStart_) / kRate)) /
                     12.0);
    const size_t wanted = static_cast<size_t>(static_cast<double>(got) * length);
    // When the diphone is not used up by then, the output ends at the quietest point of the pitch
    // period there (within kJoinReach of `length`), where one glottal pulse has died away and the
    // next is to come, and at the wave's upward crossing there: the next diphone, which starts at
    // such a point, goes on with the period of the voice, where an end anywhere else in the period
    // would leave a pulse out (a dip of 10 dB and more) or say one twice.
    shaped_.clear();
    double t = 0;
    bool usedUp = false;
    while (shaped_.size() < wanted + kJoinReach) {
        const size_t i = static_cast<size_t>(t);
        if (i >= got) {
            usedUp = true;
            break;
        }
        const double frac = t - static_cast<double>(i);
        const int next = scratch_[std::min(i + 1, got - 1)];
        shaped_.push_back(static_cast<uint8_t>(std::lround(scratch_[i] + frac * (next - scratch_[i]))));
        t += ratio;
        if (falling && ratio > lowest) ratio = std::max(lowest, ratio * fallStep);
    }
    if (!usedUp) shaped_.resize(quietEndNear(shaped_, wanted));
    size_t out = 0;
    appendPieces(shaped_.size(), [&](uint8_t* to, size_t take) {
        std::memcpy(to, shaped_.data() + out, take);
        out += take;
        return take;
    });
    return out;
}

size_t DiphoneSynthesiser::quietEndNear(const std::vector<uint8_t>& s, size_t at) {
    constexpr size_t kHalf = 11;  // 2 ms of the wave around each candidate
    const size_t from = std::max(at > kJoinReach ? at - kJoinReach : 0, kHalf);
    const size_t to = std::min(at + kJoinReach, s.size() > kHalf ? s.size() - kHalf : 0);
    size_t best = at;
    long bestEnergy = -1;
    size_t bestDistance = 0;
    if (from >= to) return std::min(at, s.size());
    // The energy of s[c - kHalf, c + kHalf), slid along one sample at a time.
    auto square = [&](size_t k) { return (s[k] - 128L) * (s[k] - 128L); };
    long energy = 0;
    for (size_t k = from - kHalf; k < from + kHalf; ++k) energy += square(k);
    for (size_t c = from; c < to; ++c) {
        if (c > from) energy += square(c + kHalf - 1) - square(c - kHalf - 1);
        const size_t d = c > at ? c - at : at - c;
        if (bestEnergy < 0 || energy < bestEnergy || (energy == bestEnergy && d < bestDistance)) {
            bestEnergy = energy;
            best = c;
            bestDistance = d;
        }
    }
    // The upward crossing nearest to it, within those 2 ms.
    size_t end = best;
    for (size_t d = 0; d <= kHalf; ++d) {
        if (best + d < s.size() && best + d >= 1 && s[best + d - 1] < 128 && s[best + d] >= 128) {
            end = best + d;
            break;
        }
        if (best >= d + 1 && s[best - d - 1] < 128 && s[best - d] >= 128) {
            end = best - d;
            break;
        }
    }
    return std::min(end, s.size());
}

size_t DiphoneSynthesiser::zeroCrossingNear(uint64_t offset, size_t count, size_t at) {
    if (lookupOnly_) return 0;
    const size_t from = at > kCrossingReach ? at - kCrossingReach : 1;
    const size_t to = std::min(count, at + kCrossingReach);
    if (to <= from) return 0;
    uint8_t around[2 * kCrossingReach + 2];
    const size_t got = database_.readSamples(offset + from - 1, to - from + 1, around);
    size_t best = 0, bestDistance = kCrossingReach + 1;
    for (size_t k = 1; k < got; ++k) {
        if (around[k - 1] >= 128 || around[k] < 128) continue;
        const size_t i = from - 1 + k;  // the first sample at or above the middle
        const size_t d = i > at ? i - at : at - i;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

void DiphoneSynthesiser::fadeTail(size_t appended) {
    if (lookupOnly_ || stopped_) return;
    const size_t n = std::min({kFadeSamples, appended, used_ - kHeaderSize});
    uint8_t* end = buffer_.data() + used_;
    for (size_t k = 1; k <= n; ++k) {
        const int s = end[-static_cast<long>(k)] - 128;
        end[-static_cast<long>(k)] =
            static_cast<uint8_t>(128 + s * static_cast<int>(k - 1) / static_cast<int>(n));
    }
}

void DiphoneSynthesiser::appendFill(size_t count, bool noise) {
    appendPieces(count, [&](uint8_t* to, size_t take) {
        for (size_t k = 0; k < take; ++k) to[k] = noise ? static_cast<uint8_t>(88 + random_() % 80) : 128;
        return take;
    });
}

void DiphoneSynthesiser::appendLetter(uint8_t code) {
    if (lookupOnly_) return;
    const std::string file = characterFolder_ + "_" + std::to_string(code) + ".wav";
    SysError error = 0;
    FileHandle f = FileHandle::open(file, FileHandle::Mode::Read, error);
    if (!f.isOpen()) return;  // a missing recording adds nothing
    std::optional<uint64_t> size = f.size(error);
    if (!size || *size > kLargestRecording) return;
    std::string image(static_cast<size_t>(*size), '\0');
    IoResult r = f.readAt(image.data(), image.size(), 0);
    image.resize(r.count);
    std::optional<std::string> samples = wavSamples8BitMono(image);
    if (!samples) return;
    makeRoom(samples->size());
    size_t at = 0;
    while (at < samples->size() && !stopped_) {
        if (used_ == kBufferSize) play();
        if (stopped_) return;
        const size_t take = std::min(samples->size() - at, kBufferSize - used_);
        std::memcpy(buffer_.data() + used_, samples->data() + at, take);
        used_ += take;
        produced_ += take;
        at += take;
    }
}

void DiphoneSynthesiser::play() {
    if (used_ <= kHeaderSize || stopped_) {
        used_ = kHeaderSize;
        return;
    }
    std::vector<uint8_t> header = wavHeader(static_cast<uint32_t>(used_ - kHeaderSize), kRate, 1, 8);
    std::copy(header.begin(), header.end(), buffer_.begin());
    if (sink_ && !sink_->play(buffer_.data(), used_)) stopped_ = true;
    used_ = kHeaderSize;
}

}  // namespace parlendo
