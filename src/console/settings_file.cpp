// The family settings file oralix.ini: where it is, reading and writing keys, "@" resolution.
#include "console/settings_file.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace fs = std::filesystem;

namespace parlendo {

namespace {

constexpr const char* kFileName = "oralix.ini";
// Longest value a read returns; longer values are cut.
constexpr size_t kMaxValue = 50000;
// Most "@" replacements one resolution makes, so that a folder or a PGMORALIX value that
// itself contains "@\" cannot keep the resolution going for ever.
constexpr int kMaxReplacements = 16;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// One line of profile text as positions into it. Content is [begin, contentEnd); the line
// end (LF or CR LF, none on an unterminated last line) runs from contentEnd to end.
struct Line {
    enum Kind { Other, Section, Key };
    size_t begin = 0;
    size_t contentEnd = 0;
    size_t end = 0;
    Kind kind = Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key lines: the text after "=", trimmed
};

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t pos = 0;
    // A UTF-8 byte-order mark left by an editor is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            line.contentEnd = line.end = text.size();
        } else {
            line.end = nl + 1;
            line.contentEnd = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
        }
        pos = line.end;

        std::string_view content = text::trim(text.substr(line.begin, line.contentEnd - line.begin));
        if (content.empty() || content.front() == ';') {
            line.kind = Line::Other;
        } else if (content.front() == '[') {
            // The name runs to the first "]"; an unclosed bracket runs to the line end.
            std::string_view inner = content.substr(1);
            size_t close = inner.find(']');
            line.kind = Line::Section;
            line.name = text::trim(inner.substr(0, close));
        } else if (size_t eq = content.find('='); eq != std::string_view::npos) {
            line.kind = Line::Key;
            line.name = text::trim(content.substr(0, eq));
            line.value = text::trim(content.substr(eq + 1));
        }
        lines.push_back(line);
    }
    return lines;
}

// Index of the first section line with the name, or lines.size().
size_t findSection(const std::vector<Line>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Section && sameName(lines[i].name, section)) return i;
    return lines.size();
}

// Index of the section line following `after`, or lines.size().
size_t sectionEnd(const std::vector<Line>& lines, size_t after) {
    for (size_t i = after + 1; i < lines.size(); ++i)
        if (lines[i].kind == Line::Section) return i;
    return lines.size();
}

