// The file system behind the script's file and directory commands, on POSIX calls.
#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/file.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

// The system name of a script name, or nothing when it cannot name a file: the empty name, or
// one holding a zero byte, which the system would silently cut short.
std::optional<std::string> systemName(std::string_view scriptName) {
    if (scriptName.empty() || scriptName.find('\0') != std::string_view::npos) return std::nullopt;
    return nativePath(scriptName);
}

SysError lastError() { return errno != 0 ? errno : EIO; }

}  // namespace

FileHandle::~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileHandle FileHandle::open(std::string_view scriptName, Mode mode, SysError& error) {
    std::optional<std::string> path = systemName(scriptName);
    if (!path) {
        error = ENOENT;
        return FileHandle();
    }
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::Append:
            flags |= O_WRONLY | O_APPEND | O_CREAT;
            break;
        case Mode::Truncate:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case Mode::CreateNew:
            flags |= O_WRONLY | O_CREAT | O_EXCL;
            break;
    }
    int fd;
    do {
        fd = ::open(path->c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = lastError();
        return FileHandle();
    }
    FileHandle handle(fd);
    // Opening a folder read-only succeeds on this system; as a file it is an error.
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        error = EISDIR;
        return FileHandle();
    }
    error = 0;
    return handle;
}

IoResult FileHandle::read(char* buffer, size_t size) {
    if (fd_ < 0) return {0, EBADF};
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return {static_cast<size_t>(n), 0};
        if (errno != EINTR) return {0, lastError()};
    }
}

IoResult FileHandle::readAt(char* buffer, size_t size, uint64_t offset) const {
    if (fd_ < 0) return {0, EBADF};
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd_, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return {done, lastError()};
        }
        done += static_cast<size_t>(n);
    }
    return {done, 0};
}

IoResult FileHandle::write(std::string_view bytes) {
    if (fd_ < 0) return {0, EBADF};
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return {done, lastError()};
        }
        if (n == 0) return {done, EIO};
        done += static_cast<size_t>(n);
    }
    return {done, 0};
}

std::optional<size_t> FileHandle::copyTo(FileHandle& target, size_t size) {
    if (fd_ < 0 || target.fd_ < 0) return std::nullopt;
    for (;;) {
        ssize_t n = ::copy_file_range(fd_, nullptr, target.fd_, nullptr, size, 0);
        if (n >= 0) return static_cast<size_t>(n);
        if (errno != EINTR) return std::nullopt;
    }
}

std::optional<uint64_t> FileHandle::size(SysError& error) const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        error = fd_ < 0 ? EBADF : lastError();
        return std::nullopt;
    }
    error = 0;
    return static_cast<uint64_t>(st.st_size);
}

SysError FileHandle::seek(uint64_t position) {
    if (fd_ < 0) return EBADF;
    if (position > static_cast<uint64_t>(INT64_MAX)) return EINVAL;
    return ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0 ? lastError() : 0;
}

SysError FileHandle::truncate(uint64_t length) {
    if (fd_ < 0) return EBADF;
    if (length > static_cast<uint64_t>(INT64_MAX)) return EINVAL;
    return ::ftruncate(fd_, static_cast<off_t>(length)) != 0 ? lastError() : 0;
}

SysError FileHandle::close() {
    if (fd_ < 0) return 0;
    int fd = fd_;
    fd_ = -1;
    // The descriptor is gone whatever close answers, so it is never closed twice.
    return ::close(fd) != 0 && errno != EINTR ? lastError() : 0;
}

SysError removeFile(std::string_view scriptName) {
    std::optional<std::string> path = systemName(scriptName);
    if (!path) return ENOENT;
    return ::unlink(path->c_str()) != 0 ? lastError() : 0;
}

