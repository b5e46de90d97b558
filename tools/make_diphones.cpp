// Writes the built-in voice's diphone database, DIFONES2.IND and DIFONES2.DIF, into a folder from
// the unit inventory (data/difones/unidades.txt). Every unit is spoken by espeak-ng's Brazilian
// Portuguese voice from its phonemes inside a carrier word: a vowel before it (the same vowel
// when the unit starts with one, so that it starts in that vowel's steady part) and "ta" after
// it, stressed. The phoneme events give where the unit starts and where the next phoneme starts;
// the unit is cut there, each cut moved to the nearest zero crossing, so that units join as the
// carrier's phonemes do: a consonant with no silence before it unless espeak-ng puts one there
// (a stop's closure), a vowel at full strength to its end. Consonants said alone are cut from
// their place in a cluster (p before r) or a coda (s before t). Units are levelled and made
// 8-bit unsigned mono at 11025 Hz. The same inventory gives the same bytes on every run.
//
//   make_diphones INVENTORY FOLDER
//   make_diphones --join FOLDER OUT.wav NAME...   (the named units of a database, one after another)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "espeak_capture.h"
#include "tts/tones.h"

namespace {

namespace fs = std::filesystem;
namespace voicegen = parlendo::voicegen;
using parlendo::kVoiceRate;

constexpr const char* kTool = "make_diphones";
constexpr size_t kMaxName = 8;
constexpr size_t kRecordSize = 15;
constexpr double kTargetLoudness = 30;    // RMS of a unit's loudest 40 ms, in 8-bit steps
constexpr double kMaxPeak = 124;          // keeps levelled units clear of clipping
constexpr int kCrossingMs = 3;            // how far a cut moves to meet a zero crossing
constexpr int kFadeOutMs = 2;             // the fade at a unit's end
constexpr int kClosureMs = 100;           // the longest closure taken before a stop
constexpr size_t kFrame = 132;            // 12 ms at the voice rate: more than a pitch period
constexpr double kSteadyPart = 0.45;      // of a unit's loudness: where its vowel is steady
constexpr double kSteadyStart = 0.7;      // the same where a unit starts in a vowel, which its
                                          // carrier brings up from the start of speech
constexpr int kAloneMaxMs = 70;           // a consonant alone is short
constexpr int kRate = 175;                // words per minute: espeak-ng's usual
constexpr double kVoicePitch = 89;        // Hz: the units' monotone pitch
constexpr double kVoiceBarLevel = 3;      // 8-bit steps (RMS over 5 ms): below it a closure is silent
constexpr double kVoiceBarAmplitude = 4;  // 8-bit steps: the voice bar's peak, 20 dB below a vowel

// What the inventory's lines describe.
struct Entry {
    std::string letters;
    std::string phonemes;
    std::vector<std::string> only;  // onsets: the nuclei it combines with (empty: all)
};

struct Inventory {
    std::vector<Entry> nuclei, glides, onsets, diphthongs, alone, units;
};

// A unit to speak: its name in the database, the phonemes and whether it has a vowel.
struct Unit {
    std::string phonemes;
    bool consonantOnly = false;
};

bool isMark(char c) { return c == '^' || c == '~'; }

// The database name of a unit as the synthesiser looks it up: "$" + the letters upper-cased,
// a final "^" as CIRC and "~" as TIL. A mark anywhere else would make two names.
// A unit may also be given by its name itself ("$PR"), as the coverage report prints it.
std::optional<std::string> unitName(std::string_view letters, std::string& error) {
    if (!letters.empty() && letters[0] == '$') {
        bool upper =
            std::all_of(letters.begin() + 1, letters.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        if (letters.size() < 2 || letters.size() > kMaxName || !upper) {
            error = "the name " + std::string(letters) + " is not \"$\" and 1 to 7 letters A-Z";
            return std::nullopt;
        }
        return std::string(letters);
    }
    std::string name = "$";
    for (size_t i = 0; i < letters.size(); ++i) {
        char c = letters[i];
        if (isMark(c)) {
            if (i + 1 != letters.size() || i == 0) {
                error = "a mark (^ or ~) must end the unit \"" + std::string(letters) + "\"";
                return std::nullopt;
            }
            name += c == '^' ? "CIRC" : "TIL";
        } else if (c >= 'a' && c <= 'z') {
            name += static_cast<char>(c - 'a' + 'A');
        } else {
            error = "the unit \"" + std::string(letters) + "\" has a character other than a-z, ^ and ~";
            return std::nullopt;
        }
    }
    if (name.size() == 1) {
        error = "empty unit";
        return std::nullopt;
    }
    if (name.size() > kMaxName) {
        error = "the name " + name + " of the unit \"" + std::string(letters) + "\" is longer than " +
                std::to_string(kMaxName) + " characters";
        return std::nullopt;
    }
    return name;
}

std::optional<Inventory> readInventory(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", kTool, path.c_str());
        return std::nullopt;
    }
    Inventory inv;
    std::string line;
    int number = 0;
    bool ok = true;
    while (std::getline(in, line)) {
        ++number;
        // A comment starts with "#" at the start of the line or after a blank.
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
                line.resize(i);
                break;
            }
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword)) continue;
        Entry e;
        std::string phonemes;
        words >> e.letters >> phonemes;
        auto fail = [&](const std::string& why) {
            std::fprintf(stderr, "%s: %s line %d: %s\n", kTool, path.c_str(), number, why.c_str());
            ok = false;
        };
        if (e.letters.empty() || phonemes.empty()) {
            fail("expected: " + keyword + " LETTERS PHONEMES");
            continue;
        }
        e.phonemes = phonemes;
        if (line.find_first_of("_[]") != std::string::npos) {
            fail("phonemes may not hold a pause (_) or brackets");
            continue;
        }
        std::string more;
        if (keyword == "onset") {
            if (words >> more) {
                if (more != "only") {
                    fail("expected \"only\" and nuclei after the phonemes, found \"" + more + "\"");
                    continue;
                }
                while (words >> more) e.only.push_back(more);
            }
            inv.onsets.push_back(e);
        } else if (keyword == "unit") {
            while (words >> more) e.phonemes += " " + more;
            inv.units.push_back(e);
        } else {
            if (words >> more) {
                fail("unexpected \"" + more + "\" after the phonemes");
                continue;
            }
            if (keyword == "nucleus") {
                inv.nuclei.push_back(e);
            } else if (keyword == "glide") {
                inv.glides.push_back(e);
            } else if (keyword == "diphthong") {
                inv.diphthongs.push_back(e);
            } else if (keyword == "alone") {
                inv.alone.push_back(e);
            } else {
                fail("unknown entry \"" + keyword + "\"");
            }
        }
    }
    if (!ok) return std::nullopt;
    return inv;
}

