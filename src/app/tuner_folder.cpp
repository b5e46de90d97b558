// The tuner's folder: its place under the user's data folder, its subfolders and seed files.
#include "app/tuner_folder.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

std::string tunerFolderPath() {
    if (auto d = environmentVariable("SINTONIX_DIR")) return *d;
    if (auto x = environmentVariable("XDG_DATA_HOME")) return *x + "/sintonix";
    if (auto h = environmentVariable("HOME")) return *h + "/.local/share/sintonix";
    return std::string();
}

namespace {

// A path inside a message (Windows-1252, as every message is).
std::string shown(const std::filesystem::path& p) { return text::externalToCp1252(p.string()); }

// Writes the bytes into `temporary`, a file of its own; 0, or the error that stopped it, and in
// `opened` whether the file could be made at all.
SysError writeTemporary(const std::filesystem::path& temporary, std::string_view bytes, bool& opened) {
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    opened = f != nullptr;
    if (!f) return errno ? errno : EIO;
    errno = 0;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok ? 0 : (errno ? errno : EIO);
}

// Writes a new file; an existing one (even one made a moment ago by another start) is left
// alone. The bytes go to a temporary name first, so a full disk never leaves half a file under
// the real name.
bool writeNewFile(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return true;
    std::filesystem::path temporary = path;
    temporary += ".novo";
    bool opened = false;
    SysError reason = writeTemporary(temporary, bytes, opened);
    if (!opened) {
        error = "não foi possível gravar "_cp + shown(temporary) + ": " + errorDescription(reason) + ".";
        return false;
    }
    bool ok = reason == 0;
    // A hard link never replaces an existing name, where a rename would.
    if (ok) {
        std::filesystem::create_hard_link(temporary, path, ec);
        if (ec && ec != std::errc::file_exists) {
            ok = false;
            reason = ec.value();
        }
    }
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    if (!ok) {
        error = "não foi possível gravar "_cp + shown(path) + ": " + errorDescription(reason) + ".";
        return false;
    }
    return true;
}

// Puts new bytes under an existing name (replaceSystemFile), so the file is always whole, the
// old text or the new.
bool replaceFile(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    const SysError reason = replaceSystemFile(path.string(), bytes);
    if (reason != 0)
        error = "não foi possível gravar "_cp + shown(path) + ": " + errorDescription(reason) + ".";
    return reason == 0;
}

}  // namespace

bool prepareTunerFolder(const std::string& folder, const std::vector<SeedFile>& seeds, std::string& error) {
    if (folder.empty()) {
        error = "não há onde pôr a pasta do sintonix: defina SINTONIX_DIR, XDG_DATA_HOME ou HOME."_cp;
        return false;
    }
    std::filesystem::path base(folder);
    for (const char* sub : {"", "temp", "listas", "mp3"}) {
        std::filesystem::path p = *sub ? base / sub : base;
        std::error_code ec;
        std::filesystem::create_directories(p, ec);
        std::error_code made = ec;
        if (!std::filesystem::is_directory(p, ec)) {
            error = "não foi possível criar a pasta "_cp + shown(p) + ": " +
                    errorDescription(made ? made.value() : ENOTDIR) + ".";
            return false;
        }
    }
    for (const SeedFile& s : seeds) {
        std::string_view name = s.name;
        if (name.find('~') != std::string_view::npos) continue;
        if (!writeNewFile(base / s.name, s.bytes, error)) return false;
        // A file exactly as an earlier version wrote it was never edited by the user: it takes
        // this version's text (a help that knows the new screens). Any other is left alone.
        const std::filesystem::path path = base / s.name;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) continue;
        std::optional<std::string> present = readSystemFile(path.string());
        if (!present || *present == s.bytes) continue;
        for (const SeedFile& earlier : seeds) {
            std::string_view e = earlier.name;
            if (e.size() > name.size() && e.substr(0, name.size()) == name && e[name.size()] == '~' &&
                *present == earlier.bytes) {
                if (!replaceFile(path, s.bytes, error)) return false;
                break;
            }
        }
    }
    return true;
}

bool enterTunerFolder(const std::string& folder, std::string& error) {
    std::error_code ec;
    std::filesystem::current_path(folder, ec);
    if (ec) {
        error = "não foi possível entrar na pasta "_cp + shown(folder) + ": " + errorDescription(ec.value()) +
                ".";
        return false;
    }
    return true;
}

}  // namespace parlendo