// The value as it is written on a key line. A line break cannot be stored and ends the value.
// A value that reading would change (blanks at its ends, or a pair of surrounding quotes)
// is wrapped in double quotes, which reading removes again.
std::string storedValue(std::string_view value) {
    value = value.substr(0, value.find_first_of("\r\n"));
    bool quote = !value.empty() && (text::isBlank(value.front()) || text::isBlank(value.back()) ||
                                    (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    if (quote) return "\"" + std::string(value) + "\"";
    return std::string(value);
}

// What is found at a settings file's path: nothing, the text of a regular file (through
// symbolic links), or something that cannot serve as the file, with why (Windows-1252).
struct SettingsText {
    enum Kind { Missing, Text, Unusable };
    Kind kind = Missing;
    std::string text;
    std::string why;
};

// Reads the settings file. Only a regular file is opened: a FIFO would hold the program until
// another one writes into it, and a device may never end.
SettingsText readSettingsText(const std::string& path) {
    SettingsText found;
    std::error_code ec;
    fs::file_type entry = fs::symlink_status(path, ec).type();
    // Nothing there, or a folder on the way that is missing or is a file.
    if (entry == fs::file_type::not_found) return found;
    found.kind = SettingsText::Unusable;
    if (entry == fs::file_type::none) {  // a folder on the way cannot be looked into
        found.why = errorDescription(ec ? ec.value() : EIO);
        return found;
    }
    fs::file_status target = fs::status(path, ec);
    if (target.type() == fs::file_type::not_found) {
        found.why = "a ligação simbólica leva a um arquivo que não existe"_cp;
    } else if (ec) {
        found.why = errorDescription(ec.value());
    } else if (target.type() == fs::file_type::directory) {
        found.why = errorDescription(EISDIR);
    } else if (target.type() != fs::file_type::regular) {
        found.why = "não é um arquivo comum"_cp;
    }
    if (!found.why.empty()) return found;
    errno = 0;
    std::optional<std::string> text = readSystemFile(path);
    if (!text) {
        found.why = errorDescription(errno ? errno : EIO);
        return found;
    }
    found.text = std::move(*text);
    found.kind = SettingsText::Text;
    return found;
}

// Whether anything at all, even a broken link, is at the path.
bool pathPresent(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// Replaces the file with the text (replaceSystemFile), so a failed write leaves the old file as
// it was.
bool writeFileText(const std::string& path, const std::string& text) {
    try {
        std::error_code ec;
        fs::path target(path);
        // Writing through a link replaces what it points to, not the link itself; and only a
        // regular file, or nothing, is ever replaced: never a device, a FIFO or a folder.
        if (fs::is_symlink(target, ec)) {
            fs::path resolved = fs::canonical(target, ec);
            if (ec) return false;
            target = resolved;
        }
        fs::file_type type = fs::symlink_status(target, ec).type();
        if (type != fs::file_type::regular && type != fs::file_type::not_found) return false;
        fs::path folder = target.parent_path();
        if (!folder.empty()) {
            fs::create_directories(folder, ec);
            if (!fs::is_directory(folder, ec)) return false;
        }
        return replaceSystemFile(target.string(), text) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

// The folder of a file path, made absolute when possible, without a trailing slash.
std::string folderOf(const std::string& file) {
    fs::path p(file);
    std::error_code ec;
    fs::path abs = fs::absolute(p, ec);
    if (!ec) p = abs;
    std::string folder = p.parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

// First occurrence of "@@\" or "@@/" (single = false) or of "@\" or "@/" (single = true).
size_t findAtForm(const std::string& value, bool single) {
    const char* back = single ? "@\\" : "@@\\";
    const char* slash = single ? "@/" : "@@/";
    size_t a = value.find(back);
    size_t b = value.find(slash);
    return a < b ? a : b;
}

// Expands the "@" folder forms of a value: "@@\" gives the settings folder, then a single
// "@\" gives programFolder(); repeated until no "@\" is left, but with at most
// kMaxReplacements replacements in all.
template <class ProgramFolder>
std::string expandAtForms(std::string value, const std::string& settingsFolder, ProgramFolder programFolder) {
    int budget = kMaxReplacements;
    while (budget > 0) {
        size_t p = findAtForm(value, false);
        if (p != std::string::npos) {
            value.replace(p, 2, settingsFolder);
            if (--budget == 0) break;
        }
        p = findAtForm(value, true);
        if (p == std::string::npos) break;
        value.replace(p, 1, programFolder());
        --budget;
    }
    return value;
}

}  // namespace

std::string settingFolderPrefix(std::string value) {
    for (char& c : value)
        if (c == '\\') c = '/';
    if (!value.empty() && value.back() != '/') value += '/';
    return value;
}

bool folderPrefixExists(const std::string& prefix) {
    if (prefix.empty()) return true;
    std::string name = prefix;
    if (name.size() > 1 && name.back() == '/') name.pop_back();
    return pathExists(name);
}

std::string shareDataFolder(const std::string& executableFolder, std::string_view name) {
    const std::string beside = executableFolder + "/share/oralix/" + std::string(name);
    const std::string installed = executableFolder + "/../share/oralix/" + std::string(name);
    if (!pathExists(beside) && pathExists(installed)) return installed + "/";
    return beside + "/";
}

namespace profile {

std::optional<std::string> lookup(std::string_view fileText, std::string_view section, std::string_view key) {
    section = text::trim(section);
    key = text::trim(key);
    std::vector<Line> lines = splitLines(fileText);
    size_t s = findSection(lines, section);
    if (s == lines.size()) return std::nullopt;
    size_t end = sectionEnd(lines, s);
    for (size_t i = s + 1; i < end; ++i) {
        const Line& line = lines[i];
        if (line.kind != Line::Key || !sameName(line.name, key)) continue;
        std::string_view v = line.value;
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        return std::string(v.substr(0, kMaxValue));
    }
    return std::nullopt;
}

std::string update(std::string_view fileText, std::string_view section, std::string_view key,
                   std::string_view value) {
    section = text::trim(section);
    key = text::trim(key);
    std::string keyLine = std::string(key) + "=" + storedValue(value);
    std::vector<Line> lines = splitLines(fileText);

    size_t s = findSection(lines, section);
    if (s == lines.size()) {
        std::string out(fileText);
        if (!out.empty() && out.back() != '\n') out += "\r\n";
        out += "[" + std::string(section) + "]\r\n" + keyLine + "\r\n";
        return out;
    }

    size_t end = sectionEnd(lines, s);
    for (size_t i = s + 1; i < end; ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Key && sameName(line.name, key)) {
            std::string out(fileText.substr(0, line.begin));
            out += keyLine;
            out += fileText.substr(line.contentEnd);
            return out;
        }
    }

    // Add the key after the last non-empty line of the section, so that blank lines
    // separating it from the next section stay where they are.
    size_t last = s;
    for (size_t i = s + 1; i < end; ++i)
        if (!text::trim(fileText.substr(lines[i].begin, lines[i].contentEnd - lines[i].begin)).empty())
            last = i;
    const Line& after = lines[last];
    std::string out(fileText.substr(0, after.end));
    if (after.end == after.contentEnd) out += "\r\n";  // unterminated last line
    out += keyLine + "\r\n";
    out += fileText.substr(after.end);
    return out;
}

}  // namespace profile

namespace {

// The value of a key in the file at path; empty when the file, section or key is missing, and
// when the file cannot be read.
std::string lookupIn(const std::string& path, std::string_view section, std::string_view key) {
    return profile::lookup(readSettingsText(path).text, section, key).value_or(std::string());
}

// Writes the key into the file at path, unless something is there that is not a regular file
// that can be read: what cannot be read cannot be kept, and is not replaced.
bool writeKeyIn(const std::string& path, std::string_view section, std::string_view key,
                std::string_view value) {
    SettingsText found = readSettingsText(path);
    if (found.kind == SettingsText::Unusable) return false;
    return writeFileText(path, profile::update(found.text, section, key, value));
}

}  // namespace

SettingsFile::SettingsFile(SettingsLocation location) : location_(std::move(location)) {
    compatibilityFile_ = location_.compatibilityFolder + "/" + kFileName;
    if (location_.explicitFile) {
        filePath_ = *location_.explicitFile;
        std::error_code ec;
        fs::path abs = fs::absolute(fs::path(filePath_), ec);
        if (!ec) filePath_ = abs.string();
        folder_ = folderOf(filePath_);
    } else {
        // Anything at the user's place, even what cannot serve as the file, keeps it there.
        std::string userFile = location_.userFolder + "/" + kFileName;
        if (!pathPresent(userFile) && pathPresent(compatibilityFile_)) {
            folder_ = location_.compatibilityFolder;
            filePath_ = compatibilityFile_;
        } else {
            folder_ = location_.userFolder;
            filePath_ = userFile;
        }
    }
    SettingsText found = readSettingsText(filePath_);
    if (found.kind == SettingsText::Unusable) {
        unusable_ = true;
        problem_ = "não foi possível usar o arquivo de configurações "_cp +
                   text::externalToCp1252(filePath_) + ": " + found.why +
                   ". O programa segue com as configurações padrão, sem gravar nesse arquivo."_cp;
    }
}

std::string SettingsFile::readRaw(std::string_view section, std::string_view key) {
    if (unusable_) return {};
    return lookupIn(filePath_, section, key);
}

bool SettingsFile::legacyOn() {
    std::string flag = readRaw("ORALIX", "LEGADO");
    return !flag.empty() && (flag.front() == 'S' || flag.front() == 's');
}

std::string SettingsFile::readSetting(std::string_view section, std::string_view key) {
    std::string value = readRaw(section, key);
    if (value.empty() && legacyOn()) value = lookupIn(compatibilityFile_, section, key);
    return resolve(std::move(value));
}

std::string SettingsFile::readSettingOrDefault(std::string_view section, std::string_view key,
                                               std::string_view defaultValue) {
    std::string value = readSetting(section, key);
    if (!text::trim(value).empty()) return value;
    writeSetting(section, key, defaultValue);
    return std::string(defaultValue);
}

bool SettingsFile::writeSetting(std::string_view section, std::string_view key, std::string_view value) {
    if (unusable_) return false;
    bool legacy = legacyOn();
    bool ok = writeKeyIn(filePath_, section, key, value);
    if (legacy && compatibilityFile_ != filePath_ && pathPresent(compatibilityFile_))
        writeKeyIn(compatibilityFile_, section, key, value);
    return ok;
}

std::string SettingsFile::resolve(std::string value) {
    if (value == "@") return location_.executableFolder;

    // PGMORALIX is itself resolved, but a "@\" inside it stands for the executable's folder
    // rather than for PGMORALIX again. It is read only when a single "@" needs it.
    std::optional<std::string> programFolder;
    auto program = [&]() -> const std::string& {
        if (!programFolder) {
            std::string raw = readRaw("ORALIX", "PGMORALIX");
            if (raw.empty() && legacyOn()) raw = lookupIn(compatibilityFile_, "ORALIX", "PGMORALIX");
            std::string folder = raw == "@"
                                     ? location_.executableFolder
                                     : expandAtForms(std::move(raw), folder_, [&]() -> const std::string& {
                                           return location_.executableFolder;
                                       });
            if (folder.empty() || folder.front() == '@') folder = location_.executableFolder;
            programFolder = std::move(folder);
        }
        return *programFolder;
    };
    return expandAtForms(std::move(value), folder_, program);
}

}  // namespace parlendo
