// Pitch-synchronous overlap-add of diphones. Each phoneme is the second half of the diphone
// that ends in it and the first half of the one that starts from it, its duration shared between
// the two halves as their natural lengths are. Along the output, synthesis marks are laid one
// pitch period apart (the period the pitch points ask for there; the analysis spacing where the
// sound is unvoiced); at each, the analysis mark at the matching place of the half is taken with a
// Hann window two of its periods wide and added in.
#include "mbrola/psola.h"

#include <algorithm>
#include <cmath>

namespace brisa {
namespace {

constexpr double kSamplesPerMs = kDatabaseRate / 1000.0;
constexpr uint32_t kMinPeriod = 16;   // 1 ms
constexpr uint32_t kMaxPeriod = 320;  // 20 ms: the widest half window
// Samples this far behind the last phoneme synthesised get no more grains and are final.
constexpr int64_t kSettled = kMaxPeriod + 2;
// Phonemes held back waiting for a later pitch point, at most, and their longest duration: the
// samples of a write stay few.
constexpr size_t kMaxHeldBack = 64;
constexpr double kMaxHeldBackMs = 2000;

int64_t sampleAt(double ms) { return std::llround(ms * kSamplesPerMs); }

}  // namespace

Synthesizer::Synthesizer(const VoiceDatabase& database) : db_(database) {
    const size_t n = db_.phonemes.size();
    for (size_t i = 0; i < n; ++i) numbers_.emplace(db_.phonemes[i], static_cast<int>(i));
    pause_ = phonemeNumber("_");
    longPause_ = phonemeNumber("__");
    pairIndex_.assign(n * n, -1);
    std::vector<uint32_t> periods;
    for (size_t i = 0; i < db_.diphones.size(); ++i) {
        const Diphone& d = db_.diphones[i];
        pairIndex_[d.left * n + d.right] = static_cast<int>(i);
        for (size_t m = 1; m < d.marks.size(); ++m)
            if (d.marks[m].voiced && d.marks[m - 1].voiced)
                periods.push_back(d.marks[m].position - d.marks[m - 1].position);
    }
    if (!periods.empty()) {
        std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
        naturalPitch_ = std::clamp(kDatabaseRate / static_cast<double>(periods[periods.size() / 2]),
                                   kLowestPitch, kHighestPitch);
    }
}

int Synthesizer::phonemeNumber(std::string_view name) const {
    auto it = numbers_.find(std::string(name));
    return it == numbers_.end() ? -1 : it->second;
}

const Diphone* Synthesizer::find(int left, int right) const {
    const int n = static_cast<int>(db_.phonemes.size());
    if (left < 0 || right < 0 || left >= n || right >= n) return nullptr;
    int index = pairIndex_[left * n + right];
    return index < 0 ? nullptr : &db_.diphones[index];
}

// The part of a diphone that ends in `current`; a missing pair falls back on the diphone from a
// pause, so that the phoneme starts as it does after a silence.
Synthesizer::Half Synthesizer::leftHalf(int previous, int current) const {
    if (isPause(previous)) previous = pause_;
    const Diphone* d = find(previous, current);
    if (!d) d = find(pause_, current);
    if (!d) return {};
    return {d, d->boundary, d->end};
}

Synthesizer::Half Synthesizer::rightHalf(int current, int next) const {
    if (isPause(next)) next = pause_;
    const Diphone* d = find(current, next);
    if (!d) d = find(current, pause_);
    if (!d) return {};
    return {d, d->begin, d->boundary};
}

void Synthesizer::addPhoneme(int phoneme, double durationMs, const std::vector<PitchPoint>& pitch) {
    std::vector<PitchPoint> points = pitch;
    std::stable_sort(points.begin(), points.end(),
                     [](const PitchPoint& a, const PitchPoint& b) { return a.percent < b.percent; });
    for (const PitchPoint& p : points) {
        double at = timeMs_ + durationMs * p.percent / 100;
        if (!pitch_.empty() && at < pitch_.back().first) at = pitch_.back().first;
        pitch_.emplace_back(at, std::clamp(p.hertz, kLowestPitch, kHighestPitch));
    }
    pending_.push_back({phoneme, timeMs_, durationMs});
    timeMs_ += durationMs;
    // A phoneme is made once the next one is known and the melody over it is: a pitch point at
    // or after its end (or too many waiting).
    size_t ready = 0;
    const double lastPoint = pitch_.empty() ? -1 : pitch_.back().first;
    for (size_t i = 0; i + 1 < pending_.size(); ++i)
        if (pending_[i].startMs + pending_[i].durationMs <= lastPoint) ready = i + 1;
    double heldMs = 0;
    for (size_t i = ready; i + 1 < pending_.size(); ++i) heldMs += pending_[i].durationMs;
    if (pending_.size() > kMaxHeldBack || heldMs > kMaxHeldBackMs) ready = pending_.size() - 1;
    if (ready > 0) synthesize(ready);
}

void Synthesizer::flush() {
    synthesize(pending_.size());
    release(done_);
    acc_.clear();
    accBase_ = done_ = 0;
    nextMark_ = 0;
    timeMs_ = 0;
    previous_ = -1;
    pitch_.clear();
}

void Synthesizer::consume(size_t n) {
    readAt_ = std::min(ready_.size(), readAt_ + n);
    // The samples read are dropped once they are most of the queue.
    if (readAt_ == ready_.size()) {
        ready_.clear();
        readAt_ = 0;
    } else if (readAt_ > 65536 && readAt_ * 2 > ready_.size()) {
        ready_.erase(ready_.begin(), ready_.begin() + static_cast<long>(readAt_));
        readAt_ = 0;
    }
}

void Synthesizer::reset() {
    pending_.clear();
    ready_.clear();
    readAt_ = 0;
    acc_.clear();
    accBase_ = done_ = 0;
    nextMark_ = 0;
    timeMs_ = 0;
    previous_ = -1;
    pitch_.clear();
}

double Synthesizer::pitchAt(double ms) const {
    if (pitch_.empty()) return naturalPitch_;
    auto after = std::lower_bound(pitch_.begin(), pitch_.end(), std::make_pair(ms, 0.0));
    if (after == pitch_.begin()) return pitch_.front().second;
    if (after == pitch_.end()) return pitch_.back().second;
    auto before = after - 1;
    double span = after->first - before->first;
    if (span <= 0) return after->second;
    return before->second + (after->second - before->second) * (ms - before->first) / span;
}

// Synthesises the first `count` waiting phonemes.
void Synthesizer::synthesize(size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const Pending& p = pending_[i];
        // The last phoneme of an utterance is followed by a pause.
        const int next = i + 1 < pending_.size() ? pending_[i + 1].phoneme : -1;
        const int64_t t0 = sampleAt(p.startMs);
        const int64_t t1 = sampleAt(p.startMs + p.durationMs);
        if (!isPause(p.phoneme) && t1 > t0) {
            Half left = leftHalf(previous_, p.phoneme);
            Half right = rightHalf(p.phoneme, next);
            const double total = static_cast<double>(left.length()) + right.length();
            if (total > 0) {
                const int64_t split = t0 + std::llround((t1 - t0) * (left.length() / total));
                if (left.diphone) render(left, t0, split);
                if (right.diphone) render(right, split, t1);
            }
        }
        done_ = std::max(done_, t1);
        previous_ = p.phoneme;
        release(done_ - kSettled);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(count));
    // Pitch points behind what is made are needed no more, but for the last one (the contour
    // holds it until the next).
    const double doneMs = done_ / kSamplesPerMs;
    size_t keep = 0;
    while (keep + 1 < pitch_.size() && pitch_[keep + 1].first <= doneMs) ++keep;
    pitch_.erase(pitch_.begin(), pitch_.begin() + static_cast<long>(keep));
}

