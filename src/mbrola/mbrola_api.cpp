// The library's entry points: one synthesizer session per process, behind the C calls.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mbrola/mbrola.h"
#include "mbrola/pho_line.h"
#include "mbrola/psola.h"
#include "mbrola/voice_database.h"

#define BRISA_EXPORT __attribute__((visibility("default")))

namespace brisa {
namespace {

constexpr const char* kVersion = "brisa-mbrola 1.0 (pt-BR diphones, 16000 Hz)";

struct Session {
    std::optional<VoiceDatabase> database;
    std::unique_ptr<Synthesizer> synthesizer;
    std::string path;
    std::string partialLine;
    int lastError = 0;
    std::string lastErrorText;
    int noError = 0;
    int rate = kDatabaseRate;
    float volume = 1.0F;
    double phase = 0;  // of the resampler, in database samples past the first waiting one
    void* parser = nullptr;
};

Session& session() {
    static Session s;
    return s;
}

int fail(int code, std::string text) {
    Session& s = session();
    s.lastError = code;
    s.lastErrorText = std::move(text);
    return code;
}

int copyText(const std::string& text, char* buffer, int capacity) {
    if (!buffer || capacity <= 0) return fail(kBrisaErrorArgument, "no buffer for the text");
    const size_t n = std::min(text.size(), static_cast<size_t>(capacity - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

// Runs an entry point's body: no exception leaves the library.
template <typename Body>
int guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return fail(kBrisaErrorMemory, "out of memory");
    } catch (...) {
        return fail(kBrisaErrorMemory, "internal failure");
    }
}

int takeLine(std::string_view text) {
    Session& s = session();
    std::optional<PhonemeLine> line = parsePhonemeLine(text);
    if (!line) return fail(kBrisaErrorLine, "malformed phoneme line: " + std::string(text.substr(0, 80)));
    if (line->kind == PhonemeLine::Kind::Flush) s.synthesizer->flush();
    if (line->kind != PhonemeLine::Kind::Phoneme) return 0;
    const int number = s.synthesizer->phonemeNumber(line->name);
    if (number < 0 && s.noError == 0) return fail(kBrisaErrorUnknownPhoneme, "unknown phoneme " + line->name);
    s.synthesizer->addPhoneme(number, line->durationMs, line->pitch);
    return 0;
}

int openDatabase(const char* path) {
    Session& s = session();
    s.synthesizer.reset();
    s.database.reset();
    s.partialLine.clear();
    s.phase = 0;
    if (!path) return fail(kBrisaErrorArgument, "no database path");
    std::string error;
    s.database = readVoiceDatabase(path, error);
    if (!s.database) return fail(kBrisaErrorDatabase, "database " + std::string(path) + ": " + error);
    s.synthesizer = std::make_unique<Synthesizer>(*s.database);
    s.path = path;
    s.lastError = 0;
    s.lastErrorText.clear();
    return 0;
}

// The names of a rename or clone text in pairs; false when one is left alone.
bool namePairs(const char* text, std::vector<std::pair<std::string, std::string>>& pairs) {
    if (!text) return true;
    std::istringstream words(text);
    std::string a, b;
    while (words >> a) {
        if (!(words >> b)) return false;
        pairs.emplace_back(a, b);
    }
    return true;
}

uint8_t toUlaw(int sample) {
    const int bias = 0x84;
    int sign = sample < 0 ? 0x80 : 0;
    int magnitude = std::min(sample < 0 ? -sample : sample, 32635) + bias;
    int exponent = 7;
    for (int mask = 0x4000; (magnitude & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
    int mantissa = magnitude >> (exponent + 3) & 0x0F;
    return static_cast<uint8_t>(~(sign | exponent << 4 | mantissa));
}

uint8_t toAlaw(int sample) {
    int sign = sample >= 0 ? 0x80 : 0;
    int magnitude = std::min(sample < 0 ? -sample - 1 : sample, 32767) >> 3;
    int code = 0;
    if (magnitude < 32) {
        code = magnitude >> 1;
    } else {
        int exponent = 1;
        while (magnitude >= 64 && exponent < 7) magnitude >>= 1, ++exponent;
        code = exponent << 4 | (magnitude >> 1 & 0x0F);
    }
    return static_cast<uint8_t>((sign | code) ^ 0x55);
}

// The next output samples at the session's rate and gain, as 16-bit values.
int nextSamples(int16_t* out, int capacity) {
    Session& s = session();
    brisa::Synthesizer& synth = *s.synthesizer;
    std::span<const float> ready = synth.ready();
    const float gain = 32768.0F * s.volume;
    auto scaled = [gain](float v) {
        const float x = std::clamp(v * gain, -32768.0F, 32767.0F);
        // Rounded half away from zero, without a branch (the loop below stays vectorised).
        return static_cast<int16_t>(x + std::copysign(0.5F, x));
    };
    int n = 0;
    if (s.rate == kDatabaseRate) {
        n = static_cast<int>(std::min(ready.size(), static_cast<size_t>(capacity)));
        for (int i = 0; i < n; ++i) out[i] = scaled(ready[static_cast<size_t>(i)]);
        synth.consume(static_cast<size_t>(n));
        return n;
    }
    const double step = static_cast<double>(kDatabaseRate) / s.rate;
    while (n < capacity) {
        const size_t i = static_cast<size_t>(s.phase);
        if (i + 1 >= ready.size()) break;
        const double f = s.phase - static_cast<double>(i);
        out[n++] = scaled(static_cast<float>(ready[i] * (1 - f) + ready[i + 1] * f));
        s.phase += step;
    }
    const size_t used = std::min(static_cast<size_t>(s.phase), ready.size());
    synth.consume(used);
    s.phase -= static_cast<double>(used);
    return n;
}

struct Phone {
    std::string name;
    float durationMs = 0;
    std::vector<PitchPoint> pitch;
};

}  // namespace
}  // namespace brisa

using brisa::fail;
using brisa::guarded;
using brisa::session;

extern "C" {

BRISA_EXPORT int init_MBR(const char* databasePath) {
    return guarded([&] { return brisa::openDatabase(databasePath); });
}

BRISA_EXPORT int init_rename_MBR(const char* databasePath, const char* rename, const char* clone) {
    return guarded([&] {
        std::vector<std::pair<std::string, std::string>> renames, clones;
        if (!brisa::namePairs(rename, renames) || !brisa::namePairs(clone, clones))
            return fail(kBrisaErrorArgument, "a rename or clone name without its pair");
        int rc = brisa::openDatabase(databasePath);
        if (rc < 0) return rc;
        brisa::Synthesizer& synth = *session().synthesizer;
        bool ok = true;
        // Renames see the database's own names, so that "a b b a" swaps two phonemes.
        std::vector<int> numbers;
        for (const auto& [from, to] : renames) {
            numbers.push_back(synth.phonemeNumber(from));
            ok = ok && numbers.back() >= 0;
        }
        for (const auto& [from, to] : renames) synth.removeName(from);
        for (size_t i = 0; i < renames.size(); ++i)
            if (numbers[i] >= 0) synth.setName(renames[i].second, numbers[i]);
        for (const auto& [from, to] : clones) {
            const int number = synth.phonemeNumber(from);
            ok = ok && number >= 0;
            if (number >= 0) synth.setName(to, number);
        }
        if (!ok) {
            close_MBR();
            return fail(kBrisaErrorArgument, "a rename or clone names a phoneme the database lacks");
        }
        return 0;
    });
}

BRISA_EXPORT int write_MBR(const char* lines) {
    return guarded([&] {
        brisa::Session& s = session();
        if (!s.synthesizer) return fail(kBrisaErrorNoDatabase, "no database open");
        if (!lines) return fail(kBrisaErrorArgument, "no text to write");
        std::string_view text(lines);
        int result = 0;
        for (;;) {
            size_t feed = text.find('\n');
            if (feed == std::string_view::npos) {
                if (s.partialLine.size() + text.size() > brisa::kMaxLineLength) {
                    s.partialLine.clear();
                    return fail(kBrisaErrorLine, "phoneme line too long");
                }
                s.partialLine += text;
                return result;
            }
            std::string line = s.partialLine + std::string(text.substr(0, feed));
            s.partialLine.clear();
            text.remove_prefix(feed + 1);
            int rc = brisa::takeLine(line);
            if (rc < 0 && result == 0) result = rc;
            if (rc < 0) return result;
        }
    });
}

BRISA_EXPORT int flush_MBR(void) {
    return guarded([&] {
        brisa::Session& s = session();
        if (!s.synthesizer) return fail(kBrisaErrorNoDatabase, "no database open");
        int rc = 0;
        if (!s.partialLine.empty()) {
            std::string line;
            line.swap(s.partialLine);
            rc = brisa::takeLine(line);
        }
        s.synthesizer->flush();
        return rc;
    });
}

BRISA_EXPORT int read_MBR(short* buffer, int capacity) { return readtype_MBR(buffer, capacity, kBrisaLin16); }

BRISA_EXPORT int readtype_MBR(void* buffer, int capacity, int type) {
    return guarded([&] {
        brisa::Session& s = session();
        if (!s.synthesizer) return fail(kBrisaErrorNoDatabase, "no database open");
        if (!buffer || capacity < 0 || type < kBrisaLin16 || type > kBrisaAlaw)
            return fail(kBrisaErrorArgument, "bad output buffer or sample type");
        if (type == kBrisaLin16) return brisa::nextSamples(static_cast<int16_t*>(buffer), capacity);
        std::vector<int16_t> samples(static_cast<size_t>(std::min(capacity, 1 << 20)));
        const int n = brisa::nextSamples(samples.data(), static_cast<int>(samples.size()));
        auto* out = static_cast<uint8_t*>(buffer);
        for (int i = 0; i < n; ++i) {
            const int v = samples[static_cast<size_t>(i)];
            out[i] = type == kBrisaLin8   ? static_cast<uint8_t>((v >> 8) + 128)
                     : type == kBrisaUlaw ? brisa::toUlaw(v)
                                          : brisa::toAlaw(v);
        }
        return n;
    });
}

BRISA_EXPORT void close_MBR(void) {
    brisa::Session& s = session();
    s.synthesizer.reset();
    s.database.reset();
    s.partialLine.clear();
    s.path.clear();
    s.phase = 0;
}

BRISA_EXPORT int reset_MBR(void) {
    brisa::Session& s = session();
    if (!s.synthesizer) return fail(kBrisaErrorNoDatabase, "no database open");
    s.synthesizer->reset();
    s.partialLine.clear();
    s.phase = 0;
    return 0;
}

BRISA_EXPORT int lastError_MBR(void) { return session().lastError; }

BRISA_EXPORT int lastErrorStr_MBR(char* buffer, int capacity) {
    return brisa::copyText(session().lastErrorText, buffer, capacity);
}

BRISA_EXPORT void setNoError_MBR(int tolerance) { session().noError = tolerance; }

BRISA_EXPORT int getNoError_MBR(void) { return session().noError; }

BRISA_EXPORT void setFreq_MBR(int hertz) {
    if (hertz < 8000 || hertz > 48000) {
        fail(kBrisaErrorArgument, "output rate outside 8000..48000");
        return;
    }
    session().rate = hertz;
    session().phase = 0;
}

BRISA_EXPORT int getFreq_MBR(void) { return session().rate; }

BRISA_EXPORT void setVolumeRatio_MBR(float ratio) {
    if (!(ratio >= 0 && ratio <= 8)) {
        fail(kBrisaErrorArgument, "volume ratio outside 0..8");
        return;
    }
    session().volume = ratio;
}

BRISA_EXPORT float getVolumeRatio_MBR(void) { return session().volume; }

BRISA_EXPORT int getVersion_MBR(char* buffer, int capacity) {
    return brisa::copyText(brisa::kVersion, buffer, capacity);
}

BRISA_EXPORT int getDatabaseInfo_MBR(char* buffer, int capacity, int index) {
    return guarded([&] {
        brisa::Session& s = session();
        if (!s.database) return fail(kBrisaErrorNoDatabase, "no database open");
        std::string text;
        if (index == 0) {
            text = "Brisa pt-BR diphone voice: " + std::to_string(s.database->phonemes.size()) +
                   " phonemes, " + std::to_string(s.database->diphones.size()) + " diphones, " +
                   std::to_string(s.database->rate) + " Hz";
        } else if (index == 1) {
            for (const std::string& name : s.database->phonemes) text += (text.empty() ? "" : " ") + name;
        } else if (index == 2) {
            text = s.path;
        } else {
            return fail(kBrisaErrorArgument, "no database fact of that number");
        }
        return brisa::copyText(text, buffer, capacity);
    });
}

BRISA_EXPORT void setParser_MBR(void* parser) { session().parser = parser; }

BRISA_EXPORT void* init_Phone(const char* name, float durationMs) {
    if (!name || !*name || std::strlen(name) > brisa::kMaxPhonemeName || !(durationMs >= 0) ||
        durationMs > brisa::kMaxDurationMs)
        return nullptr;
    auto* phone = new (std::nothrow) brisa::Phone;
    if (!phone) return nullptr;
    phone->name = name;
    phone->durationMs = durationMs;
    return phone;
}

BRISA_EXPORT void reset_Phone(void* phone) {
    if (phone) static_cast<brisa::Phone*>(phone)->pitch.clear();
}

BRISA_EXPORT void close_Phone(void* phone) { delete static_cast<brisa::Phone*>(phone); }

BRISA_EXPORT int appendf0_Phone(void* phone, float percent, float hertz) {
    return guarded([&] {
        auto* p = static_cast<brisa::Phone*>(phone);
        if (!p || !(percent >= 0 && percent <= 100) || !(hertz > 0 && hertz <= brisa::kMaxPitchHz))
            return fail(kBrisaErrorArgument, "bad pitch point");
        if (p->pitch.size() >= brisa::kMaxPitchPoints)
            return fail(kBrisaErrorArgument, "too many pitch points");
        p->pitch.push_back({percent, hertz});
        return 0;
    });
}

}  // extern "C"
