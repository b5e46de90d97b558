// A temporary folder of a fuzz target's own, for whatever the settings service may write: made
// once, removed at exit. Nothing a fuzzed script does may reach files outside it.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/settings_file.h"

namespace parlendo {

// The folder is named from `prefix` ("parlendo-fuzz-menu"); the first call decides it.
inline const std::string& fuzzScratchFolder(const char* prefix) {
    // Never destroyed, so that the removal at exit still has the name.
    static const std::string* folder = [prefix] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (!mkdtemp(pattern.data())) {
            std::fprintf(stderr, "%s: cannot make a temporary folder\n", prefix);
            std::abort();
        }
        auto* name = new std::string(pattern);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(fuzzScratchFolder(""), ec);
        });
        return name;
    }();
    return *folder;
}

// Settings kept inside a scratch folder: the executable's folder is the folder itself, the user and
// compatibility folders are under it, and the settings file is `file` (which may not exist).
inline SettingsLocation fuzzScratchSettings(const std::string& folder, const std::string& file) {
    SettingsLocation where;
    where.executableFolder = folder;
    where.explicitFile = file;
    where.userFolder = folder + "/user";
    where.compatibilityFolder = folder + "/compat";
    return where;
}

}  // namespace parlendo
