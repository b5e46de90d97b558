// The tuner's folder: where it is, and making and seeding it on first start.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

// A file the folder starts with: its name in the folder and its bytes (Windows-1252).
struct SeedFile {
    const char* name;
    std::string_view bytes;
};

// The seed files carried by sintonix (generated at build time from data/sintonix/).
const std::vector<SeedFile>& tunerSeedFiles();

// $SINTONIX_DIR when set; else $XDG_DATA_HOME/sintonix; else ~/.local/share/sintonix. Empty
// when none can be found (no HOME).
std::string tunerFolderPath();

// Makes the folder with its subfolders temp, listas and mp3, and writes each seed file that is
// missing. A seed named "NAME~N" is an earlier version of NAME: a NAME holding exactly those
// bytes (never edited) is replaced by the current one. Nothing else that exists is replaced. False, with a
// message in `error` (Portuguese, Windows-1252), when the folder or a missing file cannot be made.
bool prepareTunerFolder(const std::string& folder, const std::vector<SeedFile>& seeds, std::string& error);

// The exit status of sintonix when its folder cannot be made, seeded or entered (a full disk, a
// folder without permission): neither a bad command line (2) nor a failure of the script (1).
constexpr int kTunerFolderFailureStatus = 4;

// Makes the folder the current one. False, with a message in `error` as above, when it cannot.
bool enterTunerFolder(const std::string& folder, std::string& error);

}  // namespace parlendo
