// The braille display through BrlAPI, on a thread of its own: it connects (and reconnects after
// brltty went away), shows the latest cells given and collects the keys. The console's thread
// only hands over cells and takes keys under a mutex, so it never waits for the daemon.
#include "platform/braille_display.h"

#define BRLAPI_NO_DEPRECATED
#define BRLAPI_NO_SINGLE_SESSION
#include <brlapi.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "platform/shared_library.h"

namespace parlendo {

namespace {

constexpr const char* kBrlapiLibrary = "libbrlapi.so.0.8";
// More cells than any display has: a size past it is taken for a broken answer.
constexpr unsigned kMostCells = 4096;
constexpr int kPollMs = 40;
// The display's size is asked again every this many rounds of kPollMs (about a second).
constexpr int kSizeRounds = 25;

#define PARLENDO_BRLAPI_CALLS(X)    \
    X(brlapi_getHandleSize)         \
    X(brlapi__openConnection)       \
    X(brlapi__closeConnection)      \
    X(brlapi__setExceptionHandler)  \
    X(brlapi__enterTtyMode)         \
    X(brlapi__enterTtyModeWithPath) \
    X(brlapi__getDisplaySize)       \
    X(brlapi__writeDots)            \
    X(brlapi__readKey)              \
    X(brlapi__setParameter)

struct BrlapiCalls {
#define PARLENDO_BRLAPI_POINTER(name) decltype(&::name) name = nullptr;  // NOLINT(bugprone-macro-parentheses)
    PARLENDO_BRLAPI_CALLS(PARLENDO_BRLAPI_POINTER)
#undef PARLENDO_BRLAPI_POINTER
};

// The library's functions, loaded once; null when it or one of them is missing.
const BrlapiCalls* brlapiCalls() {
    static const std::optional<BrlapiCalls> loaded = []() -> std::optional<BrlapiCalls> {
        std::string error;
        std::optional<SharedLibrary> library = SharedLibrary::load(kBrlapiLibrary, error);
        if (!library) return std::nullopt;
        BrlapiCalls c;
        bool ok = true;
#define PARLENDO_BRLAPI_RESOLVE(name) ok = ok && library->resolve(c.name, #name, error);
        PARLENDO_BRLAPI_CALLS(PARLENDO_BRLAPI_RESOLVE)
#undef PARLENDO_BRLAPI_RESOLVE
        if (!ok) return std::nullopt;
        return c;
    }();
    return loaded ? &*loaded : nullptr;
}

// The library's own handler ends the process on an error the daemon reports; a refused write is
// no reason for that. A lost connection shows itself in the next call, which fails.
void BRLAPI_STDCALL ignoreException(brlapi_handle_t*, int, brlapi_packetType_t, const void*, size_t) {}

std::optional<BrailleKey> keyOf(brlapi_keyCode_t code) {
    const brlapi_keyCode_t type = code & BRLAPI_KEY_TYPE_MASK;
    if (type == BRLAPI_KEY_TYPE_SYM) {
        switch (code & BRLAPI_KEY_CODE_MASK) {
            case BRLAPI_KEY_SYM_UP:
                return BrailleKey{BrailleKey::LineUp};
            case BRLAPI_KEY_SYM_DOWN:
                return BrailleKey{BrailleKey::LineDown};
            case BRLAPI_KEY_SYM_BACKSPACE:
                return BrailleKey{BrailleKey::Dots, BRLAPI_DOT7};
            case BRLAPI_KEY_SYM_LINEFEED:
                return BrailleKey{BrailleKey::Dots, BRLAPI_DOT8};
            case BRLAPI_KEY_SYM_ESCAPE:
                return BrailleKey{BrailleKey::Dots, BRLAPI_DOT7 | BRLAPI_DOT8};
            case ' ':
                return BrailleKey{BrailleKey::Dots, BRLAPI_DOTC};
            default:
                break;
        }
        // A Latin-1 character, which Windows-1252 has at the same code from 160 up.
        const brlapi_keyCode_t c = code & BRLAPI_KEY_CODE_MASK;
        if ((c > ' ' && c < 0x7F) || (c >= 0xA0 && c <= 0xFF))
            return BrailleKey{BrailleKey::Character, static_cast<int>(c)};
        return std::nullopt;
    }
    if (type != BRLAPI_KEY_TYPE_CMD) return std::nullopt;
    const brlapi_keyCode_t block = code & BRLAPI_KEY_CMD_BLK_MASK;
    const int argument = static_cast<int>(code & BRLAPI_KEY_CMD_ARG_MASK);
    if (block == BRLAPI_KEY_CMD_ROUTE) return BrailleKey{BrailleKey::Route, argument};
    if (block == BRLAPI_KEY_CMD_PASSDOTS) return BrailleKey{BrailleKey::Dots, argument & 0x1FF};
    if (block != 0) return std::nullopt;
    switch (code & BRLAPI_KEY_CODE_MASK) {
        case BRLAPI_KEY_CMD_LNUP:
        case BRLAPI_KEY_CMD_PRDIFLN:
        case BRLAPI_KEY_CMD_FWINLT:
            return BrailleKey{BrailleKey::LineUp};
        case BRLAPI_KEY_CMD_LNDN:
        case BRLAPI_KEY_CMD_NXDIFLN:
        case BRLAPI_KEY_CMD_FWINRT:
            return BrailleKey{BrailleKey::LineDown};
        default:
            return std::nullopt;
    }
}

// What the console's thread and the display's thread share.
struct Shared {
    std::mutex m;
    std::condition_variable wake;
    bool stop = false;
    bool finished = false;
    std::optional<std::vector<uint8_t>> pending;  // the latest cells not shown yet
    std::vector<BrailleKey> keys;
    std::atomic<int> cells{0};
    std::atomic<unsigned> connection{0};
};

class Connection {
public:
    Connection(const BrlapiCalls& api, const BrailleDisplayOptions& options)
        : api_(api), handle_(api.brlapi_getHandleSize()), options_(options) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() { close(); }

