// The tuner's folder: its place under the user's data folder, its subfolders and seed files.
#include "app/tuner_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/environment.h"

namespace parlendo {

std::string tunerFolderPath() {
    if (auto d = environmentVariable("SINTONIX_DIR")) return *d;
    if (auto x = environmentVariable("XDG_DATA_HOME")) return *x + "/sintonix";
    if (auto h = environmentVariable("HOME")) return *h + "/.local/share/sintonix";
    return std::string();
}

namespace {

// Writes a new file; an existing one (even one made a moment ago by another start) is left
// alone. The bytes go to a temporary name first, so a full disk never leaves half a file under
// the real name.
bool writeNewFile(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return true;
    std::filesystem::path temporary = path;
    temporary += ".novo";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        error = "cannot write " + temporary.string() + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    // A hard link never replaces an existing name, where a rename would.
    if (ok) {
        std::filesystem::create_hard_link(temporary, path, ec);
        if (ec && ec != std::errc::file_exists) ok = false;
    }
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    if (!ok) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

}  // namespace

bool prepareTunerFolder(const std::string& folder, const std::vector<SeedFile>& seeds, std::string& error) {
    if (folder.empty()) {
        error = "no folder for the tuner: set SINTONIX_DIR, XDG_DATA_HOME or HOME";
        return false;
    }
    std::filesystem::path base(folder);
    for (const char* sub : {"", "temp", "listas", "mp3"}) {
        std::filesystem::path p = *sub ? base / sub : base;
        std::error_code ec;
        std::filesystem::create_directories(p, ec);
        if (!std::filesystem::is_directory(p, ec)) {
            error = "cannot make the folder " + p.string();
            return false;
        }
    }
    for (const SeedFile& s : seeds)
        if (!writeNewFile(base / s.name, s.bytes, error)) return false;
    return true;
}

}  // namespace parlendo
