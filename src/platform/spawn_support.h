// What the programs this process starts share: descriptors and pipes with owners, the set-up of a
// posix_spawn, and a guard against SIGPIPE while writing to a pipe. Used by src/platform only.
#pragma once

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <time.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace parlendo::spawn {

// A file descriptor, closed by its owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = o.fd_;
            o.fd_ = -1;
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Fd read, write;
};

inline std::optional<Pipe> makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    return Pipe{Fd(fds[0]), Fd(fds[1])};
}

// The spawn's file actions and attributes, destroyed by their owner.
class SpawnSetup {
public:
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawnattr_init(&attributes_);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    void give(int fd, int target) { ::posix_spawn_file_actions_adddup2(&actions_, fd, target); }
    void nothingOn(int target) {
        ::posix_spawn_file_actions_addopen(&actions_, target, "/dev/null", target == 0 ? O_RDONLY : O_WRONLY,
                                           0);
    }
    void inFolder(const std::string& folder) {
        if (!folder.empty()) ::posix_spawn_file_actions_addchdir_np(&actions_, folder.c_str());
    }
    void ownSession() { flags_ |= POSIX_SPAWN_SETSID; }
    // A process group of its own, made the foreground group of the terminal `fd` before the
    // program starts, so that it reads the terminal and gets the keyboard's signals.
    void foregroundOn(int fd) {
        flags_ |= POSIX_SPAWN_SETPGROUP;
        ::posix_spawnattr_setpgroup(&attributes_, 0);
        ::posix_spawn_file_actions_addtcsetpgrp_np(&actions_, fd);
    }
    // Nothing of ours beyond the three standard descriptors, an empty signal mask and every
    // signal at its default action: the program starts as it would from a shell.
    void cleanStart() {
        ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        ::posix_spawnattr_setsigmask(&attributes_, &none);
        ::posix_spawnattr_setsigdefault(&attributes_, &all);
        flags_ |= POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    }
    // The environment given to the program; the process's own when never set.
    void environment(std::vector<std::string> variables) { environment_ = std::move(variables); }

    // The child's id; nothing when it could not start.
    std::optional<pid_t> spawn(const std::string& path, const std::vector<std::string>& argv) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<char*> env;
        for (std::string& e : environment_) env.push_back(e.data());
        env.push_back(nullptr);
        ::posix_spawnattr_setflags(&attributes_, flags_);
        pid_t pid;
        errno_ = ::posix_spawn(&pid, path.c_str(), &actions_, &attributes_, args.data(),
                               environment_.empty() ? environ : env.data());
        if (errno_ != 0) return std::nullopt;
        return pid;
    }

    // The error of the last spawn that failed (the program's exec failure included).
    int error() const { return errno_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
    short flags_ = 0;
    int errno_ = 0;
    std::vector<std::string> environment_;
};

// Keeps a write to a pipe whose reader has gone from ending the process: SIGPIPE is blocked
// while the guard lives, and one raised meanwhile is taken before it is unblocked.
class PipeSignalGuard {
public:
    PipeSignalGuard() {
        sigemptyset(&pipeOnly_);
        sigaddset(&pipeOnly_, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipeOnly_, &previous_);
    }
    ~PipeSignalGuard() {
        struct timespec none = {0, 0};
        while (::sigtimedwait(&pipeOnly_, nullptr, &none) == SIGPIPE) {
        }
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    PipeSignalGuard(const PipeSignalGuard&) = delete;
    PipeSignalGuard& operator=(const PipeSignalGuard&) = delete;

private:
    sigset_t pipeOnly_;
    sigset_t previous_;
};

}  // namespace parlendo::spawn
