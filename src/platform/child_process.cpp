// Helper programs through posix_spawn, with pipes owned by the caller and every child reaped.
#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "platform/spawn_support.h"

extern char** environ;

namespace parlendo {

namespace {

using Clock = std::chrono::steady_clock;
using spawn::Fd;
using spawn::makePipe;
using spawn::Pipe;
using spawn::PipeSignalGuard;
using spawn::SpawnSetup;

// A running child, waited for by its owner; killed first when it has not ended by then.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The exit status once it ends before the deadline; nothing otherwise.
    std::optional<int> waitUntil(Clock::time_point deadline) {
        for (;;) {
            int status = 0;
            pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (r < 0 && errno != EINTR) {
                pid_ = -1;
                return std::nullopt;
            }
            if (Clock::now() >= deadline) return std::nullopt;
            struct timespec pause = {0, 5'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }

private:
    pid_t pid_;
};

int millisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

std::optional<std::string> findProgram(std::string_view name) {
    if (name.empty()) return std::nullopt;
    auto executable = [](const std::string& path) {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string_view::npos) {
        std::string path(name);
        if (executable(path)) return path;
        return std::nullopt;
    }
    const char* pathList = std::getenv("PATH");
    std::string_view dirs = pathList && *pathList ? pathList : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        std::string path = std::string(dir.empty() ? "." : dir) + "/" + std::string(name);
        if (executable(path)) return path;
    }
    return std::nullopt;
}

std::optional<std::string> runForOutput(const std::vector<std::string>& argv, int timeoutMs,
                                        size_t maxBytes) {
    if (argv.empty()) return std::nullopt;
    std::optional<std::string> path = findProgram(argv[0]);
    std::optional<Pipe> out = makePipe();
    if (!path || !out) return std::nullopt;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::optional<pid_t> pid;
    {
        SpawnSetup setup;
        setup.nothingOn(0);
        setup.give(out->write.get(), 1);
        setup.nothingOn(2);
        pid = setup.spawn(*path, argv);
    }
    if (!pid) return std::nullopt;
    Child child(*pid);
    out->write.reset();
    std::string text;
    char buffer[4096];
    for (;;) {
        struct pollfd p = {out->read.get(), POLLIN, 0};
        int ready = ::poll(&p, 1, millisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        ssize_t n = ::read(out->read.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, std::min(static_cast<size_t>(n), maxBytes - std::min(maxBytes, text.size())));
    }
    std::optional<int> status = child.waitUntil(deadline);
    if (!status || *status != 0) return std::nullopt;
    return text;
}

bool runWithInput(const std::vector<std::string>& argv, std::string_view input, int timeoutMs) {
    if (argv.empty()) return false;
    std::optional<std::string> path = findProgram(argv[0]);
    std::optional<Pipe> in = makePipe();
    if (!path || !in) return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::optional<pid_t> pid;
    {
        SpawnSetup setup;
        setup.give(in->read.get(), 0);
        // A server left behind by the tool must not hold a pipe of ours open.
        setup.nothingOn(1);
        setup.nothingOn(2);
        pid = setup.spawn(*path, argv);
    }
    if (!pid) return false;
    Child child(*pid);
    in->read.reset();
    bool written = true;
    {
        PipeSignalGuard guard;
        while (!input.empty()) {
            struct pollfd p = {in->write.get(), POLLOUT, 0};
            int ready = ::poll(&p, 1, millisecondsLeft(deadline));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) {
                written = false;
                break;
            }
            ssize_t n = ::write(in->write.get(), input.data(), input.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                written = false;
                break;
            }
            input.remove_prefix(static_cast<size_t>(n));
        }
        in->write.reset();
    }
    std::optional<int> status = child.waitUntil(deadline);
    return written && status && *status == 0;
}

bool startDetached(const std::vector<std::string>& argv, const std::string& folder) {
    if (argv.empty()) return false;
    std::optional<std::string> path = findProgram(argv[0]);
    std::optional<std::string> shell = findProgram("/bin/sh");
    if (!path || !shell) return false;
    // A shell in a session of its own starts the program in the background and ends at once:
    // the program is handed to init and never becomes our zombie.
    std::vector<std::string> args = {"sh", "-c", "\"$0\" \"$@\" </dev/null >/dev/null 2>&1 &", *path};
    args.insert(args.end(), argv.begin() + 1, argv.end());
    std::optional<pid_t> pid;
    {
        SpawnSetup setup;
        setup.nothingOn(0);
        setup.nothingOn(1);
        setup.nothingOn(2);
        setup.inFolder(folder);
        setup.ownSession();
        pid = setup.spawn(*shell, args);
    }
    if (!pid) return false;
    Child child(*pid);
    std::optional<int> status = child.waitUntil(Clock::now() + std::chrono::seconds(5));
    return status && *status == 0;
}

}  // namespace parlendo
