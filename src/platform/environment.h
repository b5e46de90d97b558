// Facts of the process's surroundings: environment variables, the executable's folder, and
// keys typed on standard input.
#pragma once

#include <optional>
#include <string>

#include "platform/key_source.h"

namespace parlendo {

std::optional<std::string> environmentVariable(const char* name);
// Folder of the running executable (no trailing slash); "." when it cannot be found.
std::string executableFolder();
// $XDG_CONFIG_HOME/oralix, or ~/.config/oralix.
std::string userSettingsFolder();
// Puts the folder first on the PATH that this process and the programs it starts search, so
// that a program installed beside the executable is the one found by its bare name.
void putFirstOnPath(const std::string& folder);

// Keys typed on standard input, a line at a time: the line's characters (UTF-8 converted),
// then Enter. Nothing once standard input is closed.
class StdinKeys final : public KeySource {
public:
    std::optional<TypedKey> nextKey() override;

private:
    std::string pending_;
    size_t next_ = 0;
    bool ended_ = false;
};

// Writes to standard output.
void writeStdout(const std::string& utf8);

}  // namespace parlendo