// Every unit of the inventory by database name, or nothing after messages.
std::optional<std::map<std::string, Unit>> unitsOf(const Inventory& inv, const std::string& path) {
    std::map<std::string, Unit> units;
    bool ok = true;
    auto add = [&](const std::string& letters, const std::string& phonemes, bool replace) {
        std::string error;
        std::optional<std::string> name = unitName(letters, error);
        if (!name) {
            std::fprintf(stderr, "%s: %s: %s\n", kTool, path.c_str(), error.c_str());
            ok = false;
            return;
        }
        // Letters of the name's mark (CIRC, TIL) are not the unit's vowels.
        std::string_view plain = *name;
        for (std::string_view mark : {"CIRC", "TIL"})
            if (plain.size() > mark.size() && plain.substr(plain.size() - mark.size()) == mark)
                plain.remove_suffix(mark.size());
        bool consonantOnly = plain.find_first_of("AEIOU") == std::string_view::npos;
        auto [it, inserted] = units.try_emplace(*name, Unit{phonemes, consonantOnly});
        if (!inserted && replace) it->second = Unit{phonemes, consonantOnly};
    };
    for (const Entry& nucleus : inv.nuclei) add(nucleus.letters, "'" + nucleus.phonemes, false);
    for (const Entry& onset : inv.onsets)
        for (const Entry& nucleus : inv.nuclei)
            if (onset.only.empty() ||
                std::find(onset.only.begin(), onset.only.end(), nucleus.letters) != onset.only.end())
                add(onset.letters + nucleus.letters, onset.phonemes + "'" + nucleus.phonemes, false);
    // Nucleus + glide: named vowel, glide, mark, as the synthesiser emits them.
    for (const Entry& nucleus : inv.nuclei)
        for (const Entry& glide : inv.glides) {
            std::string written = nucleus.letters + glide.letters;  // as the rules write it
            std::string phonemes = nucleus.phonemes + glide.phonemes;
            for (const Entry& d : inv.diphthongs)
                if (d.letters == written) phonemes = d.phonemes;
            std::string named = written;
            if (nucleus.letters.size() == 2)
                named = {nucleus.letters[0], glide.letters[0], nucleus.letters[1]};
            add(named, "'" + phonemes, false);
        }
    for (const Entry& d : inv.diphthongs) {
        bool known = false;
        for (const Entry& nucleus : inv.nuclei)
            for (const Entry& glide : inv.glides)
                known = known || d.letters == nucleus.letters + glide.letters;
        if (!known) {
            std::fprintf(stderr, "%s: %s: the diphthong \"%s\" is no nucleus followed by a glide\n", kTool,
                         path.c_str(), d.letters.c_str());
            ok = false;
        }
    }
    for (const Entry& onset : inv.onsets) add(onset.letters, onset.phonemes, false);
    for (const Entry& a : inv.alone) add(a.letters, a.phonemes, true);
    std::map<std::string, int> explicitNames;
    for (const Entry& u : inv.units) {
        std::string error;
        if (std::optional<std::string> name = unitName(u.letters, error);
            name && ++explicitNames[*name] > 1) {
            std::fprintf(stderr, "%s: %s: the unit \"%s\" is listed twice\n", kTool, path.c_str(),
                         u.letters.c_str());
            ok = false;
        }
        add(u.letters, u.phonemes, true);
    }
    if (!ok) return std::nullopt;
    return units;
}

