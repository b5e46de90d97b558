// Helpers for the file command tests: reading and writing test files byte for byte, names of
// files in a machine's temporary folder, and keeping the current directory.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace parlendo::testing {

inline std::string readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

inline void writeBytes(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A file name inside a folder, quoted as a script value.
inline std::string quoted(const std::filesystem::path& p) { return "\"" + p.string() + "\""; }

// Puts the current directory back when a test that changes it ends, however it ends.
class KeepCurrentDirectory {
public:
    KeepCurrentDirectory() : saved_(std::filesystem::current_path()) {}
    ~KeepCurrentDirectory() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }
    KeepCurrentDirectory(const KeepCurrentDirectory&) = delete;
    KeepCurrentDirectory& operator=(const KeepCurrentDirectory&) = delete;

private:
    std::filesystem::path saved_;
};

}  // namespace parlendo::testing
