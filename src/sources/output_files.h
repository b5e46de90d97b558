// Files sintonix-fontes leaves for the tuner: written whole under a temporary name and renamed
// into place, so that a reader never sees half a file; and the status file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sintonix {

// Writes the bytes to `path` through a temporary file beside it; false (and `path` untouched)
// when that fails.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

// Removes PATH.N, PATH.N+1, … while they exist: the pages of an earlier, longer result.
void removePagesFrom(const std::string& path, size_t first);

// The status file: "ok" and the count, or "erro" and the message (UTF-8, written as
// Windows-1252), CR LF line ends.
bool writeStatusOk(const std::string& path, size_t count);
bool writeStatusError(const std::string& path, std::string_view utf8Message);

}  // namespace sintonix
