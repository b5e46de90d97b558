// The Brisa voice's diphone database: what the synthesizer joins, read from the file the build
// makes (tools/make_brisa_voice.cpp), and written by that generator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisa {

constexpr int kDatabaseRate = 16000;

// A pitch mark: a sample of the diphone where a pitch period is centred (voiced) or a point of
// the even grid laid over an unvoiced stretch.
struct PitchMark {
    uint32_t position = 0;
    bool voiced = false;
};

// The sound from the steady middle of one phoneme to that of the next. `begin`, `boundary` and
// `end` are samples of `samples`: the cut in the first phoneme, where the second starts, the cut
// in the second. The samples before `begin` and after `end` are margin for the windows of the
// overlap-add.
struct Diphone {
    uint16_t left = 0, right = 0;  // phoneme numbers
    uint32_t begin = 0, boundary = 0, end = 0;
    std::vector<int16_t> samples;
    std::vector<PitchMark> marks;  // ascending positions, all below samples.size()
};

struct VoiceDatabase {
    int rate = kDatabaseRate;
    std::vector<std::string> phonemes;
    std::vector<Diphone> diphones;
};

// Limits the reader enforces, so that a damaged file cannot make it allocate without end.
constexpr size_t kMaxPhonemes = 256;
constexpr size_t kMaxDiphones = 65536;
constexpr size_t kMaxDiphoneSamples = 16000 * 4;

// Reads a database image; nothing, with the reason in `error`, when it is malformed.
std::optional<VoiceDatabase> parseVoiceDatabase(const uint8_t* data, size_t size, std::string& error);
std::optional<VoiceDatabase> readVoiceDatabase(const std::string& path, std::string& error);

// The image of a database, as parseVoiceDatabase reads it back.
std::vector<uint8_t> serializeVoiceDatabase(const VoiceDatabase& database);

}  // namespace brisa
