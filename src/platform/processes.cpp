// Started programs over posix_spawn, and the process list over /proc.
#include "platform/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/child_process.h"
#include "platform/spawn_support.h"

namespace parlendo {

namespace {

using spawn::Fd;
using spawn::SpawnSetup;

// A child that does not take its input within this time is not reading it: the rest of the line
// is given up rather than hanging the script.
constexpr int kConsoleWriteTimeoutMs = 2000;
// A program asked to stop gets this long to end (a recorder finishes its file) before it and what
// is left of its group are killed; looked at this often meanwhile.
constexpr auto kStopGrace = std::chrono::milliseconds(2000);
constexpr auto kStopLook = std::chrono::milliseconds(10);

// An address to open with the desktop's handler: "www." or a scheme of two or more letters
// followed by ":" ("http://", "mailto:"). One letter and a colon is a drive, not a scheme.
bool isAddress(std::string_view s) {
    if (text::startsWithUpper(s, "WWW.")) return true;
    size_t colon = s.find(':');
    if (colon == std::string_view::npos || colon < 2) return false;
    for (size_t i = 0; i < colon; ++i) {
        char c = s[i];
        bool ok = text::isAsciiLetter(c) || (i > 0 && (text::isDigit(c) || c == '+' || c == '-' || c == '.'));
        if (!ok) return false;
    }
    return true;
}

// The environment without the variables that lead a program to a display.
std::vector<std::string> environmentWithoutDisplay() {
    std::vector<std::string> kept;
    for (char** e = environ; *e; ++e) {
        std::string_view v(*e);
        if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
        kept.emplace_back(v);
    }
    if (kept.empty()) kept.emplace_back("PARLENDO_HIDDEN=1");  // an empty list means our own
    return kept;
}

// Makes `group` the terminal's foreground process group. A process outside the foreground
// group that does this gets SIGTTOU unless it blocks it, as shells do.
void giveForeground(int terminal, pid_t group) {
    sigset_t ttou, previous;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    ::pthread_sigmask(SIG_BLOCK, &ttou, &previous);
    ::tcsetpgrp(terminal, group);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// Reads a small file of /proc below the folder `dir`; nothing when it cannot be read.
bool readProcFile(int dir, const char* name, char* buf, size_t size, size_t& length) {
    int fd = ::openat(dir, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ssize_t n;
    do n = ::read(fd, buf, size);
    while (n < 0 && errno == EINTR);
    ::close(fd);
    if (n < 0) return false;
    length = static_cast<size_t>(n);
    return true;
}

// Calls visit(dir, id) for each process of /proc (`id` is its folder's name, read below `dir`)
// until one call answers true; true when one did.
template <class Visit>
bool anyProcess(Visit visit) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return false;
    const int dir = ::dirfd(proc);
    bool found = false;
    while (!found) {
        dirent* entry = ::readdir(proc);
        if (!entry) break;
        const char* id = entry->d_name;
        if (*id >= '1' && *id <= '9') found = visit(dir, id);
    }
    ::closedir(proc);
    return found;
}

// A path of the system as Windows-1252: plain ASCII needs no conversion.
std::string_view asCp1252(std::string_view utf8, std::string& storage) {
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) {
            storage = text::externalToCp1252(utf8);
            return storage;
        }
    return utf8;
}

class SystemProcesses final : public Processes {
public:
    ~SystemProcesses() override { reap(); }

    ProgramKind classify(std::string_view program) override {
        std::string utf8 = text::cp1252ToUtf8(program);
        if (utf8.empty()) return {};
        if (std::optional<std::string> path = findProgram(utf8)) return {ProgramKind::Executable, *path};
        struct stat st;
        if (isAddress(utf8) || ::stat(utf8.c_str(), &st) == 0) return {ProgramKind::Document, {}};
        return {};
    }

