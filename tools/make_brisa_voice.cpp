// Writes the Brisa voice's diphone database (the synthesizer's file, see src/mbrola/
// voice_database.cpp) from espeak-ng's Brazilian Portuguese voice. Every pair of the voice's
// phonemes, and each phoneme after and before a pause, is spoken monotone from espeak-ng phoneme
// mnemonics inside a carrier word ("ta" before it, "ta" or "ata" after it); the phoneme events
// give where each phoneme starts (for a stop, espeak-ng's event is its burst: the silent closure
// before it is found in the sound and belongs to the stop). A diphone runs from the steady middle
// of its first phoneme (the middle of a stop's closure) to that of its second. Pitch marks are
// found by the generator: voiced stretches by normalised autocorrelation, one mark a period at
// the largest peak near where the period before predicts it; unvoiced stretches get an even 5 ms
// grid. Pairs espeak-ng does not say as asked are left out (the synthesizer joins such a pair
// through a pause's diphones). The same espeak-ng gives the same bytes on every run.
//
//   make_brisa_voice OUT
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "espeak_capture.h"
#include "mbrola/voice_database.h"

namespace {

namespace voicegen = parlendo::voicegen;
using brisa::Diphone;
using brisa::kDatabaseRate;
using brisa::PitchMark;

constexpr const char* kTool = "make_brisa_voice";
constexpr int kRate = 175;           // words per minute: espeak-ng's usual
constexpr size_t kMargin = 330;      // samples kept around a diphone for the windows (> 20 ms)
constexpr size_t kMaxClosure = 960;  // 60 ms: the longest closure taken before a stop
constexpr size_t kTail = 480;        // 30 ms of a phoneme's fading kept before a pause
constexpr size_t kHop = 80;          // 5 ms: analysis hop, and the unvoiced marks' spacing
constexpr size_t kWindow = 400;      // 25 ms autocorrelation window
// The carriers are said monotone at about 89 Hz: a best lag shorter than 100 samples (160 Hz) is
// the fine structure of a noise (f, a burst), not a period, and such a stretch is unvoiced.
constexpr size_t kMinLag = 100, kMaxLag = 250;  // 160 Hz down to 64 Hz

// InitialStop: a stop spoken right after a pause: what comes before its sound (espeak-ng's
// prevoicing and burst) is the pause, not a closure, so it is cut where its sound starts.
enum class Kind { Pause, Vowel, Glide, Stop, InitialStop, Continuant };

struct Sound {
    const char* name;
    const char* espeak;  // the mnemonic espeak-ng is given; null for a name sharing another's sound
    Kind kind;
};

// Our phoneme names and espeak-ng's mnemonics for them. espeak-ng has no nasal w of its own (its
// "&U~" is the whole diphthong), so w~ is its w after the nasal vowel; y is its nasal glide.
const Sound kSounds[] = {
    {"_", "", Kind::Pause},         {"a", "a", Kind::Vowel},        {"6", "&", Kind::Vowel},
    {"e", "e", Kind::Vowel},        {"E", "E", Kind::Vowel},        {"i", "i", Kind::Vowel},
    {"o", "o", Kind::Vowel},        {"O", "O", Kind::Vowel},        {"u", "u", Kind::Vowel},
    {"a~", "&~", Kind::Vowel},      {"e~", "e~", Kind::Vowel},      {"i~", "i~", Kind::Vowel},
    {"o~", "o~", Kind::Vowel},      {"u~", "u~", Kind::Vowel},      {"w", "w", Kind::Glide},
    {"y", "j", Kind::Glide},        {"w~", "w", Kind::Glide},       {"y~", "y", Kind::Glide},
    {"p", "p", Kind::Stop},         {"b", "b", Kind::Stop},         {"t", "t", Kind::Stop},
    {"d", "d", Kind::Stop},         {"k", "k", Kind::Stop},         {"g", "g", Kind::Stop},
    {"tS", "tS", Kind::Stop},       {"dZ", "dZ", Kind::Stop},       {"f", "f", Kind::Continuant},
    {"v", "v", Kind::Continuant},   {"s", "s", Kind::Continuant},   {"z", "z", Kind::Continuant},
    {"S", "S", Kind::Continuant},   {"Z", "Z", Kind::Continuant},   {"m", "m", Kind::Continuant},
    {"n", "n", Kind::Continuant},   {"nh", "n^", Kind::Continuant}, {"l", "l", Kind::Continuant},
    {"lh", "l^", Kind::Continuant}, {"r", "*", Kind::Continuant},   {"r2", "x", Kind::Continuant},
};
// Names that sound as another: the long pause as the short one, the final s as s.
const std::pair<const char*, const char*> kSameSound[] = {{"__", "_"}, {"s2", "s"}};

constexpr size_t kSoundCount = sizeof kSounds / sizeof kSounds[0];

bool isVoicedStop(const Sound& s) {
    const std::string_view n = s.name;
    return n == "b" || n == "d" || n == "g";
}

// The consonants that make a cluster with a following tap: pr, br, tr, dr, kr, gr, fr, vr.
bool takesClusterTap(const Sound& s) {
    const std::string_view n = s.name;
    return n == "p" || n == "b" || n == "t" || n == "d" || n == "k" || n == "g" || n == "f" || n == "v";
}

// One carrier word spoken: its sound at the database's rate and where each phoneme starts.
struct Spoken {
    std::vector<double> samples;
    std::vector<size_t> starts;  // one per token of the carrier, then the end of the last
};

double rmsAt(const std::vector<double>& s, size_t from, size_t length) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < from + length && i < s.size(); ++i, ++n) sum += s[i] * s[i];
    return n ? std::sqrt(sum / n) : 0;
}