void Synthesizer::render(const Half& half, int64_t t0, int64_t t1) {
    if (t1 <= t0) return;
    const Diphone& d = *half.diphone;
    if (d.marks.empty()) return;
    if (nextMark_ < t0) nextMark_ = static_cast<double>(t0);
    const double scale = static_cast<double>(half.length()) / static_cast<double>(t1 - t0);
    while (nextMark_ < static_cast<double>(t1)) {
        const double source = half.from + (nextMark_ - t0) * scale;
        // The analysis mark nearest the matching place in the half.
        auto it = std::lower_bound(d.marks.begin(), d.marks.end(), source,
                                   [](const PitchMark& m, double s) { return m.position < s; });
        size_t m = static_cast<size_t>(it - d.marks.begin());
        if (m == d.marks.size() || (m > 0 && source - d.marks[m - 1].position < d.marks[m].position - source))
            --m;
        const int64_t at = std::llround(nextMark_);
        addGrain(d, m, at);
        double step = 0;
        if (d.marks[m].voiced) {
            step = kDatabaseRate / pitchAt(nextMark_ / kSamplesPerMs);
        } else {
            const uint32_t lo = m > 0 ? d.marks[m].position - d.marks[m - 1].position : 0;
            const uint32_t hi = m + 1 < d.marks.size() ? d.marks[m + 1].position - d.marks[m].position : lo;
            step = std::clamp(std::max(lo, hi), kMinPeriod, kMaxPeriod);
        }
        nextMark_ += step;
    }
}

