// The family settings file oralix.ini: where it is, reading and writing keys, "@" resolution.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parlendo {

// Where the settings live. The caller (the host) decides these paths; tests pass temporary ones.
struct SettingsLocation {
    // Folder of the running executable, used by the "@" forms. No trailing slash.
    std::string executableFolder;
    // --settings FILE: when set, this file is the settings file and its folder the settings
    // folder, whatever exists elsewhere.
    std::optional<std::string> explicitFile;
    // The per-user folder ($XDG_CONFIG_HOME/oralix, default ~/.config/oralix). No trailing slash.
    std::string userFolder;
    // The compatibility folder that plays the role of the Windows directory ("/etc").
    std::string compatibilityFolder = "/etc";
};

// A Windows-style profile file: "[section]" lines and "key=value" lines; section and key names
// compare without regard to letter case; lines starting with ";" are comments. Text is
// Windows-1252 bytes, as everywhere inside the program.
class SettingsFile {
public:
    explicit SettingsFile(SettingsLocation location);

    // The resolved value (see the "@" forms); empty when missing.
    std::string readSetting(std::string_view section, std::string_view key);
    // readSetting; when the trimmed value is empty, writes the default back and returns it.
    std::string readSettingOrDefault(std::string_view section, std::string_view key,
                                     std::string_view defaultValue);
    // The value straight from the settings folder's file, with no compatibility fallback and
    // no resolution ("read unresolved").
    std::string readRaw(std::string_view section, std::string_view key);
    // Writes to the settings file (created with its folder when missing); with the compatibility
    // flag on and the compatibility file present, writes there as well. Returns false when the
    // settings file could not be written. The file is replaced whole, through a temporary file
    // and a rename, so a failed write never loses what was there; through a symbolic link the
    // file it leads to is replaced, and only a regular file is ever replaced.
    bool writeSetting(std::string_view section, std::string_view key, std::string_view value);

    // Why the settings file is not used in this run, or empty when it is (or is missing): when
    // what its path names cannot be read as a regular file (a folder, a device, a FIFO, a
    // broken link, a file without permission to read), it is taken as missing for the whole
    // run and never written, so that nothing of the user's is replaced. A message for
    // standard error (Portuguese, Windows-1252).
    const std::string& problem() const { return problem_; }

    // The settings file and its folder (no trailing slash).
    const std::string& filePath() const { return filePath_; }
    const std::string& folder() const { return folder_; }

    // The "@" resolution of a value read from the file.
    std::string resolve(std::string value);

private:
    bool legacyOn();

    SettingsLocation location_;
    std::string filePath_;
    std::string folder_;
    std::string compatibilityFile_;
    bool unusable_ = false;
    std::string problem_;
};

// A folder named by a setting as a file-name prefix: "/" separators and a trailing "/" (empty
// stays empty: the current folder).
std::string settingFolderPrefix(std::string value);
// Whether the folder of such a prefix exists; the empty prefix (the current folder) does.
bool folderPrefixExists(const std::string& prefix);
// The data folder share/oralix/NAME beside the executable, or ../share/oralix/NAME from it when
// only that one exists (an installed copy), with a trailing "/".
std::string shareDataFolder(const std::string& executableFolder, std::string_view name);

// Parsing of profile-file text, exposed for tests and the fuzz target.
namespace profile {
// The value of key in section, or nothing when the section or key is missing. The value is
// trimmed of blanks; one pair of surrounding double quotes is removed.
std::optional<std::string> lookup(std::string_view fileText, std::string_view section, std::string_view key);
// The file text with the key set to value: an existing key line is replaced (the first one in
// the first matching section), otherwise the key is added at the end of the section, or a new
// section is appended. Line ends are CR LF for new lines; existing lines keep theirs.
std::string update(std::string_view fileText, std::string_view section, std::string_view key,
                   std::string_view value);
}  // namespace profile

}  // namespace parlendo
