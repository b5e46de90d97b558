// Short-lived helper programs: the clipboard tools fed or read through pipes, and programs
// started detached to open a document. Arguments are UTF-8, as the system takes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

// The path of a program: a name holding a slash is taken as it is, any other is looked up in
// PATH. Nothing when no executable file is found.
std::optional<std::string> findProgram(std::string_view name);

// Runs a program with nothing on its input and gives what it wrote on its output (at most
// maxBytes). Nothing when it could not start, failed, or outlived the timeout (it is then
// killed).
std::optional<std::string> runForOutput(const std::vector<std::string>& argv, int timeoutMs, size_t maxBytes);

// Runs a program with `input` on its standard input; true when it read it and ended well within
// the timeout. Programs that leave a server process behind (the clipboard tools do) are not
// waited for beyond their first process.
bool runWithInput(const std::vector<std::string>& argv, std::string_view input, int timeoutMs);

// Starts a program in its own session with `folder` as working directory (unchanged when empty),
// and does not wait for it: it outlives this process and is never left a zombie. False when the
// program was not found or could not start.
bool startDetached(const std::vector<std::string>& argv, const std::string& folder);

}  // namespace parlendo
