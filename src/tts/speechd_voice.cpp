// speech-dispatcher through libspeechd (engine types 5 and 54).
//
// libspeechd has no time limits: a server that lost its sound card never ends a text, and the
// next call then waits for ever; a client can hang inside spd_open2 itself. So every libspeechd
// call is made on a thread of the engine's own, and the interpreter's thread only posts commands
// and reads the state they leave, under a mutex, never waiting more than a few milliseconds. A
// watchdog on the interpreter's side looks at the clock: a command unanswered too long, a text
// whose end is long overdue, or a connection the server dropped, and the engine is given up for
// the run. The state lives in a shared_ptr held by the thread too, so that a thread stuck for
// ever is left behind (detached, never joined) and finds its state alive should it ever return.
//
// Mapping of the settings:
//   voice number  the n-th synthesis voice of language pt-BR (any letter case) of the current
//                 output module, in the server's order; below 1 or past their count the first
//                 one, and speed 0. With no pt-BR voice the language stays pt-BR and the module
//                 picks its own voice.
//   speed         rate = speed x 10, held to -100...100 (speed 5 is rate 50, -3 is -30).
//   pitch         not used.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <speech-dispatcher/libspeechd.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/shared_library.h"
#include "text/cp1252.h"
#include "text/cp1252_literal.h"
#include "tts/system_voices.h"

namespace parlendo {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How long open waits for the outcome of the connection (a missing server is known at once).
constexpr std::chrono::milliseconds kOpenGlance{20};
// How long close waits for the thread to close the connection before leaving it behind.
constexpr std::chrono::milliseconds kCloseWait{100};
// How many ended messages are remembered for a reply that comes after its message's end.
constexpr size_t kEndedKept = 16;

constexpr const char* kClientName = "sintonix";
constexpr const char* kLanguage = "pt-BR";

const std::string kNoAnswer = "Servidor de fala não respondeu; usando a voz interna."_cp;

// libspeechd is loaded at the first open, not at start-up: it brings glib along, which a run
// that never speaks through the server need not map, and a machine without it still runs the
// program with its other voices. Its header gives the types; these are the functions taken.
constexpr const char* kSpeechdLibrary = "libspeechd.so.2";

#define PARLENDO_SPD_CALLS(X)    \
    X(spd_open2)                 \
    X(spd_close)                 \
    X(spd_cancel)                \
    X(spd_say)                   \
    X(spd_set_language)          \
    X(spd_set_notification_on)   \
    X(spd_set_synthesis_voice)   \
    X(spd_set_voice_rate)        \
    X(spd_list_synthesis_voices) \
    X(free_spd_voices)

struct SpeechdCalls {
#define PARLENDO_SPD_POINTER(name) decltype(&::name) name = nullptr;  // NOLINT(bugprone-macro-parentheses)
    PARLENDO_SPD_CALLS(PARLENDO_SPD_POINTER)
#undef PARLENDO_SPD_POINTER
};

// The library's functions, loaded once for the whole run; null when it or one of them is missing.
const SpeechdCalls* speechdCalls() {
    static const std::optional<SpeechdCalls> loaded = []() -> std::optional<SpeechdCalls> {
        std::string error;
        std::optional<SharedLibrary> library = SharedLibrary::load(kSpeechdLibrary, error);
        if (!library) return std::nullopt;
        SpeechdCalls c;
        bool ok = true;
#define PARLENDO_SPD_RESOLVE(name) ok = ok && library->resolve(c.name, #name, error);
        PARLENDO_SPD_CALLS(PARLENDO_SPD_RESOLVE)
#undef PARLENDO_SPD_RESOLVE
        if (!ok) return std::nullopt;
        return c;
    }();
    return loaded ? &*loaded : nullptr;
}

std::string unavailable(const std::string& why) {
    return "Servidor de fala indisponível: "_cp + why + "; usando a voz interna.";
}

bool isBrazilian(const char* language) { return language && text::lowerAscii(language) == "pt-br"; }

int rateOf(int speed) { return std::clamp(speed, -10, 10) * 10; }

struct Command {
    enum Kind { Say, Cancel, Close } kind;
    uint64_t ticket = 0;
    std::string text;  // UTF-8
};

struct Shared {
    std::mutex m;
    std::condition_variable wake;     // the thread waits here for commands
    std::condition_variable settled;  // open and close wait here for the thread
    std::deque<Command> commands;
    SpeechDispatcherLimits limits;

    bool opening = true;
    std::string refused;  // the whole message, when open failed
    bool dead = false;    // the watchdog gave the server up
    bool finished = false;

    // Since when the thread waits inside a libspeechd call.
    std::optional<SteadyClock::time_point> callSince;

    uint64_t lastTicket = 0;  // the latest text handed over
    long lastMessage = -1;    // the server's id for it, once known
    bool speaking = false;
    SteadyClock::time_point endDue;
    std::vector<long> ended;  // ids whose end or cancel came, latest last
    int hangup = -1;          // a copy of the connection's socket, polled for the server's going

    ~Shared() {
        if (hangup >= 0) ::close(hangup);
    }

