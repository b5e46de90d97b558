// A speech-dispatcher of the tests' own: a thread answering SSIP on a unix socket in a folder of
// the caller's, reached by libspeechd through SPEECHD_ADDRESS=unix_socket:PATH. It speaks enough
// of the protocol for libspeechd, records what it gets, and can misbehave: texts that never end,
// a server that never answers (from the start, or from the first text on), clients dropped.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace parlendo::testing {

class FakeSsipServer {
public:
    struct Voice {
        std::string name, language, variant;
    };
    struct Options {
        std::vector<Voice> voices;
        int endAfterMs = 0;          // a text ends this long after it is queued; < 0: never
        bool answerNothing = false;  // no answer at all, not even to the client's name
        bool hangAtSpeak = false;    // the opening is answered, nothing from the first SPEAK on
    };
    using Time = std::chrono::steady_clock::time_point;

    FakeSsipServer(const std::string& socketPath, Options options)
        : path_(socketPath), options_(std::move(options)) {
        ::unlink(path_.c_str());
        listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        path_.copy(a.sun_path, sizeof(a.sun_path) - 1);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || ::listen(listen_, 4) != 0) {
            ::close(listen_);
            listen_ = -1;
            return;
        }
        if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
        thread_ = std::thread([this] { run(); });
    }
    ~FakeSsipServer() {
        quit_ = true;
        poke();
        if (thread_.joinable()) thread_.join();
        for (Client& c : clients_) ::close(c.fd);
        if (listen_ >= 0) ::close(listen_);
        for (int fd : wake_)
            if (fd >= 0) ::close(fd);
        ::unlink(path_.c_str());
    }

    bool listening() const { return listen_ >= 0; }
    std::string address() const { return "unix_socket:" + path_; }

    // Every command line as received, without its line end; a text's data lines are not here.
    std::vector<std::string> commands() {
        std::lock_guard<std::mutex> lock(m_);
        return commands_;
    }
    // Each text as the server reads it back (dot-stuffing undone, lines joined by "\r\n"), and
    // its data lines as they came.
    std::vector<std::string> texts() {
        std::lock_guard<std::mutex> lock(m_);
        return texts_;
    }
    std::vector<std::string> dataLines() {
        std::lock_guard<std::mutex> lock(m_);
        return dataLines_;
    }
    // When the last CANCEL arrived; how many arrived.
    Time lastCancel() {
        std::lock_guard<std::mutex> lock(m_);
        return lastCancel_;
    }
    int cancels() {
        std::lock_guard<std::mutex> lock(m_);
        return cancels_;
    }
    // Closes every connection, as a server killed would.
    void dropClients() {
        drop_ = true;
        poke();
    }
    // Waits up to `ms` for a condition on the server's records.
    bool waitFor(const std::function<bool()>& condition, int ms) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    int countCommands(const std::string& prefix) {
        int n = 0;
        for (const std::string& c : commands())
            if (c.compare(0, prefix.size(), prefix) == 0) ++n;
        return n;
    }

