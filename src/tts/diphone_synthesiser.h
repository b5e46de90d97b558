// The diphone synthesiser of the built-in voice: phonetic text (per word "[", sound units separated
// by "/", "]") becomes 8-bit mono samples at 11025 per second, joined from the diphone database into
// a 64000-byte sound buffer that is played, and waited for, whenever it is full and at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

class DiphoneDatabase;

// Where the sound buffer goes when it is played.
class SoundSink {
public:
    virtual ~SoundSink() = default;
    // Plays a WAV image (the 44-byte header of 8-bit mono PCM at 11025 per second, then the
    // samples) and returns when it has been played; false when a key or a stop cut it short.
    virtual bool play(const uint8_t* image, size_t size) = 0;
};

// What became of one name looked up in the database.
enum class LookupOutcome {
    Found,       // played from the database
    Noise,       // missing and short: a burst of noise
    Decomposed,  // missing: replaced by shorter names, reported in turn
    Dropped,     // missing and not decomposable: nothing
};

const char* lookupOutcomeName(LookupOutcome outcome);

// Called with every name looked up (upper case, as looked up) and its outcome.
using LookupReport = std::function<void(std::string_view name, LookupOutcome outcome)>;

class DiphoneSynthesiser {
public:
    static constexpr size_t kBufferSize = 64000;
    static constexpr size_t kHeaderSize = 44;
    static constexpr size_t kNoiseSamples = 300;
    static constexpr size_t kLongestName = 12;
    // Characters of a token beyond this are dropped: no syllable is that long, and the splitting
    // goes as deep as the token is long.
    static constexpr size_t kLongestToken = 255;

    explicit DiphoneSynthesiser(const DiphoneDatabase& database);

    // Samples cut from the end of a diphone, the least kept of a cut one, and the silence after a
    // word (taken in whole hundreds). Until set: 400, 0 and 100.
    void setDiphoneTiming(int cut, int keep, int wordGap);
    // The folder of the character recordings ("_65.wav" ...) for letter references; empty or
    // ending in "/".
    void setCharacterFolder(std::string folder) { characterFolder_ = std::move(folder); }
    void setSink(SoundSink* sink) { sink_ = sink; }
    void setLookupReport(LookupReport report) { report_ = std::move(report); }
    // Looks the names up and reports them, reading and playing nothing.
    void setLookupOnly(bool on) { lookupOnly_ = on; }
    // Ends every diphone that is cut short (by the cut or a length factor) where its wave crosses
    // zero upwards, the nearest such sample within 3 ms of the cut (so a cut diphone may keep a few
    // samples more or fewer than the cut gives), so that joins neither click nor dip; one with no
    // crossing so near has its last samples faded down to silence instead. Off until set.
    void setFadeCutEnds(bool on) { fadeCutEnds_ = on; }

    // The melody of the built-in voice, off until set: a unit outside a stressed syllable (length
    // mode 0 or 1) is said shorter and lower than a stressed one, the words of a text step down
    // one after another from a raised first stressed syllable, and the last word of a text falls
    // and is said a little slower, as a statement ends. Pitch and length are changed together by resampling
    // each diphone.
    void setMelody(bool on) { melody_ = on; }
    static constexpr double kUnstressedLength = 0.8;      // of a stressed unit's length
    static constexpr double kUnstressedSemitones = -1.5;  // below a stressed unit
    static constexpr double kStepDownSemitones = -3.0;    // from the first word to the last
    static constexpr double kFirstStressSemitones = 1.5;  // the first stressed syllable of a run, raised
    static constexpr double kFinalLength = 1.15;          // the last word, slower
    static constexpr double kFinalFallPerSecond = -12.0;  // semitones a second through the last word
    static constexpr double kFinalFallMost = -3.0;        // the fall's lowest point
    // Samples made so far from the current text (played or not).
    size_t produced() const { return produced_; }
    // The length mode of the name being looked up (for a lookup report).
    int lengthMode() const { return mode_; }

    // The sound buffer, taken when the voice opens and given back when it closes.
    void allocate();
    void release();

    // Speaks a phonetic text and returns when it has been played: false when it was cut short
    // (the sink said so, or stop() was called).
    bool synthesise(std::string_view phonetic);
    void stop() { stopped_ = true; }

private:
    void split(std::string_view t, double f);
    void emitUnit(std::string_view u, double f);
    void emitName(std::string name, int mode, double f);
    void appendDiphone(uint64_t offset, size_t count);
    // Appends a diphone resampled to `ratio` of its pitch and `length` of its duration (fewer
    // samples when the diphone runs out first); returns how many were appended.
    size_t appendShaped(uint64_t offset, size_t count, double ratio, double length);
    // The pitch ratio and the length factor of a diphone in the given length mode now.
    void shapeOf(int mode, double& ratio, double& length) const;
    void appendFill(size_t count, bool noise);
    // Appends count samples made by fill(to, n) (which returns how many it made), playing the
    // buffer whenever it is full; a piece never overflows it.
    template <typename Fill>
    void appendPieces(size_t count, Fill fill);
    // Brings the last samples of a diphone just appended down to silence (3 ms at most).
    void fadeTail(size_t appended);
    static constexpr size_t kFadeSamples = 33;
    // The sample nearest to `at` (within kCrossingReach, inside the diphone's count) that is the
    // first at or above the middle after one below it; 0 when there is none.
    size_t zeroCrossingNear(uint64_t offset, size_t count, size_t at);
    static constexpr size_t kCrossingReach = 33;
    // Where in s, within kJoinReach of `at`, a shaped diphone ends: the quietest 2 ms there, at
    // the wave's upward crossing.
    static size_t quietEndNear(const std::vector<uint8_t>& s, size_t at);
    static constexpr size_t kJoinReach = 90;  // 8 ms: half a pitch period at 62 Hz
    void appendLetter(uint8_t code);
    void makeRoom(size_t count);
    void play();
    void report(std::string_view name, LookupOutcome outcome) {
        if (report_) report_(name, outcome);
    }

    const DiphoneDatabase& database_;
    int cut_ = 400;
    int keep_ = 0;
    int wordGap_ = 100;
    std::string characterFolder_;
    SoundSink* sink_ = nullptr;
    LookupReport report_;
    bool lookupOnly_ = false;
    bool fadeCutEnds_ = false;
    bool melody_ = false;
    size_t produced_ = 0;
    size_t words_ = 0;          // in the current text
    size_t word_ = 0;           // the number of the word being said, from 1
    size_t lastWordStart_ = 0;  // produced_ when the last word began
    bool accented_ = false;     // the first stressed syllable of the text has been said
    bool stressSaid_ = false;   // a stressed unit of the text has been said
    std::vector<uint8_t> scratch_;
    std::vector<uint8_t> shaped_;

    std::vector<uint8_t> buffer_;
    size_t used_ = kHeaderSize;
    int mode_ = 1;
    bool stopped_ = false;
    std::minstd_rand random_{4711};
};

}  // namespace parlendo