    // The watchdog; the mutex is held.
    void check(SteadyClock::time_point now) {
        if (dead || !refused.empty()) return;
        bool late = callSince && now - *callSince > limits.answer;
        bool overdue = speaking && now > endDue;
        bool gone = false;
        if (hangup >= 0) {
            pollfd p{hangup, POLLRDHUP, 0};
            gone = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
        }
        if (late || overdue || gone) {
            dead = true;
            opening = false;
            speaking = false;
            commands.clear();
            wake.notify_all();
            settled.notify_all();
        }
    }

    // The end or cancel of a message; the mutex is held.
    void ended_(long id) {
        ended.push_back(id);
        if (ended.size() > kEndedKept) ended.erase(ended.begin());
        if (id == lastMessage) speaking = false;
    }
};

// The notifications carry no pointer of ours, and asking the server for the connection's client
// id is one more reply libspeechd reads without checking it (a dropped connection there crashes
// it): each engine looks for its own message ids among them instead. The front keeps one engine
// open at a time; others here are closing or dead. Never destroyed, since a thread left behind
// may still look here while the program ends.
struct Registry {
    std::mutex m;
    std::vector<std::weak_ptr<Shared>> engines;
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

void onEvent(size_t message, size_t /*client*/, SPDNotificationType type) {
    if (type != SPD_EVENT_END && type != SPD_EVENT_CANCEL) return;
    std::vector<std::shared_ptr<Shared>> engines;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.m);
        for (const auto& w : r.engines)
            if (auto s = w.lock()) engines.push_back(std::move(s));
    }
    for (const auto& s : engines) {
        std::lock_guard<std::mutex> lock(s->m);
        if (!s->dead) s->ended_(static_cast<long>(message));
    }
}

void enrol(const std::shared_ptr<Shared>& s) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.m);
    std::erase_if(r.engines, [](const std::weak_ptr<Shared>& w) { return w.expired(); });
    r.engines.push_back(s);
}

void unregister(const std::shared_ptr<Shared>& s) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.m);
    std::erase_if(r.engines, [&](const std::weak_ptr<Shared>& w) { return w.expired() || w.lock() == s; });
}

// The engine's thread: opens the connection, then carries out the commands until Close (or the
// watchdog's verdict), and closes the connection.
void work(std::shared_ptr<Shared> s, const SpeechdCalls& spd, int voice, int speed) {
    // A write to a server that went away must fail, not end the program; libspeechd's own
    // thread inherits the mask.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    // A call is made only while the connection stands: libspeechd reads a missing reply as text.
    auto call = [&s](auto failed, auto f) -> decltype(f()) {
        {
            std::lock_guard<std::mutex> lock(s->m);
            s->check(SteadyClock::now());
            if (s->dead) return failed;
            s->callSince = SteadyClock::now();
        }
        auto result = f();
        std::lock_guard<std::mutex> lock(s->m);
        s->callSince.reset();
        return result;
    };
    auto refuse = [&s](const std::string& why) {
        std::lock_guard<std::mutex> lock(s->m);
        if (!s->dead) s->refused = unavailable(why);
        s->opening = false;
        s->settled.notify_all();
    };
    auto leave = [&s] {
        unregister(s);
        std::lock_guard<std::mutex> lock(s->m);
        if (s->hangup >= 0) ::close(s->hangup);
        s->hangup = -1;
        s->finished = true;
        s->settled.notify_all();
    };

    char* error = nullptr;
    SPDConnection* c = call(static_cast<SPDConnection*>(nullptr), [&] {
        return spd.spd_open2(kClientName, "main", nullptr, SPD_MODE_THREADED, nullptr,
                             s->limits.autospawn ? 1 : 0, &error);
    });
    std::free(error);
    if (!c) {
        refuse("o speech-dispatcher não está instalado ou não está em execução"_cp);
        leave();
        return;
    }
    c->callback_begin = onEvent;
    c->callback_end = onEvent;
    c->callback_cancel = onEvent;
    {
        std::lock_guard<std::mutex> lock(s->m);
        s->hangup = ::dup(c->socket);
    }
    enrol(s);

    bool opened = call(-1, [&] {
                      return spd.spd_set_notification_on(
                          c, static_cast<SPDNotification>(SPD_BEGIN | SPD_END | SPD_CANCEL));
                  }) == 0;
    if (opened) {
        call(-1, [&] { return spd.spd_set_language(c, kLanguage); });
        SPDVoice** voices =
            call(static_cast<SPDVoice**>(nullptr), [&] { return spd.spd_list_synthesis_voices(c); });
        std::vector<std::string> brazilian;
        for (SPDVoice** v = voices; v && *v; ++v)
            if ((*v)->name && isBrazilian((*v)->language)) brazilian.emplace_back((*v)->name);
        if (voices) spd.free_spd_voices(voices);
        int rate = rateOf(speed);
        if (!brazilian.empty()) {
            if (voice < 1 || voice > static_cast<int>(brazilian.size())) {
                voice = 1;
                rate = 0;
            }
            call(-1, [&] { return spd.spd_set_synthesis_voice(c, brazilian[voice - 1].c_str()); });
        }
        call(-1, [&] { return spd.spd_set_voice_rate(c, rate); });
        std::lock_guard<std::mutex> lock(s->m);
        s->opening = false;
        s->settled.notify_all();
    } else {
        refuse("o speech-dispatcher recusou a conexão"_cp);
    }

    while (opened) {
        Command command;
        {
            std::unique_lock<std::mutex> lock(s->m);
            s->wake.wait(lock, [&] { return !s->commands.empty() || s->dead; });
            if (s->dead) break;
            command = std::move(s->commands.front());
            s->commands.pop_front();
        }
        if (command.kind == Command::Close) break;
        if (command.kind == Command::Cancel) {
            call(-1, [&] { return spd.spd_cancel(c); });
            continue;
        }
        long id =
            call(-1L, [&] { return static_cast<long>(spd.spd_say(c, SPD_MESSAGE, command.text.c_str())); });
        std::lock_guard<std::mutex> lock(s->m);
        if (command.ticket != s->lastTicket || !s->speaking) continue;
        if (id < 0) {
            s->speaking = false;  // refused: nothing will be said
        } else {
            s->lastMessage = id;
            if (std::find(s->ended.begin(), s->ended.end(), id) != s->ended.end()) s->speaking = false;
        }
    }
    spd.spd_close(c);
    leave();
}

