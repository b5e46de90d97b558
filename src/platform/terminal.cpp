// The controlling terminal over termios, poll and signals.
#include "platform/terminal.h"

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>

namespace parlendo {

namespace {

// What a signal handler needs to put the terminal back. Signal handlers can reach nothing but
// globals, so the one open terminal keeps its state here; only async-signal-safe calls touch it
// from a handler.
struct SavedTerminal {
    termios mode{};
    char restoreBytes[256] = {};
    size_t restoreLength = 0;
    int resizePipe[2] = {-1, -1};
};
SavedTerminal gSaved;
volatile sig_atomic_t gActive = 0;
volatile sig_atomic_t gResized = 0;
bool gAtExitRegistered = false;

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};
struct sigaction gOldActions[sizeof kEndingSignals / sizeof kEndingSignals[0]];
struct sigaction gOldResize;

void writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
}

// Async-signal-safe: used by the signal handlers and atexit.
void putTerminalBack() {
    if (!gActive) return;
    gActive = 0;
    writeAll(STDOUT_FILENO, gSaved.restoreBytes, gSaved.restoreLength);
    ::tcsetattr(STDIN_FILENO, TCSADRAIN, &gSaved.mode);
}

void onEndingSignal(int sig) {
    int saved = errno;
    putTerminalBack();
    // The handler was installed with SA_RESETHAND, so the default action is back: raised again,
    // the signal ends the process as it would have without us (a crash still dumps its core).
    ::raise(sig);
    errno = saved;
}

void onResize(int) {
    int saved = errno;
    gResized = 1;
    if (gSaved.resizePipe[1] >= 0) {
        char c = 'r';
        [[maybe_unused]] ssize_t ignored = ::write(gSaved.resizePipe[1], &c, 1);
    }
    errno = saved;
}

void atExit() { putTerminalBack(); }

void drainResizePipe() {
    char buf[64];
    while (gSaved.resizePipe[0] >= 0 && ::read(gSaved.resizePipe[0], buf, sizeof buf) > 0) {
    }
}

}  // namespace

bool standardStreamsAreTerminals() { return ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO); }

bool standardInputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

bool standardErrorIsOutputTerminal() {
    if (!::isatty(STDERR_FILENO) || !::isatty(STDOUT_FILENO)) return false;
    struct stat out {
    }, err{};
    if (::fstat(STDOUT_FILENO, &out) != 0 || ::fstat(STDERR_FILENO, &err) != 0) return false;
    return out.st_rdev == err.st_rdev;
}

std::unique_ptr<RawTerminal> RawTerminal::open() {
    if (gActive || !standardStreamsAreTerminals()) return nullptr;
    termios mode{};
    if (::tcgetattr(STDIN_FILENO, &mode) != 0) return nullptr;
    if (::pipe2(gSaved.resizePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        gSaved.resizePipe[0] = gSaved.resizePipe[1] = -1;
        return nullptr;
    }
    std::unique_ptr<RawTerminal> t(new RawTerminal);
    t->eraseByte_ = mode.c_cc[VERASE] == 8 ? 8 : 127;
    gSaved.mode = mode;
    gSaved.restoreLength = 0;
    gResized = 0;
    gActive = 1;
    if (!gAtExitRegistered) {
        std::atexit(atExit);
        gAtExitRegistered = true;
    }

    struct sigaction act {};
    act.sa_handler = onEndingSignal;
    act.sa_flags = SA_RESETHAND;
    sigemptyset(&act.sa_mask);
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i)
        ::sigaction(kEndingSignals[i], &act, &gOldActions[i]);
    struct sigaction resize {};
    resize.sa_handler = onResize;
    resize.sa_flags = SA_RESTART;
    sigemptyset(&resize.sa_mask);
    ::sigaction(SIGWINCH, &resize, &gOldResize);
    return t;
}

RawTerminal::~RawTerminal() { restore(); }

void RawTerminal::restore() {
    if (restored_) return;
    restored_ = true;
    if (gActive) {
        gActive = 0;
        ::tcsetattr(STDIN_FILENO, TCSADRAIN, &gSaved.mode);
    }
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i)
        ::sigaction(kEndingSignals[i], &gOldActions[i], nullptr);
    ::sigaction(SIGWINCH, &gOldResize, nullptr);
    for (int& fd : gSaved.resizePipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void RawTerminal::suspend() {
    if (!restored_) ::tcsetattr(STDIN_FILENO, TCSADRAIN, &gSaved.mode);
}

bool RawTerminal::enterRawMode() {
    termios t{};
    if (::tcgetattr(STDIN_FILENO, &t) != 0) return false;
    t.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB)) | CS8;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(STDIN_FILENO, TCSADRAIN, &t) == 0;
}

void RawTerminal::setRestoreBytes(std::string_view bytes) {
    size_t n = bytes.size() < sizeof gSaved.restoreBytes ? bytes.size() : sizeof gSaved.restoreBytes - 1;
    // Not atomic with respect to a handler; a signal arriving during this copy restores only the
    // mode, which is still the part that matters most.
    gSaved.restoreLength = 0;
    std::memcpy(gSaved.restoreBytes, bytes.data(), n);
    gSaved.restoreLength = n;
}

TerminalSize RawTerminal::size() const {
    TerminalSize s;
    winsize w{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 0 && w.ws_row > 0) {
        s.columns = w.ws_col;
        s.rows = w.ws_row;
        if (w.ws_xpixel > 0 && w.ws_ypixel > 0) {
            s.cellWidth = w.ws_xpixel / w.ws_col;
            s.cellHeight = w.ws_ypixel / w.ws_row;
        }
    }
    return s;
}

RawTerminal::Wait RawTerminal::wait(int timeoutMs) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {gSaved.resizePipe[0], POLLIN, 0}};
    int n = ::poll(fds, gSaved.resizePipe[0] >= 0 ? 2 : 1, timeoutMs);
    if (gResized) return Wait::Resized;
    if (n < 0) return Wait::Input;  // interrupted: the caller reads, finds nothing and waits again
    if (n == 0) return Wait::TimedOut;
    if (fds[0].revents) return Wait::Input;
    return Wait::Resized;
}

std::optional<std::string> RawTerminal::readAvailable() {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    int n = ::poll(&fd, 1, 0);
    if (n <= 0) return std::string();
    if (fd.revents & POLLNVAL) return std::nullopt;
    char buf[4096];
    for (;;) {
        ssize_t r = ::read(STDIN_FILENO, buf, sizeof buf);
        if (r > 0) return std::string(buf, static_cast<size_t>(r));
        if (r == 0) return std::nullopt;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return std::string();
        return std::nullopt;  // EIO: the terminal hung up
    }
}

bool RawTerminal::takeResized() {
    if (!gResized) return false;
    gResized = 0;
    drainResizePipe();
    return true;
}

int RawTerminal::inputHandle() const { return STDIN_FILENO; }

void RawTerminal::write(std::string_view bytes) { writeAll(STDOUT_FILENO, bytes.data(), bytes.size()); }

bool useUtf8Characters() {
    if (std::setlocale(LC_CTYPE, "") && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return true;
    return std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
}

}  // namespace parlendo