// The phoneme names of a phoneme string without stress and syllable marks (and espeak-ng's ";"
// of a palatal variant), for comparing what was asked for with what espeak-ng said.
std::string plainPhonemes(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != '\'' && c != ',' && c != ' ' && c != ':' && c != ';') out += c;
    return out;
}

double loudnessOf(const std::vector<double>& sound);

// Where a unit is said: the phonemes before it and after it in its carrier word.
struct Carrier {
    std::string before, after;
};

bool isVowelPhoneme(char c) { return std::strchr("aeiouEO&@", c) != nullptr && c != '\0'; }

// Consonants said alone mostly start a cluster (p of "pro") and are cut from one; fricatives
// mostly close a syllable (s of "esta") and are cut from a coda; the others (l, m, n, the taps)
// keep the strength they have before a vowel, which espeak-ng takes from them in a coda.
bool startsCluster(std::string_view plain) {
    return plain.size() == 1 && std::strchr("pbtdkgfv", plain[0]) != nullptr;
}
bool closesSyllable(std::string_view plain) {
    return plain == "s" || plain == "z" || plain == "S" || plain == "Z" || plain == "x" || plain == "ks";
}

Carrier carrierOf(const Unit& unit) {
    const std::string plain = plainPhonemes(unit.phonemes);
    if (!plain.empty() && isVowelPhoneme(plain[0])) {
        // The same vowel before it: the unit starts inside a steady vowel and joins one.
        std::string vowel(1, plain[0]);
        if (plain.size() > 1 && plain[1] == '~') vowel += '~';
        return {vowel, "ta"};
    }
    if (unit.consonantOnly) {
        if (startsCluster(plain)) return {"'a", "*a"};
        return closesSyllable(plain) ? Carrier{"'a", "ta"} : Carrier{"'a", "a"};
    }
    return {"a", "ta"};
}