// Speaks the tokens, `mark` written before the token `markAt` (a stress, which keeps espeak-ng
// from making one phoneme of two: t s as ts); false when espeak-ng did not say exactly them.
bool speakCarrier(const std::vector<std::string>& tokens, size_t markAt, const char* mark, int rate,
                  Spoken& out) {
    std::string text = "[[";
    for (size_t i = 0; i < tokens.size(); ++i) text += (i == markAt ? mark : "") + tokens[i];
    text += "]]";
    voicegen::CapturedSpeech speech = voicegen::speak(text, true);
    std::vector<size_t> events;
    size_t next = 0;
    for (voicegen::PhonemeMark mark : speech.phonemes) {
        // espeak-ng's ";" (a palatal release, after i and j before a vowel) stays with its phoneme.
        while (!mark.name.empty() && mark.name.back() == ';') mark.name.pop_back();
        if (mark.name.empty()) continue;
        if (mark.name[0] == '_') {
            if (next == tokens.size() && events.size() == tokens.size()) events.push_back(mark.sample);
            continue;
        }
        if (next >= tokens.size() || mark.name != tokens[next]) return false;
        events.push_back(mark.sample);
        ++next;
    }
    if (next != tokens.size()) return false;
    if (events.size() == tokens.size()) events.push_back(speech.samples.size());
    out.samples = voicegen::resample(speech.samples, 0, speech.samples.size(), rate, kDatabaseRate);
    const double scale = static_cast<double>(kDatabaseRate) / rate;
    out.starts.clear();
    for (size_t e : events)
        out.starts.push_back(std::min(out.samples.size(), static_cast<size_t>(std::llround(e * scale))));
    return true;
}

// Where a stop's closure starts: back from its burst while the sound stays quiet.
size_t closureStart(const std::vector<double>& s, size_t burst, size_t floor) {
    double peak = 1;
    for (double v : s) peak = std::max(peak, std::fabs(v));
    const double quiet = peak / 30;
    size_t at = burst;
    while (at >= floor + kHop && burst - at < kMaxClosure && rmsAt(s, at - kHop, kHop) < quiet) at -= kHop;
    return at;
}

// Where the sound of s[from, to) ends: back from `to` while it stays quiet.
size_t soundEnd(const std::vector<double>& s, size_t from, size_t to) {
    double peak = 1;
    for (double v : s) peak = std::max(peak, std::fabs(v));
    const double quiet = peak / 30;
    size_t at = to;
    while (at >= from + kHop && rmsAt(s, at - kHop, kHop) < quiet) at -= kHop;
    return at;
}

// Where the sound of s[from, to) starts: on from `from` while it stays quiet.
size_t soundStart(const std::vector<double>& s, size_t from, size_t to) {
    double peak = 1;
    for (double v : s) peak = std::max(peak, std::fabs(v));
    const double quiet = peak / 30;
    size_t at = from;
    while (at + kHop / 4 <= to && rmsAt(s, at, kHop / 4) < quiet) at += kHop / 4;
    return at;
}

// The sample where token i starts, a stop's closure included.
size_t startOf(const Spoken& sp, const std::vector<Kind>& kinds, size_t i) {
    if (kinds[i] != Kind::Stop) return sp.starts[i];
    return closureStart(sp.samples, sp.starts[i], i > 0 ? sp.starts[i - 1] : 0);
}

// The steady point of token i: the middle of its sound (of the closure for a stop).
size_t steadyPoint(const Spoken& sp, const std::vector<Kind>& kinds, size_t i) {
    if (kinds[i] == Kind::InitialStop) return soundStart(sp.samples, sp.starts[i], sp.starts[i + 1]);
    const size_t from = startOf(sp, kinds, i);
    const size_t to = kinds[i] == Kind::Stop ? sp.starts[i] : startOf(sp, kinds, i + 1);
    return from + (std::max(to, from) - from) / 2;
}