    bool runWaited(const std::vector<std::string>& argv, int terminal, int* exitStatus) override {
        reap();
        std::optional<std::string> path = argv.empty() ? std::nullopt : findProgram(argv[0]);
        if (!path) return false;
        // The terminal is handed over only when this process holds its foreground: a program
        // run in the background of a shell keeps the terminal it was given.
        const bool handed = terminal >= 0 && ::tcgetpgrp(terminal) == ::getpgrp();
        std::optional<pid_t> pid;
        {
            SpawnSetup setup;
            setup.cleanStart();
            if (handed) setup.foregroundOn(terminal);
            pid = setup.spawn(*path, argv);
        }
        if (!pid) return false;
        for (;;) {
            int status = 0;
            pid_t r = ::waitpid(*pid, &status, WUNTRACED);
            if (r < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (exitStatus && WIFEXITED(status)) *exitStatus = WEXITSTATUS(status);
            if (exitStatus && WIFSIGNALED(status)) *exitStatus = 128 + WTERMSIG(status);
            if (WIFSTOPPED(status)) {
                // Stopped from the keyboard: there is no shell to bring it back, and the user
                // cannot reach the console while it holds the terminal, so it goes on at once.
                if (handed) giveForeground(terminal, *pid);
                ::kill(-*pid, SIGCONT);
                ::kill(*pid, SIGCONT);
                continue;
            }
            break;
        }
        if (handed) giveForeground(terminal, ::getpgrp());
        return true;
    }

    std::optional<int> startDetached(const std::vector<std::string>& argv, bool hidden) override {
        reap();
        std::optional<std::string> path = argv.empty() ? std::nullopt : findProgram(argv[0]);
        if (!path) return std::nullopt;
        SpawnSetup setup;
        setup.nothingOn(0);
        setup.nothingOn(1);
        setup.nothingOn(2);
        setup.ownSession();
        setup.cleanStart();
        if (hidden) setup.environment(environmentWithoutDisplay());
        std::optional<pid_t> pid = setup.spawn(*path, argv);
        if (!pid) return std::nullopt;
        children_.push_back({*pid, ++lastNumber_});
        return lastNumber_;
    }

    Started started(int number) override {
        reap();
        if (number < 1 || number > lastNumber_) return Started::Unknown;
        return findNumbered(number) ? Started::Running : Started::Ended;
    }

    bool stopStarted(int number) override {
        reap();
        if (number < 1 || number > lastNumber_) return false;
        const Child* child = findNumbered(number);
        if (!child) return true;
        const pid_t leader = child->pid;
        // The program leads the session and the process group it was started in (a session
        // leader cannot leave its group), and until it is reaped no other process can take its
        // number: signalling the group reaches only what it started.
        ::kill(-leader, SIGTERM);
        bool gone = false, ours = true;
        for (auto deadline = std::chrono::steady_clock::now() + kStopGrace;
             std::chrono::steady_clock::now() < deadline;) {
            siginfo_t info{};
            int r;
            do r = ::waitid(P_PID, static_cast<id_t>(leader), &info, WEXITED | WNOHANG | WNOWAIT);
            while (r < 0 && errno == EINTR);
            if (r < 0) {  // not our child any more: nothing may be signalled
                ours = false;
                break;
            }
            if (info.si_pid == leader && !groupHasOthers(leader)) {
                gone = true;
                break;
            }
            std::this_thread::sleep_for(kStopLook);
        }
        if (ours && !gone) ::kill(-leader, SIGKILL);
        if (ours) {
            pid_t r;
            do r = ::waitpid(leader, nullptr, 0);
            while (r < 0 && errno == EINTR);
        }
        std::erase_if(children_, [&](const Child& c) { return c.pid == leader; });
        return true;
    }

    bool startConsole(const std::vector<std::string>& argv) override {
        reap();
        input_.reset();
        output_.reset();
        error_.reset();
        pipeText_[0].clear();
        pipeText_[1].clear();
        std::optional<std::string> path = argv.empty() ? std::nullopt : findProgram(argv[0]);
        if (!path) return false;
        std::optional<spawn::Pipe> in = spawn::makePipe(), out = spawn::makePipe(), err = spawn::makePipe();
        if (!in || !out || !err) return false;
        std::optional<pid_t> pid;
        {
            SpawnSetup setup;
            setup.give(in->read.get(), 0);
            setup.give(out->write.get(), 1);
            setup.give(err->write.get(), 2);
            setup.ownSession();
            setup.cleanStart();
            pid = setup.spawn(*path, argv);
        }
        if (!pid) return false;
        children_.push_back({*pid, 0});
        for (int fd : {in->write.get(), out->read.get(), err->read.get()})
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        input_ = std::move(in->write);
        output_ = std::move(out->read);
        error_ = std::move(err->read);
        return true;
    }

    bool writeConsole(std::string_view text) override {
        if (input_.get() < 0) return false;
        std::string utf8 = text::cp1252ToUtf8(text);
        std::string_view left = utf8;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kConsoleWriteTimeoutMs);
        spawn::PipeSignalGuard guard;
        while (!left.empty()) {
            ssize_t n = ::write(input_.get(), left.data(), left.size());
            if (n > 0) {
                left.remove_prefix(static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return false;  // EPIPE: the child has gone
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (wait.count() <= 0) return false;
            pollfd p = {input_.get(), POLLOUT, 0};
            ::poll(&p, 1, static_cast<int>(wait.count()));
        }
        return true;
    }

    std::string readConsole(int stream, size_t maxBytes) override {
        Fd& fd = stream == 2 ? error_ : output_;
        PipeText& text = pipeText_[stream == 2 ? 1 : 0];
        if (fd.get() < 0 || maxBytes == 0) return {};
        std::string bytes;
        bool ended = false;
        char buffer[16384];
        while (bytes.size() < maxBytes) {
            size_t want = std::min(sizeof buffer, maxBytes - bytes.size());
            ssize_t n = ::read(fd.get(), buffer, want);
            if (n < 0 && errno == EINTR) continue;
            ended = n == 0;
            if (n <= 0) break;
            bytes.append(buffer, static_cast<size_t>(n));
        }
        return text.take(bytes, ended);
    }

    bool isRunning(std::string_view name) override {
        reap();
        const std::string upper = text::upperCase(text::trim(name));
        if (upper.empty()) return false;
        char link[4096], file[300], buf[4096];
        std::string storage;
        return anyProcess([&](int dir, const char* id) {
            std::snprintf(file, sizeof file, "%s/exe", id);
            ssize_t n = ::readlinkat(dir, file, link, sizeof link);
            if (n > 0) {
                std::string_view path(link, static_cast<size_t>(n));
                // A program replaced on disk while it runs is listed with this mark.
                constexpr std::string_view kDeleted = " (deleted)";
                if (path.size() > kDeleted.size() && path.substr(path.size() - kDeleted.size()) == kDeleted)
                    path.remove_suffix(kDeleted.size());
                return programNameMatches(upper, asCp1252(path, storage)) &&
                       !isZombie(dir, id, buf, sizeof buf);
            }
            // No executable at all: a kernel thread, or a zombie; neither is a running program.
            if (errno != EACCES && errno != EPERM) return false;
            // Another user's process: its name from the status line and the command line instead.
            std::snprintf(file, sizeof file, "%s/stat", id);
            size_t length = 0;
            if (!readProcFile(dir, file, buf, sizeof buf, length)) return false;
            std::string_view stat(buf, length);
            size_t open = stat.find('('), close = stat.rfind(')');
            if (open == std::string_view::npos || close == std::string_view::npos || close < open)
                return false;
            if (close + 2 < stat.size() && (stat[close + 2] == 'Z' || stat[close + 2] == 'X')) return false;
            if (programNameMatches(upper, asCp1252(stat.substr(open + 1, close - open - 1), storage)))
                return true;
            std::snprintf(file, sizeof file, "%s/cmdline", id);
            if (!readProcFile(dir, file, buf, sizeof buf, length) || length == 0) return false;
            std::string_view first(buf, strnlen(buf, length));
            return !first.empty() && programNameMatches(upper, asCp1252(first, storage));
        });
    }

    void reap() override {
        std::erase_if(children_, [](const Child& child) {
            pid_t r;
            do r = ::waitpid(child.pid, nullptr, WNOHANG);
            while (r < 0 && errno == EINTR);
            return r != 0;  // ended and reaped, or not ours any more
        });
    }

private:
    // A child not yet reaped; `number` is what startDetached gave it, 0 for the child console.
    struct Child {
        pid_t pid;
        int number;
    };

    const Child* findNumbered(int number) const {
        for (const Child& c : children_)
            if (c.number == number) return &c;
        return nullptr;
    }

    // Whether a process other than the group's leader, and not a zombie, is still in the group.
    static bool groupHasOthers(pid_t group) {
        char file[300], buf[1024];
        return anyProcess([&](int dir, const char* id) {
            std::snprintf(file, sizeof file, "%s/stat", id);
            size_t length = 0;
            if (!readProcFile(dir, file, buf, sizeof buf - 1, length)) return false;
            buf[length] = '\0';
            // After the name in parentheses: state, parent, group.
            const char* close = std::strrchr(buf, ')');
            char state = 0;
            long parent = 0, pgrp = 0;
            if (!close || std::sscanf(close + 1, " %c %ld %ld", &state, &parent, &pgrp) != 3) return false;
            return pgrp == group && std::atol(id) != group && state != 'Z' && state != 'X';
        });
    }

    static bool isZombie(int dir, const char* id, char* buf, size_t size) {
        char file[300];
        std::snprintf(file, sizeof file, "%s/stat", id);
        size_t length = 0;
        if (!readProcFile(dir, file, buf, size, length)) return true;  // gone meanwhile
        std::string_view stat(buf, length);
        size_t close = stat.rfind(')');
        return close != std::string_view::npos && close + 2 < stat.size() &&
               (stat[close + 2] == 'Z' || stat[close + 2] == 'X');
    }

    std::vector<Child> children_;
    int lastNumber_ = 0;  // given by the last start that succeeded
    Fd input_, output_, error_;
    PipeText pipeText_[2];
};

}  // namespace

// The length of the end of `bytes` that may be the start of a UTF-8 sequence still to come.
static size_t incompleteUtf8Tail(std::string_view bytes) {
    for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        unsigned char c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        char32_t cp = 0;
        size_t length = 0;
        const text::Utf8Prefix p = text::decodeUtf8Prefix(bytes, bytes.size() - back, cp, length);
        return p == text::Utf8Prefix::Incomplete ? back : 0;
    }
    return 0;
}

std::string PipeText::take(std::string_view bytes, bool ended) {
    std::string all = std::move(held_);
    held_.clear();
    all.append(bytes);
    if (!ended) {
        size_t tail = incompleteUtf8Tail(all);
        held_ = all.substr(all.size() - tail);
        all.resize(all.size() - tail);
    }
    return text::externalToCp1252(all);
}

std::unique_ptr<Processes> createProcesses() { return std::make_unique<SystemProcesses>(); }

bool programNameMatches(std::string_view upperName, std::string_view path) {
    if (upperName.empty() || path.empty()) return false;
    size_t slash = path.find_last_of('/');
    std::string_view fileName = slash == std::string_view::npos ? path : path.substr(slash + 1);
    auto matches = [&](std::string_view name) {
        return text::equalsUpper(fileName, name) || text::equalsUpper(path, name);
    };
    if (matches(upperName)) return true;
    constexpr std::string_view kExe = ".EXE";
    return upperName.size() > kExe.size() && upperName.substr(upperName.size() - kExe.size()) == kExe &&
           matches(upperName.substr(0, upperName.size() - kExe.size()));
}

}  // namespace parlendo
