// The phoneme lines the synthesizer is written: "NAME DURATION [POSITION PITCH]...", as in the
// usual .pho files of diphone synthesizers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisa {

// Limits of one line; a line beyond them is refused rather than cut.
constexpr size_t kMaxLineLength = 4096;
constexpr size_t kMaxPhonemeName = 7;
constexpr double kMaxDurationMs = 30000;  // one phoneme; a longer pause takes several lines
constexpr size_t kMaxPitchPoints = 100;
constexpr double kMaxPitchHz = 2000;

struct PitchPoint {
    double percent = 0;  // 0 to 100 of the phoneme's duration
    double hertz = 0;
};

struct PhonemeLine {
    enum class Kind { Empty, Phoneme, Flush };
    Kind kind = Kind::Empty;
    std::string name;
    double durationMs = 0;
    std::vector<PitchPoint> pitch;
};

// Reads one line. A ";" starts a comment, blanks and a trailing CR LF are ignored, and "#" alone
// asks for a flush. Nothing when the line is malformed: a name too long, a duration missing, not
// a number or outside 0..kMaxDurationMs, a position without its pitch, a position outside 0..100,
// a pitch not above 0 or above kMaxPitchHz, or more than kMaxPitchPoints pairs.
std::optional<PhonemeLine> parsePhonemeLine(std::string_view line);

}  // namespace brisa