// The index of the sample nearest to `at` (within `reach`) where the wave crosses zero upwards.
size_t zeroCrossingNear(const std::vector<double>& s, size_t at, size_t reach) {
    size_t best = at;
    size_t bestDistance = reach + 1;
    const size_t from = at > reach ? at - reach : 1;
    for (size_t i = std::max<size_t>(from, 1); i < s.size() && i <= at + reach; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            size_t d = i > at ? i - at : at - i;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
    }
    return std::min(best, s.size());
}

// The sample in [from, to) around which 2 ms of the wave are quietest.
size_t quietestNear(const std::vector<double>& s, size_t from, size_t to) {
    const size_t half = kVoiceRate / 1000;
    to = std::min(to, s.size() > half ? s.size() - half : 0);
    size_t best = from;
    double bestEnergy = -1;
    for (size_t i = std::max(from, half); i < to; ++i) {
        double energy = 0;
        for (size_t k = i - half; k < i + half; ++k) energy += s[k] * s[k];
        if (bestEnergy < 0 || energy < bestEnergy) {
            bestEnergy = energy;
            best = i;
        }
    }
    return best;
}

// A unit's sound at the voice rate, before levelling, and the fade its end is to be given once
// levelled; empty (after a message) when espeak-ng made no sound of it or did not say the
// phonemes asked for.
struct Spoken {
    std::vector<double> sound;
    size_t fadeOut = 0;
};

