// Files of the script: names as the script writes them, and an owner for an open file.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace parlendo {

// A script's file name (Windows-1252) as a name for the system (UTF-8). Names are used exactly
// as given: no separator is translated.
std::string nativePath(std::string_view scriptName);

// An open file, closed by its owner.
class File {
public:
    // mode as for fopen ("rb", "wb"). Null when the file cannot be opened.
    static std::unique_ptr<File> open(std::string_view scriptName, const char* mode);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Bytes read, 0 at the end or on an error (see failed()).
    size_t read(char* buffer, size_t size);
    bool write(std::string_view bytes);
    // Flushes and closes; false when anything written did not reach the file.
    bool close();
    bool failed() const;

private:
    explicit File(std::FILE* f) : f_(f) {}
    std::FILE* f_;
    bool writeFailed_ = false;
};

}  // namespace parlendo