void Synthesizer::addGrain(const Diphone& d, size_t mark, int64_t at) {
    // The local period: the mean distance to the neighbouring marks.
    const uint32_t centre = d.marks[mark].position;
    uint32_t sum = 0, sides = 0;
    if (mark > 0) sum += centre - d.marks[mark - 1].position, ++sides;
    if (mark + 1 < d.marks.size()) sum += d.marks[mark + 1].position - centre, ++sides;
    const int half =
        static_cast<int>(std::clamp(sides ? sum / sides : kMaxPeriod / 2, kMinPeriod, kMaxPeriod));
    const int64_t first = at - half;
    if (first < accBase_) return;  // cannot happen: released samples lie behind every new grain
    const size_t need = static_cast<size_t>(at + half - accBase_);
    if (acc_.size() < need) acc_.resize(need, 0.0F);
    if (windows_.size() <= static_cast<size_t>(half)) windows_.resize(half + 1);
    std::vector<float>& window = windows_[half];
    if (window.empty()) {
        const double pi = 3.14159265358979323846;
        window.resize(2 * static_cast<size_t>(half));
        for (int k = 0; k < 2 * half; ++k)
            window[k] = static_cast<float>((0.5 - 0.5 * std::cos(pi * k / half)) / 32768.0);
    }
    // The part of the window over samples the diphone has.
    const int from = std::max(-half, -static_cast<int>(centre));
    const int to = std::min(half, static_cast<int>(d.samples.size() - centre));
    float* out = acc_.data() + (at - accBase_);
    const int16_t* in = d.samples.data() + centre;
    const float* w = window.data() + half;
    for (int k = from; k < to; ++k) out[k] += w[k] * static_cast<float>(in[k]);
}

// Moves the samples before `upTo` to the ready queue (silence where no grain reached).
void Synthesizer::release(int64_t upTo) {
    if (upTo <= accBase_) return;
    const size_t n = static_cast<size_t>(upTo - accBase_);
    const size_t have = std::min(n, acc_.size());
    ready_.insert(ready_.end(), acc_.begin(), acc_.begin() + static_cast<long>(have));
    ready_.resize(ready_.size() + (n - have), 0.0F);
    acc_.erase(acc_.begin(), acc_.begin() + static_cast<long>(std::min(n, acc_.size())));
    accBase_ = upTo;
}

}  // namespace brisa