Spoken speakUnit(const std::string& name, const Unit& unit, int rate) {
    const Carrier carrier = carrierOf(unit);
    const std::string text = "[[" + carrier.before + unit.phonemes + carrier.after + "]]";
    voicegen::CapturedSpeech speech = voicegen::speak(text, true);
    const std::vector<short>& in = speech.samples;
    // The unit starts at the event of its first phoneme and ends at that of the carrier's next
    // one; the events are found by the phonemes said so far.
    const std::string lead = plainPhonemes(carrier.before);
    const std::string through = lead + plainPhonemes(unit.phonemes);
    std::string said;
    std::optional<size_t> start, end;
    for (const voicegen::PhonemeMark& mark : speech.phonemes) {
        if (mark.name.empty() || mark.name[0] == '_') continue;
        if (!start && said == lead) start = mark.sample;
        if (!end && said == through) end = mark.sample;
        said += plainPhonemes(mark.name);
    }
    // A mistyped mnemonic is skipped by espeak-ng without a word: the unit would sound wrong.
    if (!start || !end || *end <= *start || said != through + plainPhonemes(carrier.after)) {
        std::fprintf(stderr, "%s: %s: asked for [[%s]] in %s, espeak-ng said [[%s]]\n", kTool, name.c_str(),
                     unit.phonemes.c_str(), text.c_str(), said.c_str());
        return {};
    }
    // Resampled with room either side: before it for a stop's closure (espeak-ng marks a stop at
    // its burst, after the silence of its closure), and for the filter's neighbours.
    const size_t before = static_cast<size_t>(rate * kClosureMs / 1000);
    const size_t lo = *start > before ? *start - before : 0;
    const size_t hi = std::min(in.size(), *end + static_cast<size_t>(rate / 100));
    std::vector<double> wide = voicegen::resampleToVoiceRate(in, lo, hi, rate);
    const double step = static_cast<double>(rate) / kVoiceRate;
    size_t first = std::min(wide.size(), static_cast<size_t>((*start - lo) / step));
    size_t last = std::min(wide.size(), static_cast<size_t>((*end - lo) / step));
    if (last <= first + kFrame * 2) {
        std::fprintf(stderr, "%s: no sound for %s [[%s]]\n", kTool, name.c_str(), unit.phonemes.c_str());
        return {};
    }
    const double peak =
        *std::max_element(wide.begin() + static_cast<long>(first), wide.begin() + static_cast<long>(last),
                          [](double a, double b) { return std::fabs(a) < std::fabs(b); });
    auto frameRms = [&](size_t from) {
        double sum = 0;
        for (size_t i = from; i < from + kFrame && i < wide.size(); ++i) sum += wide[i] * wide[i];
        return std::sqrt(sum / kFrame);
    };
    // A silence before the phoneme is its closure: it stays with it, as in the carrier.
    const double silent = std::fabs(peak) / 40;
    while (first >= kFrame && frameRms(first - kFrame) < silent) first -= kFrame;
    // A vowel is cut inside its steady part: espeak-ng brings a vowel up at its start and down
    // before the next phoneme (and a stop's closure after it is silence), which would be a dip
    // or a gap at every join.
    const std::string plain = plainPhonemes(unit.phonemes);
    std::vector<double> body(wide.begin() + static_cast<long>(first), wide.begin() + static_cast<long>(last));
    const double steady = kSteadyPart * loudnessOf(body);
    const double steadyStart = kSteadyStart * loudnessOf(body);
    // The cut then goes to the quietest point of the pitch period there, where one glottal pulse
    // has died away and the next is about to start: a unit ending there and one starting there
    // join with the period of the voice, where a cut anywhere else would leave a period without
    // its pulse (a 10 ms dip of 15 dB) or a pulse twice.
    const size_t period = static_cast<size_t>(std::lround(kVoiceRate / kVoicePitch));
    if (isVowelPhoneme(plain.front())) {
        const size_t limit = first + (last - first) / 2;
        while (first < limit && frameRms(first) < steadyStart) first += kFrame / 4;
        first = quietestNear(wide, first, first + period);
    }
    if (isVowelPhoneme(plain.back()) || std::strchr("~jwIU", plain.back())) {
        const size_t limit = first + (last - first) / 2;
        while (last > limit + kFrame && frameRms(last - kFrame) < steady) last -= kFrame / 4;
        if (last > first + 2 * period) last = quietestNear(wide, last - period, last);
    }
    const size_t reach = kVoiceRate * kCrossingMs / 1000;
    first = zeroCrossingNear(wide, first, reach);
    last = zeroCrossingNear(wide, last, reach);
    if (last <= first) {
        std::fprintf(stderr, "%s: no sound for %s [[%s]]\n", kTool, name.c_str(), unit.phonemes.c_str());
        return {};
    }
    std::vector<double> sound(wide.begin() + static_cast<long>(first),
                              wide.begin() + static_cast<long>(last));
    size_t fadeOut = std::min(sound.size(), static_cast<size_t>(kVoiceRate * kFadeOutMs / 1000));
    if (unit.consonantOnly && sound.size() > static_cast<size_t>(kVoiceRate * kAloneMaxMs / 1000)) {
        sound.resize(kVoiceRate * kAloneMaxMs / 1000);
        fadeOut = kVoiceRate * 15 / 1000;
    }
    return {std::move(sound), fadeOut};
}

// The end of a unit may end a word: a short fade keeps it free of a click.
void fadeEnd(std::vector<double>& sound, size_t fadeOut) {
    fadeOut = std::min(fadeOut, sound.size());
    for (size_t i = 0; i < fadeOut; ++i) sound[sound.size() - 1 - i] *= static_cast<double>(i) / fadeOut;
}

// Whether a unit starts with a voiced consonant whose closure or tap holds the voice through it
// (b, d, g, the tap, dj, v, z, j, gw): one that espeak-ng renders with weak glottal pulses only.
bool startsVoicedClosure(std::string_view plain) {
    return !plain.empty() && std::strchr("bdg*vzZ", plain[0]) != nullptr;
}

