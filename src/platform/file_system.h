// The file system as script commands see it: open files with their error numbers, removing,
// renaming, directories, the current directory and directory listings.
//
// Every name is a script's name (Windows-1252) and is used exactly as given; every failure is
// the operating system's error number (0 is success), which scripts read through CHECA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace parlendo {

// An error number of the operating system; 0 means success.
using SysError = int;

// The outcome of a read or a write: the bytes moved, and the error that stopped it (0 when
// none did).
struct IoResult {
    size_t count = 0;
    SysError error = 0;
};

// An open file descriptor, closed by its owner.
class FileHandle {
public:
    enum class Mode {
        Read,       // an existing file, read only
        Append,     // writes go to the end; created when missing, never truncated
        Truncate,   // created when missing, emptied when present
        CreateNew,  // created; fails when anything of that name exists
    };

    FileHandle() = default;
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // A directory is never opened as a file (EISDIR). A name holding a zero byte names no
    // file (ENOENT) rather than the shorter name before it.
    static FileHandle open(std::string_view scriptName, Mode mode, SysError& error);

    bool isOpen() const { return fd_ >= 0; }
    // Up to `size` bytes; a count of 0 without an error is the end of the file.
    IoResult read(char* buffer, size_t size);
    // Up to `size` bytes from `offset`, leaving the file's position where it was; fewer only at
    // the end of the file or on an error.
    IoResult readAt(char* buffer, size_t size, uint64_t offset) const;
    // Every byte, or the error that stopped the write and how many bytes had gone out.
    IoResult write(std::string_view bytes);
    // Copies up to `size` bytes from this file's position to the target's inside the system,
    // without passing them through the program; a count of 0 is the end of this file. Nothing
    // when the system cannot copy between these two files, or when the copy met an error:
    // the caller then goes on through a buffer, which tells a read error from a write error.
    std::optional<size_t> copyTo(FileHandle& target, size_t size);
    std::optional<uint64_t> size(SysError& error) const;
    SysError seek(uint64_t position);
    SysError truncate(uint64_t length);
    // Closes the descriptor and gives the error of the close (a delayed write error).
    SysError close();

private:
    explicit FileHandle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

SysError removeFile(std::string_view scriptName);
// Renames or moves; an existing destination is never replaced (EEXIST).
SysError renameFile(std::string_view from, std::string_view to);
// Renames, replacing a file that has the new name in one step (the system's rename).
SysError replaceFileByRename(std::string_view from, std::string_view to);
SysError createDirectory(std::string_view scriptName);
SysError removeDirectory(std::string_view scriptName);
SysError changeDirectory(std::string_view scriptName);
// The current directory as a script name; empty when it cannot be found.
std::string currentDirectory();
bool pathExists(std::string_view scriptName);
// True when both names lead to the same file (through links, "..", or any other path).
bool sameFile(std::string_view a, std::string_view b);

struct DirectoryEntry {
    std::string name;  // Windows-1252
    bool isDirectory = false;
};

// The regular files of a folder, and its subfolders when asked for. Hidden entries (names
// starting with ".") and anything that is neither a file nor a folder are left out; symbolic
// links count as what they lead to. Nothing when the folder cannot be read.
std::vector<DirectoryEntry> listDirectory(std::string_view folder, bool withDirectories);

// What an error number means, in a few words of Portuguese (Windows-1252) for a message to the
// user: the system's own text is English whatever the user's language.
std::string errorDescription(SysError error);

// The whole of a file named by a path of the system (not a script's name); nothing when it
// cannot be opened (errno tells why) or read (errno is EIO).
std::optional<std::string> readSystemFile(const std::string& systemPath);

// Puts the bytes under a path of the system (not a script's name) so that the file is always
// whole, the old bytes or the new: they are written to a new temporary file beside it, which
// takes the old file's permissions, and then renamed over it. 0, or the error that stopped it;
// on an error the old file is as it was and no temporary file is left behind.
SysError replaceSystemFile(const std::string& systemPath, std::string_view bytes);

}  // namespace parlendo