class SpeechDispatcherVoice final : public SpeechOutput {
public:
    explicit SpeechDispatcherVoice(const SpeechDispatcherLimits& limits) : s_(std::make_shared<Shared>()) {
        s_->limits = limits;
    }
    ~SpeechDispatcherVoice() override { close(); }

    bool open(int voice, int speed, int /*pitch*/, std::string_view) override {
        if (thread_.joinable()) return false;
        const SpeechdCalls* spd = speechdCalls();
        if (!spd) {
            std::lock_guard<std::mutex> lock(s_->m);
            s_->refused = unavailable("a biblioteca libspeechd não foi encontrada"_cp);
            return false;
        }
        try {
            thread_ = std::thread(work, s_, std::cref(*spd), voice, speed);
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(s_->m);
            s_->refused = unavailable("não foi possível criar a linha de execução da voz"_cp);
            return false;
        }
        std::unique_lock<std::mutex> lock(s_->m);
        s_->settled.wait_for(lock, kOpenGlance, [&] { return !s_->opening; });
        s_->check(SteadyClock::now());
        return s_->refused.empty() && !s_->dead;
    }

    void say(std::string_view text) override {
        std::string utf8 = text::cp1252ToUtf8(text.empty() ? std::string_view(" ") : text);
        const auto now = SteadyClock::now();
        std::lock_guard<std::mutex> lock(s_->m);
        s_->check(now);
        if (!usable()) return;
        // A text said while another is still being spoken waits behind it.
        auto from = s_->speaking ? std::max(now, s_->endDue) : now;
        s_->endDue = from + s_->limits.endGrace +
                     s_->limits.endPerCharacter * static_cast<long>(std::max<size_t>(text.size(), 1));
        ++s_->lastTicket;
        s_->lastMessage = -1;
        s_->speaking = true;
        s_->commands.push_back({Command::Say, s_->lastTicket, std::move(utf8)});
        s_->wake.notify_one();
    }

    bool isBusy() override {
        std::lock_guard<std::mutex> lock(s_->m);
        s_->check(SteadyClock::now());
        if (!usable()) return false;
        return s_->opening || s_->speaking;
    }

    void stop() override {
        std::lock_guard<std::mutex> lock(s_->m);
        if (!usable()) return;
        s_->speaking = false;
        // Texts not yet handed to the server are dropped; the cancel silences the rest.
        std::erase_if(s_->commands, [](const Command& c) { return c.kind == Command::Say; });
        s_->commands.push_back({Command::Cancel, 0, {}});
        s_->wake.notify_one();
    }

    void close() override {
        if (!thread_.joinable()) return;
        std::unique_lock<std::mutex> lock(s_->m);
        s_->commands.push_back({Command::Close, 0, {}});
        s_->wake.notify_one();
        bool done = s_->settled.wait_for(lock, kCloseWait, [&] { return s_->finished; });
        lock.unlock();
        // A thread stuck in libspeechd is never waited for: it keeps its state alive by itself.
        if (done)
            thread_.join();
        else
            thread_.detach();
    }

    std::string fault() const override {
        std::lock_guard<std::mutex> lock(s_->m);
        s_->check(SteadyClock::now());
        if (!s_->refused.empty()) return s_->refused;
        if (s_->dead) return kNoAnswer;
        return {};
    }

private:
    bool usable() const { return thread_.joinable() && !s_->dead && s_->refused.empty(); }

    std::shared_ptr<Shared> s_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<SpeechOutput> createSpeechDispatcherVoice(int type, const SpeechDispatcherLimits& limits) {
    (void)type;  // types 5 and 54 are the same binding here
    return std::make_unique<SpeechDispatcherVoice>(limits);
}

std::unique_ptr<SpeechOutput> createSpeechDispatcherVoice(int type) {
    return createSpeechDispatcherVoice(type, SpeechDispatcherLimits{});
}

}  // namespace parlendo
