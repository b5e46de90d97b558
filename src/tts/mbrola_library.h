// The Brisa voice's synthesizer, libbrisa-mbrola, loaded while the program runs: its 23 entry
// points, found together or not at all.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/shared_library.h"

namespace parlendo {

// The synthesizer's calls, as the library exports them (src/mbrola/mbrola.h).
struct MbrolaCalls {
    int (*init_MBR)(const char*);
    int (*init_rename_MBR)(const char*, const char*, const char*);
    int (*write_MBR)(const char*);
    int (*flush_MBR)();
    int (*read_MBR)(short*, int);
    int (*readtype_MBR)(void*, int, int);
    void (*close_MBR)();
    int (*reset_MBR)();
    int (*lastError_MBR)();
    int (*lastErrorStr_MBR)(char*, int);
    void (*setNoError_MBR)(int);
    int (*getNoError_MBR)();
    void (*setFreq_MBR)(int);
    int (*getFreq_MBR)();
    void (*setVolumeRatio_MBR)(float);
    float (*getVolumeRatio_MBR)();
    int (*getVersion_MBR)(char*, int);
    int (*getDatabaseInfo_MBR)(char*, int, int);
    void (*setParser_MBR)(void*);
    void* (*init_Phone)(const char*, float);
    void (*reset_Phone)(void*);
    void (*close_Phone)(void*);
    int (*appendf0_Phone)(void*, float, float);
};

class MbrolaLibrary {
public:
    static constexpr const char* kFileName = "libbrisa-mbrola.so";

    // Where the library is looked for, in order: the executable's own folder; lib/sintonix of
    // the prefix the executable is installed in (its folder's parent); /usr/local/lib/sintonix;
    // /usr/lib/sintonix.
    static std::vector<std::string> searchPaths(const std::string& executableFolder);

    // The first of `paths` that loads is used; it must have every entry point, or it is released
    // and nothing is returned. `error` says why (UTF-8, for the log).
    static std::optional<MbrolaLibrary> load(const std::vector<std::string>& paths, std::string& error);

    const MbrolaCalls& calls() const { return calls_; }
    const std::string& path() const { return path_; }

private:
    MbrolaLibrary(OwnedLibrary library, const MbrolaCalls& calls, std::string path)
        : library_(std::move(library)), calls_(calls), path_(std::move(path)) {}
    OwnedLibrary library_;
    MbrolaCalls calls_;
    std::string path_;
};

// The database file of that name: share/oralix/brisa/NAME beside the executable, or ../share/
// oralix/brisa/NAME from it for an installed copy.
std::string brisaDatabasePath(const std::string& executableFolder, const std::string& name);

}  // namespace parlendo
