// The Brisa voice (engine type 3): its front end makes the phoneme lines of a text, the
// synthesizer library (libbrisa-mbrola) makes them sound, and the wave player plays the sound in
// blocks as it fills.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/speech_output.h"

namespace parlendo {

class KeyQueue;
class SettingsFile;
class WavePlayer;

// The section BRISATTS of the settings: the database's name, the folder of the front end's five
// data files (ending in "/") and their base name.
struct BrisaVoiceConfig {
    std::string database = "br4";
    std::string folder;
    std::string base = "portug";
};

// The settings as read once at start; an empty DIR means share/oralix/brisa/ beside the
// executable (or ../share/oralix/brisa/ from it, installed), where the build puts the database.
BrisaVoiceConfig readBrisaVoiceConfig(SettingsFile& settings, const std::string& executableFolder);

// The front end as the engine sees it.
class BrisaPhonemeSource {
public:
    virtual ~BrisaPhonemeSource() = default;
    // Loads the data files folder + base + ".nrl", ".exc", ".abr", ".pro", ".dfn"; false with
    // the last-error text of the file that failed.
    virtual bool load(const std::string& folder, const std::string& base, std::string& lastError) = 0;
    // The phoneme lines of one utterance (Windows-1252 text), without their line ends.
    virtual std::vector<std::string> phonemeString(std::string_view text, double pitchFactor,
                                                   double durationFactor) = 0;
};

// The front end of the five data files (brisa_front_end.h) as the engine's phoneme source. Its
// load runs the start-up's steps in order: rules and exceptions, abbreviations, prosody and
// diphones, each failure with its own last-error text.
std::unique_ptr<BrisaPhonemeSource> brisaRulesFrontEnd();

// The engine over the synthesizer found first in `libraryPaths` (MbrolaLibrary::searchPaths) and
// the database `databasePath`; `sleep` waits the given milliseconds while pumping events.
std::unique_ptr<SpeechOutput> createBrisaVoice(WavePlayer& player, KeyQueue& keys,
                                               std::function<void(int)> sleep, BrisaVoiceConfig config,
                                               std::vector<std::string> libraryPaths,
                                               std::string databasePath,
                                               std::unique_ptr<BrisaPhonemeSource> frontEnd);

// The play buffer's threshold: a block is played once this many bytes (2 s) have gathered.
constexpr size_t kBrisaBlockBytes = 64000;
// What read_MBR is asked for at a time.
constexpr int kBrisaStagingSamples = 64000;

}  // namespace parlendo