// Pitch marks of s[from, to), positions relative to `from`.
std::vector<PitchMark> pitchMarks(const std::vector<double>& s, size_t from, size_t to) {
    const size_t length = to - from;
    const size_t frames = length / kHop + 1;
    double peak = 1;
    for (size_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(s[i]));
    std::vector<size_t> period(frames, 0);  // 0: unvoiced
    for (size_t f = 0; f < frames; ++f) {
        const size_t centre = from + f * kHop;
        if (centre < kWindow / 2 || centre + kWindow / 2 + kMaxLag > s.size()) continue;
        const size_t a = centre - kWindow / 2;
        // Weak voicing is voicing too (a tap, a voice bar): marked unvoiced, it is laid on the
        // 5 ms grid instead of the periods asked for, and its dips between pulses become gaps.
        if (rmsAt(s, a, kWindow) < peak / 100) continue;
        double best = 0;
        size_t bestLag = 0;
        double e0 = 0;
        for (size_t i = 0; i < kWindow; ++i) e0 += s[a + i] * s[a + i];
        for (size_t lag = kMinLag; lag <= kMaxLag; ++lag) {
            double r = 0, e1 = 0;
            for (size_t i = 0; i < kWindow; ++i) {
                r += s[a + i] * s[a + i + lag];
                e1 += s[a + i + lag] * s[a + i + lag];
            }
            const double n = r / std::sqrt(std::max(1e-9, e0 * e1));
            if (n > best) best = n, bestLag = lag;
        }
        if (best > 0.5) period[f] = bestLag;
    }
    std::vector<PitchMark> marks;
    auto periodAt = [&](size_t pos) { return period[std::min(frames - 1, pos / kHop)]; };
    size_t pos = 0;
    while (pos < length) {
        const size_t T = periodAt(pos);
        if (T == 0) {
            if (marks.empty() || pos >= marks.back().position + kHop / 2)
                marks.push_back({static_cast<uint32_t>(pos), false});
            pos += kHop;
            continue;
        }
        // The largest peak where the period before predicts the next one (the first: within a
        // period of here).
        size_t lo = pos, hi = pos + T;
        if (!marks.empty() && marks.back().voiced) {
            const size_t predicted = marks.back().position + T;
            lo = predicted - T / 4;
            hi = predicted + T / 4;
        }
        hi = std::min(hi, length);
        if (lo >= hi) break;
        size_t best = lo;
        for (size_t i = lo; i < hi; ++i)
            if (s[from + i] > s[from + best]) best = i;
        if (!marks.empty() && best <= marks.back().position) best = marks.back().position + 1;
        if (best >= length) break;
        marks.push_back({static_cast<uint32_t>(best), true});
        pos = best + T - T / 4;
    }
    return marks;
}