// The voice bar of a voiced closure: a real voiced stop or tap keeps a low murmur at the pitch of
// the voice through its closure, which espeak-ng gives as pulses a step or two high with whole
// 8-bit zeros between them, heard (and measured) as a gap inside the word. Where the levelled
// sound's 5 ms level falls below kVoiceBarLevel, a sine at the units' pitch is mixed in, the
// more the weaker the sound, its weight smoothed over 5 ms so that it comes and goes without a
// step; where the sound is louder it is left as it is.
void addVoiceBar(std::vector<double>& sound) {
    const size_t n = sound.size();
    const size_t half = kVoiceRate * 5 / 1000 / 2;
    std::vector<double> prefix(n + 1, 0);
    for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + sound[i] * sound[i];
    auto windowOf = [&](const std::vector<double>& sums, size_t i) {
        const size_t from = i > half ? i - half : 0, to = std::min(n, i + half + 1);
        return (sums[to] - sums[from]) / static_cast<double>(to - from);
    };
    std::vector<double> weight(n + 1, 0);
    for (size_t i = 0; i < n; ++i) {
        const double level = std::sqrt(windowOf(prefix, i));
        weight[i + 1] = weight[i] + std::clamp(1 - level / kVoiceBarLevel, 0.0, 1.0);
    }
    for (size_t i = 0; i < n; ++i)
        sound[i] += windowOf(weight, i) * kVoiceBarAmplitude *
                    std::sin(2 * std::numbers::pi * kVoicePitch * static_cast<double>(i) / kVoiceRate);
}

// The RMS of the loudest 40 ms of a sound: how loud its vowel is heard.
double loudnessOf(const std::vector<double>& sound) {
    const size_t window = std::min(sound.size(), static_cast<size_t>(kVoiceRate * 40 / 1000));
    if (window == 0) return 0;
    double sum = 0;
    for (size_t i = 0; i < window; ++i) sum += sound[i] * sound[i];
    double best = sum;
    for (size_t i = window; i < sound.size(); ++i) {
        sum += sound[i] * sound[i] - sound[i - window] * sound[i - window];
        best = std::max(best, sum);
    }
    return std::sqrt(std::max(0.0, best) / window);
}

