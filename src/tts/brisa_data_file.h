// Reading the Brisa voice's data files: the whole file as bytes, then its lines one by one.
#pragma once

#include <string>
#include <string_view>

#include "text/data_lines.h"

namespace parlendo {

// The whole file (a Windows-1252 file name, as the program's other names); false when it cannot
// be opened or read.
bool readBrisaFile(const std::string& path, std::string& contents);

}  // namespace parlendo
