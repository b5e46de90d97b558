// Environment, executable folder and standard input and output.
#include "platform/environment.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "text/cp1252.h"

namespace parlendo {

std::optional<std::string> environmentVariable(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) return std::nullopt;
    return std::string(v);
}

std::string executableFolder() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return p.parent_path().string();
}

std::string userSettingsFolder() {
    if (auto x = environmentVariable("XDG_CONFIG_HOME")) return *x + "/oralix";
    if (auto h = environmentVariable("HOME")) return *h + "/.config/oralix";
    return ".config/oralix";
}

void putFirstOnPath(const std::string& folder) {
    std::string path = folder;
    if (const char* old = std::getenv("PATH"); old && *old) path += std::string(":") + old;
    setenv("PATH", path.c_str(), 1);
}

std::optional<TypedKey> StdinKeys::nextKey() {
    if (next_ >= pending_.size()) {
        if (ended_) return std::nullopt;
        std::string line;
        if (!std::getline(std::cin, line)) {
            ended_ = true;
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending_ = text::externalToCp1252(line);
        std::erase(pending_, '\0');  // a zero byte would start an extended key
        pending_ += '\r';
        next_ = 0;
    }
    return TypedKey{std::string(1, pending_[next_++]), {}};
}

void writeStdout(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

}  // namespace parlendo