bool writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::path temporary = path;
    temporary += ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) ok = false;
    std::error_code ec;
    if (ok) fs::rename(temporary, path, ec);
    if (!ok || ec) {
        std::fprintf(stderr, "%s: cannot write %s\n", kTool, path.c_str());
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The named units of a database one after another in a WAV file, for listening to joins.
int join(const fs::path& folder, const std::string& out, int count, char** names) {
    std::vector<uint8_t> index = readFile(folder / "DIFONES2.IND");
    std::vector<uint8_t> samples = readFile(folder / "DIFONES2.DIF");
    std::vector<uint8_t> pcm;
    for (int n = 0; n < count; ++n) {
        bool found = false;
        for (size_t r = 0; r + kRecordSize <= index.size(); r += kRecordSize) {
            const uint8_t* rec = &index[r];
            size_t length = std::min<size_t>(rec[0], kMaxName);
            if (std::string(reinterpret_cast<const char*>(rec + 1), length) != names[n]) continue;
            size_t samplesCount = rec[9] | rec[10] << 8;
            size_t offset = rec[11] | rec[12] << 8 | rec[13] << 16 | static_cast<size_t>(rec[14]) << 24;
            if (offset + samplesCount > samples.size()) break;
            pcm.insert(pcm.end(), samples.begin() + offset, samples.begin() + offset + samplesCount);
            found = true;
        }
        if (!found) {
            std::fprintf(stderr, "%s: no unit %s in %s\n", kTool, names[n], folder.c_str());
            return 1;
        }
    }
    return voicegen::writeWav(out, pcm, kTool) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string_view(argv[1]) == "--join") return join(argv[2], argv[3], argc - 4, argv + 4);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: make_diphones INVENTORY FOLDER\n"
                     "       make_diphones --join FOLDER OUT.wav NAME...\n");
        return 2;
    }
    std::optional<Inventory> inventory = readInventory(argv[1]);
    if (!inventory) return 1;
    std::optional<std::map<std::string, Unit>> units = unitsOf(*inventory, argv[1]);
    if (!units) return 1;
    fs::path folder = argv[2];
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) {
        std::fprintf(stderr, "%s: cannot make %s\n", kTool, argv[2]);
        return 1;
    }
    int rate = voicegen::startEspeak(kTool, true);
    if (rate <= 0) return 1;
    // Monotone: units said at one pitch join without jumps of melody; the melody of a phrase and
    // the pitch of its stresses are the synthesiser's. At the usual rate, inside a word, a
    // stressed syllable has the length it has in running speech.
    voicegen::setPitchRange(0);
    voicegen::setRate(kRate);

    std::vector<std::pair<std::string, Spoken>> sounds;
    std::vector<double> gains;
    int failures = 0;
    for (const auto& [name, unit] : *units) {
        Spoken spoken = speakUnit(name, unit, rate);
        if (spoken.sound.empty()) {
            ++failures;
            continue;
        }
        if (!unit.consonantOnly) gains.push_back(kTargetLoudness / std::max(1.0, loudnessOf(spoken.sound)));
        sounds.emplace_back(name, std::move(spoken));
    }
    voicegen::stopEspeak();
    if (failures > 0 || gains.empty()) return 1;
    // Units with a vowel are brought to one loudness; consonants alone, cut from the same kind of
    // carrier, keep their natural level beside the vowels, taking the middle gain of the others.
    std::vector<double> sorted = gains;
    std::sort(sorted.begin(), sorted.end());
    const double consonantGain = sorted[sorted.size() / 2];

    std::vector<uint8_t> index;
    std::vector<uint8_t> data;
    size_t nextGain = 0;
    int limited = 0;
    for (auto& [name, spoken] : sounds) {
        const Unit& unit = (*units)[name];
        double gain = unit.consonantOnly ? consonantGain : gains[nextGain++];
        std::vector<double>& sound = spoken.sound;
        double peak = voicegen::peakOf(sound);
        if (peak * gain > kMaxPeak) {
            gain = kMaxPeak / peak;
            ++limited;
        }
        // The voice bar is mixed in at the levelled sound's own 8-bit steps.
        for (double& x : sound) x *= gain;
        if (startsVoicedClosure(plainPhonemes(unit.phonemes))) addVoiceBar(sound);
        fadeEnd(sound, spoken.fadeOut);
        std::vector<uint8_t> pcm = voicegen::toUnsigned8(sound, 1.0);
        if (pcm.size() > 0xFFFF) {
            std::fprintf(stderr, "%s: %s is longer than 65535 samples\n", kTool, name.c_str());
            return 1;
        }
        const uint32_t offset = static_cast<uint32_t>(data.size());
        const uint16_t count = static_cast<uint16_t>(pcm.size());
        uint8_t record[kRecordSize] = {};
        record[0] = static_cast<uint8_t>(name.size());
        std::copy(name.begin(), name.end(), record + 1);
        record[9] = count & 0xFF;
        record[10] = count >> 8;
        for (int b = 0; b < 4; ++b) record[11 + b] = offset >> (8 * b) & 0xFF;
        index.insert(index.end(), record, record + kRecordSize);
        data.insert(data.end(), pcm.begin(), pcm.end());
    }
    // The samples first: a database whose index is written names only samples that exist.
    if (!writeFile(folder / "DIFONES2.DIF", data) || !writeFile(folder / "DIFONES2.IND", index)) return 1;
    std::printf("%s: %zu units, %zu samples (%.1f s) in %s; %d kept below full loudness to avoid clipping\n",
                kTool, sounds.size(), data.size(), static_cast<double>(data.size()) / kVoiceRate, argv[2],
                limited);
    return 0;
}