    // Connects and takes the display; the number of cells, or nothing.
    std::optional<unsigned> open() {
        brlapi_connectionSettings_t settings = BRLAPI_SETTINGS_INITIALIZER;
        settings.host = options_.host.empty() ? nullptr : const_cast<char*>(options_.host.c_str());
        settings.auth = options_.auth.empty() ? nullptr : const_cast<char*>(options_.auth.c_str());
        fd_ = api_.brlapi__openConnection(handle(), &settings, nullptr);
        if (fd_ < 0) return std::nullopt;
        api_.brlapi__setExceptionHandler(handle(), ignoreException);
        // The dots typed, not the characters brltty's own table would make of them: the console's
        // table of the display's keys says what they are. Dots that brltty turns into characters
        // all the same (those its virtual driver passes on) come as the characters.
        brlapi_param_retainDots_t retain = 1;
        api_.brlapi__setParameter(handle(), BRLAPI_PARAM_RETAIN_DOTS, 0, BRLAPI_PARAMF_LOCAL, &retain,
                                  sizeof retain);
        // The terminal brltty follows (a virtual console, or an X window through $WINDOWID);
        // where there is none, the display is taken at the top of brltty's tree of terminals.
        if (api_.brlapi__enterTtyMode(handle(), BRLAPI_TTY_DEFAULT, nullptr) < 0 &&
            api_.brlapi__enterTtyModeWithPath(handle(), nullptr, 0, nullptr) < 0) {
            close();
            return std::nullopt;
        }
        if (!querySize()) {
            close();
            return std::nullopt;
        }
        return size_;
    }

    // Asks the size again: a display can come to brltty after the connection, or change. False
    // when the connection is lost.
    bool querySize() {
        unsigned x = 0, y = 0;
        if (api_.brlapi__getDisplaySize(handle(), &x, &y) < 0) return false;
        size_ = x * std::max(y, 1U);
        if (x > kMostCells || y > kMostCells || size_ > kMostCells) size_ = 0;
        return true;
    }
    unsigned size() const { return size_; }