private:
    struct Client {
        int fd;
        long id;
        std::string in;
        bool inData = false;
        std::vector<std::string> data;
        bool hung = false;
    };
    struct Pending {
        Time due;
        int fd;
        long client, message;
    };

    void poke() {
        if (wake_[1] >= 0) [[maybe_unused]]
            auto n = ::write(wake_[1], "x", 1);
    }
    static void send(int fd, const std::string& s) {
        [[maybe_unused]] auto n = ::send(fd, s.data(), s.size(), MSG_NOSIGNAL);
    }
    static std::string event(int code, long message, long client, const char* word) {
        std::string c = std::to_string(code);
        return c + "-" + std::to_string(message) + "\r\n" + c + "-" + std::to_string(client) + "\r\n" + c +
               " " + word + "\r\n";
    }
    static std::string upper(std::string s) {
        for (char& ch : s)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
        return s;
    }

    void run() {
        while (!quit_) {
            if (drop_.exchange(false)) {
                for (Client& c : clients_) ::close(c.fd);
                clients_.clear();
                pending_.clear();
            }
            std::vector<pollfd> fds{{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            for (Client& c : clients_) fds.push_back({c.fd, POLLIN, 0});
            int timeout = 50;
            auto now = std::chrono::steady_clock::now();
            for (const Pending& p : pending_)
                timeout = std::min<int>(
                    timeout,
                    std::max<long>(
                        0, std::chrono::duration_cast<std::chrono::milliseconds>(p.due - now).count()));
            ::poll(fds.data(), fds.size(), timeout);
            if (fds[1].revents & POLLIN) {
                char b[64];
                [[maybe_unused]] auto n = ::read(wake_[0], b, sizeof b);
            }
            if (fds[0].revents & POLLIN) {
                int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) clients_.push_back(Client{fd, nextClient_++, {}, false, {}, false});
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
                Client& c = clients_[i - 2];
                char b[4096];
                ssize_t n = ::read(c.fd, b, sizeof b);
                if (n <= 0) {
                    std::erase_if(pending_, [&](const Pending& p) { return p.fd == c.fd; });
                    ::close(c.fd);
                    c.fd = -1;
                    continue;
                }
                c.in.append(b, static_cast<size_t>(n));
                size_t end;
                while (c.fd >= 0 && (end = c.in.find("\r\n")) != std::string::npos) {
                    std::string line = c.in.substr(0, end);
                    c.in.erase(0, end + 2);
                    handle(c, line);
                }
            }
            std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });
            now = std::chrono::steady_clock::now();
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (it->due > now) {
                    ++it;
                    continue;
                }
                send(it->fd, event(702, it->message, it->client, "END"));
                it = pending_.erase(it);
            }
        }
    }

    void handle(Client& c, const std::string& line) {
        if (c.inData) {
            if (line != ".") {
                std::lock_guard<std::mutex> lock(m_);
                dataLines_.push_back(line);
                c.data.push_back(line.compare(0, 2, "..") == 0 ? line.substr(1) : line);
                return;
            }
            c.inData = false;
            std::string text;
            for (size_t i = 0; i < c.data.size(); ++i) text += (i ? "\r\n" : "") + c.data[i];
            c.data.clear();
            long message = nextMessage_++;
            {
                std::lock_guard<std::mutex> lock(m_);
                texts_.push_back(text);
            }
            send(c.fd, "225-" + std::to_string(message) + "\r\n225 OK MESSAGE QUEUED\r\n" +
                           event(701, message, c.id, "BEGIN"));
            if (options_.endAfterMs >= 0)
                pending_.push_back(
                    {std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.endAfterMs), c.fd,
                     c.id, message});
            return;
        }
        const std::string u = upper(line);
        {
            std::lock_guard<std::mutex> lock(m_);
            commands_.push_back(line);
            if (u.compare(0, 6, "CANCEL") == 0) {
                lastCancel_ = std::chrono::steady_clock::now();
                ++cancels_;
            }
        }
        if (options_.answerNothing || c.hung) return;
        auto starts = [&](const char* p) { return u.compare(0, std::char_traits<char>::length(p), p) == 0; };
        std::string reply;
        if (starts("SET SELF CLIENT_NAME"))
            reply = "208 OK CLIENT NAME SET\r\n";
        else if (starts("HISTORY GET CLIENT_ID"))
            reply = "245-" + std::to_string(c.id) + "\r\n245 OK CLIENT ID SENT\r\n";
        else if (starts("SET SELF NOTIFICATION"))
            reply = "220 OK NOTIFICATION SET\r\n";
        else if (starts("SET SELF LANGUAGE"))
            reply = "201 OK LANGUAGE SET\r\n";
        else if (starts("SET SELF SYNTHESIS_VOICE"))
            reply = "209 OK VOICE SET\r\n";
        else if (starts("SET SELF RATE"))
            reply = "203 OK RATE SET\r\n";
        else if (starts("SET SELF PRIORITY"))
            reply = "202 OK PRIORITY SET\r\n";
        else if (starts("LIST SYNTHESIS_VOICES")) {
            for (const Voice& v : options_.voices)
                reply += "249-" + v.name + "\t" + v.language + "\t" + v.variant + "\r\n";
            reply += "249 OK VOICE LIST SENT\r\n";
        } else if (starts("SPEAK")) {
            if (options_.hangAtSpeak) {
                c.hung = true;
                return;
            }
            c.inData = true;
            reply = "230 OK RECEIVING DATA\r\n";
        } else if (starts("CANCEL")) {
            reply = "213 OK CANCELED\r\n";
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (it->fd != c.fd) {
                    ++it;
                    continue;
                }
                reply += event(703, it->message, it->client, "CANCELED");
                it = pending_.erase(it);
            }
        } else if (starts("QUIT")) {
            send(c.fd, "231 HAPPY HACKING\r\n");
            std::erase_if(pending_, [&](const Pending& p) { return p.fd == c.fd; });
            ::close(c.fd);
            c.fd = -1;
            return;
        } else {
            reply = "500 ERR INVALID COMMAND\r\n";
        }
        send(c.fd, reply);
    }

    std::string path_;
    Options options_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> quit_{false}, drop_{false};
    std::vector<Client> clients_;
    std::vector<Pending> pending_;
    inline static std::atomic<long> nextClient_{41};
    long nextMessage_ = 1000;

    std::mutex m_;
    std::vector<std::string> commands_, texts_, dataLines_;
    Time lastCancel_{};
    int cancels_ = 0;
};

}  // namespace parlendo::testing