SysError renameFile(std::string_view from, std::string_view to) {
    std::optional<std::string> a = systemName(from);
    std::optional<std::string> b = systemName(to);
    if (!a || !b) return ENOENT;
    if (::renameat2(AT_FDCWD, a->c_str(), AT_FDCWD, b->c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return lastError();
    // A file system that cannot rename without replacing: look first. Another program could
    // create the destination in between, which is the best that can be done there.
    struct stat st;
    if (::lstat(b->c_str(), &st) == 0) return EEXIST;
    return ::rename(a->c_str(), b->c_str()) != 0 ? lastError() : 0;
}

std::optional<std::string> readSystemFile(const std::string& systemPath) {
    std::FILE* f = std::fopen(systemPath.c_str(), "rb");
    if (!f) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    const bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) {
        errno = EIO;
        return std::nullopt;
    }
    return bytes;
}

SysError replaceSystemFile(const std::string& systemPath, std::string_view bytes) {
    // A name of its own for each writer (the process number and a free suffix), so that two
    // programs saving the same file never write into one temporary file.
    const std::string stem = systemPath + ".novo" + std::to_string(::getpid()) + "-";
    std::string temporary;
    int fd = -1;
    for (int n = 0; n < 100 && fd < 0; ++n) {
        temporary = stem + std::to_string(n);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return lastError();
    }
    if (fd < 0) return EEXIST;
    SysError error = 0;
    for (size_t done = 0; done < bytes.size() && error == 0;) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n == 0)
            error = EIO;
        else if (errno != EINTR)
            error = lastError();
    }
    struct stat old;
    if (error == 0 && ::stat(systemPath.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        error = lastError();
    if (::close(fd) != 0 && error == 0) error = lastError();
    if (error == 0 && ::rename(temporary.c_str(), systemPath.c_str()) != 0) error = lastError();
    if (error != 0) ::unlink(temporary.c_str());
    return error;
}

SysError replaceFileByRename(std::string_view from, std::string_view to) {
    std::optional<std::string> a = systemName(from);
    std::optional<std::string> b = systemName(to);
    if (!a || !b) return ENOENT;
    return ::rename(a->c_str(), b->c_str()) != 0 ? lastError() : 0;
}

SysError createDirectory(std::string_view scriptName) {
    std::optional<std::string> path = systemName(scriptName);
    if (!path) return ENOENT;
    return ::mkdir(path->c_str(), 0777) != 0 ? lastError() : 0;
}

SysError removeDirectory(std::string_view scriptName) {
    std::optional<std::string> path = systemName(scriptName);
    if (!path) return ENOENT;
    return ::rmdir(path->c_str()) != 0 ? lastError() : 0;
}

SysError changeDirectory(std::string_view scriptName) {
    std::optional<std::string> path = systemName(scriptName);
    if (!path) return ENOENT;
    return ::chdir(path->c_str()) != 0 ? lastError() : 0;
}

std::string currentDirectory() {
    std::string buffer(256, '\0');
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(std::char_traits<char>::length(buffer.c_str()));
            return text::externalToCp1252(buffer);
        }
        if (errno != ERANGE || buffer.size() > (size_t{1} << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

bool pathExists(std::string_view scriptName) {
    std::optional<std::string> path = systemName(scriptName);
    struct stat st;
    return path && ::lstat(path->c_str(), &st) == 0;
}

bool sameFile(std::string_view a, std::string_view b) {
    std::optional<std::string> pa = systemName(a);
    std::optional<std::string> pb = systemName(b);
    struct stat sa, sb;
    if (!pa || !pb || ::stat(pa->c_str(), &sa) != 0 || ::stat(pb->c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::vector<DirectoryEntry> listDirectory(std::string_view folder, bool withDirectories) {
    std::vector<DirectoryEntry> entries;
    std::optional<std::string> path = systemName(folder);
    if (!path) return entries;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path->c_str()), ::closedir);
    if (!dir) return entries;
    int dirFd = ::dirfd(dir.get());
    while (const dirent* e = ::readdir(dir.get())) {
        if (e->d_name[0] == '.' || e->d_name[0] == '\0') continue;
        bool isFile = e->d_type == DT_REG;
        bool isDirectory = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(dirFd, e->d_name, &st, 0) != 0) continue;
            isFile = S_ISREG(st.st_mode);
            isDirectory = S_ISDIR(st.st_mode);
        }
        if (isFile || (isDirectory && withDirectories))
            entries.push_back({text::externalToCp1252(e->d_name), isDirectory});
    }
    return entries;
}

std::string errorDescription(SysError error) {
    switch (error) {
        case ENOENT:
            return "não existe"_cp;
        case EACCES:
        case EPERM:
            return "permissão negada"_cp;
        case ENOSPC:
            return "o disco está cheio"_cp;
        case EDQUOT:
            return "a cota do disco acabou";
        case EROFS:
            return "o disco só permite leitura"_cp;
        case EISDIR:
            return "é uma pasta"_cp;
        case ENOTDIR:
            return "parte do caminho não é uma pasta"_cp;
        case EEXIST:
            return "já existe"_cp;
        case ENAMETOOLONG:
            return "o nome é longo demais"_cp;
        case ELOOP:
            return "ligações simbólicas demais"_cp;
        case EIO:
            return "erro de leitura ou gravação no disco"_cp;
        default:
            return "erro " + std::to_string(error) + " do sistema";
    }
}

}  // namespace parlendo