    bool show(const std::vector<uint8_t>& dots) {
        if (size_ == 0) return true;
        std::vector<unsigned char> cells(dots.begin(), dots.begin() + std::min<size_t>(dots.size(), size_));
        cells.resize(size_, 0);
        return api_.brlapi__writeDots(handle(), cells.data()) >= 0;
    }

    // Waits a moment for keys; false when the connection is lost.
    bool readKeys(std::vector<BrailleKey>& into) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0) return true;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        for (;;) {
            brlapi_keyCode_t code = 0;
            int r = api_.brlapi__readKey(handle(), 0, &code);
            if (r < 0) return false;
            if (r == 0) return true;
            if (std::optional<BrailleKey> key = keyOf(code)) into.push_back(*key);
        }
    }

    void close() {
        if (fd_ >= 0) api_.brlapi__closeConnection(handle());
        fd_ = -1;
        size_ = 0;
    }

private:
    brlapi_handle_t* handle() { return reinterpret_cast<brlapi_handle_t*>(handle_.data()); }

    const BrlapiCalls& api_;
    std::vector<unsigned char> handle_;
    BrailleDisplayOptions options_;
    int fd_ = -1;
    unsigned size_ = 0;
};

void serve(const std::shared_ptr<Shared>& s, const BrailleDisplayOptions& options) {
    // A write to a daemon that has just died must not end the program: the broken pipe is kept
    // from this thread, and the failed write tells of the loss.
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, nullptr);
    const BrlapiCalls* api = brlapiCalls();
    std::unique_lock lock(s->m);
    while (api && !s->stop) {
        lock.unlock();
        Connection c(*api, options);
        std::optional<unsigned> size = c.open();
        lock.lock();
        if (!size) {
            s->wake.wait_for(lock, std::chrono::milliseconds(options.retryMs), [&] { return s->stop; });
            continue;
        }
        s->cells = static_cast<int>(*size);
        ++s->connection;
        bool alive = true;
        for (int round = 1; alive && !s->stop; ++round) {
            std::optional<std::vector<uint8_t>> dots = std::exchange(s->pending, std::nullopt);
            lock.unlock();
            std::vector<BrailleKey> keys;
            alive = (!dots || c.show(*dots)) && c.readKeys(keys);
            const unsigned before = c.size();
            if (alive && round % kSizeRounds == 0) alive = c.querySize();
            lock.lock();
            if (c.size() != before) {
                s->cells = static_cast<int>(c.size());
                ++s->connection;
            }
            s->keys.insert(s->keys.end(), keys.begin(), keys.end());
        }
        s->cells = 0;
        lock.unlock();
        c.close();
        lock.lock();
    }
    s->finished = true;
    s->wake.notify_all();
}

class BrlapiDisplay final : public BrailleDisplay {
public:
    explicit BrlapiDisplay(const BrailleDisplayOptions& options) : shared_(std::make_shared<Shared>()) {
        std::thread([s = shared_, options] { serve(s, options); }).detach();
    }
    BrlapiDisplay(const BrlapiDisplay&) = delete;
    BrlapiDisplay& operator=(const BrlapiDisplay&) = delete;
    // The thread is told to stop and given a moment; one held inside the library by a daemon
    // that stopped answering is left behind with the state it shares.
    ~BrlapiDisplay() override {
        std::unique_lock lock(shared_->m);
        shared_->stop = true;
        shared_->wake.notify_all();
        shared_->wake.wait_for(lock, std::chrono::seconds(1), [&] { return shared_->finished; });
    }

    int cells() const override { return shared_->cells; }
    unsigned connection() const override { return shared_->connection; }

    void show(std::vector<uint8_t> dots) override {
        std::lock_guard lock(shared_->m);
        shared_->pending = std::move(dots);
    }

    std::vector<BrailleKey> takeKeys() override {
        std::lock_guard lock(shared_->m);
        return std::exchange(shared_->keys, {});
    }

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace

std::unique_ptr<BrailleDisplay> openBrailleDisplay(const BrailleDisplayOptions& options) {
    return std::make_unique<BrlapiDisplay>(options);
}

}  // namespace parlendo