// The diphone of the token `i` of a spoken carrier and the next; with `leftPause`, of the
// utterance's start and the token `i`; with `rightPause`, of the token `i` and the end.
Diphone cut(const Spoken& sp, const std::vector<Kind>& kinds, size_t i, bool leftPause, bool rightPause) {
    size_t begin = 0, boundary = 0, end = 0;
    if (leftPause) {
        begin = boundary = startOf(sp, kinds, i);
        end = steadyPoint(sp, kinds, i);
    } else if (rightPause) {
        // espeak-ng's pause starts after a final phoneme has faded out: the phoneme ends where
        // its sound does.
        begin = steadyPoint(sp, kinds, i);
        boundary = soundEnd(sp.samples, begin, sp.starts[i + 1]);
        end = std::min(sp.samples.size(), boundary + kTail);
    } else {
        begin = steadyPoint(sp, kinds, i);
        boundary = startOf(sp, kinds, i + 1);
        end = steadyPoint(sp, kinds, i + 1);
    }
    boundary = std::clamp(boundary, begin, end);
    const size_t from = begin > kMargin ? begin - kMargin : 0;
    const size_t to = std::min(sp.samples.size(), end + kMargin);
    Diphone d;
    d.begin = static_cast<uint32_t>(begin - from);
    d.boundary = static_cast<uint32_t>(boundary - from);
    d.end = static_cast<uint32_t>(end - from);
    d.samples.resize(to - from);
    for (size_t k = from; k < to; ++k) {
        double v = sp.samples[k];
        // Past a pause's boundary the sound fades out, so that what follows a final phoneme is
        // silence.
        if (rightPause && k > boundary) v *= std::max(0.0, 1.0 - static_cast<double>(k - boundary) / kTail);
        d.samples[k - from] = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
    }
    d.marks = pitchMarks(sp.samples, from, to);
    // A stop cut after a pause starts at its first mark in the sound: the synthesizer takes the
    // mark nearest each place, and one in the silence before would be stretched into a gap.
    if (!leftPause && kinds[i] == Kind::InitialStop)
        for (const PitchMark& m : d.marks)
            if (m.position >= d.begin) {
                if (m.position <= d.boundary) d.begin = m.position;
                break;
            }
    return d;
}

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    std::error_code ec;
    if (ok) std::filesystem::rename(temporary, path, ec);
    if (!ok || ec) {
        std::fprintf(stderr, "%s: cannot write %s\n", kTool, path.c_str());
        std::filesystem::remove(temporary, ec);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_brisa_voice OUT\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(out.parent_path(), ec);
    const int rate = voicegen::startEspeak(kTool, true);
    if (rate <= 0) return 1;
    // Monotone: the melody is the synthesizer's.
    voicegen::setPitchRange(0);
    voicegen::setRate(kRate);

    brisa::VoiceDatabase db;
    for (const Sound& s : kSounds) db.phonemes.push_back(s.name);
    for (const auto& [name, same] : kSameSound) db.phonemes.push_back(name);
    std::vector<std::string> missing;
    for (size_t x = 0; x < kSoundCount; ++x)
        for (size_t y = 0; y < kSoundCount; ++y) {
            const Sound& a = kSounds[x];
            const Sound& b = kSounds[y];
            const bool leftPause = a.kind == Kind::Pause, rightPause = b.kind == Kind::Pause;
            if (leftPause && rightPause) continue;
            std::vector<std::string> tokens;
            std::vector<Kind> kinds;
            auto add = [&](const char* t, Kind k) {
                tokens.emplace_back(t);
                kinds.push_back(k);
            };
            // A voiced stop before a sound of its own is cut as it starts a word: espeak-ng voices
            // it all through after a pause, while between vowels the voicing falls away between
            // pulses and leaves silences a word said alone does not have. (Before another stop it
            // has no sound of its own after a pause.)
            const bool initialStop = !rightPause && b.kind != Kind::Stop && isVoicedStop(a);
            if (!leftPause && !initialStop) {
                add("t", Kind::Stop);
                if (a.kind != Kind::Vowel) add("a", Kind::Vowel);
            }
            const size_t first = tokens.size();
            if (!leftPause) add(a.espeak, initialStop ? Kind::InitialStop : a.kind);
            // The tap after a stop, f or v is espeak-ng's tap of a cluster (its "R", as in its
            // "programa"), not the one between vowels, which is released into a silence first.
            if (!rightPause)
                add(b.kind != Kind::Pause && std::string_view(b.name) == "r" && takesClusterTap(a) ? "R"
                                                                                                   : b.espeak,
                    b.kind);
            if (!rightPause) {
                if (b.kind != Kind::Vowel) add("a", Kind::Vowel);
                add("t", Kind::Stop);
                add("a", Kind::Vowel);
            }
            Spoken spoken;
            const size_t second = leftPause ? first : first + 1;
            if (!speakCarrier(tokens, second, "", rate, spoken) &&
                (rightPause || leftPause || !speakCarrier(tokens, second, "'", rate, spoken))) {
                missing.push_back(std::string(a.name) + "-" + b.name);
                continue;
            }
            kinds.push_back(Kind::Pause);  // the end of the utterance
            Diphone d = cut(spoken, kinds, first, leftPause, rightPause);
            d.left = static_cast<uint16_t>(x);
            d.right = static_cast<uint16_t>(y);
            db.diphones.push_back(std::move(d));
        }
    voicegen::stopEspeak();
    // The names that sound as another get that one's diphones.
    for (size_t n = 0; n < sizeof kSameSound / sizeof kSameSound[0]; ++n) {
        const size_t made = db.diphones.size();
        const uint16_t alias = static_cast<uint16_t>(kSoundCount + n);
        uint16_t original = 0;
        while (db.phonemes[original] != kSameSound[n].second) ++original;
        for (size_t k = 0; k < made; ++k) {
            const Diphone d = db.diphones[k];  // a copy: the vector grows below
            if (d.left == original) {
                Diphone copy = d;
                copy.left = alias;
                db.diphones.push_back(copy);
            }
            if (d.right == original) {
                Diphone copy = d;
                copy.right = alias;
                db.diphones.push_back(copy);
            }
            if (d.left == original && d.right == original) {
                Diphone copy = d;
                copy.left = copy.right = alias;
                db.diphones.push_back(copy);
            }
        }
    }
    std::vector<uint8_t> bytes = brisa::serializeVoiceDatabase(db);
    if (!writeFile(out, bytes)) return 1;
    std::printf("%s: %zu phonemes, %zu diphones (%zu pairs not said as asked:", kTool, db.phonemes.size(),
                db.diphones.size(), missing.size());
    for (const std::string& m : missing) std::printf(" %s", m.c_str());
    std::printf("), %zu bytes in %s\n", bytes.size(), argv[1]);
    return 0;
}
