// A tiny HTTP server on the loopback for the radio directory's tests: each test starts its own,
// answers through a function of the request's target, and stops it when it ends. Also a port
// that refuses every connection.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sintonix::testing {

inline std::string httpAnswer(int status, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) +
           " X\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// A socket bound to a loopback port (chosen by the system); listening when asked.
inline int boundSocket(int& port, bool listening) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        (listening && ::listen(fd, 64) != 0) ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        if (fd >= 0) ::close(fd);
        port = 0;
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

// Bound but not listening: a connection there is refused. The port stays ours while it lives.
class RefusingPort {
public:
    RefusingPort() : fd_(boundSocket(port_, false)) {}
    ~RefusingPort() {
        if (fd_ >= 0) ::close(fd_);
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    int port_ = 0;
    int fd_;
};

class LoopbackHttp {
public:
    // The whole answer to a request target ("/json/...?..."); empty: never answer.
    using Answer = std::function<std::string(const std::string& target)>;

    explicit LoopbackHttp(Answer answer) : answer_(std::move(answer)), fd_(boundSocket(port_, true)) {
        if (fd_ >= 0) acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackHttp() {
        stop_ = true;
        if (acceptor_.joinable()) acceptor_.join();
        for (auto& t : connections_) t.join();
        if (fd_ >= 0) ::close(fd_);
    }
    LoopbackHttp(const LoopbackHttp&) = delete;
    LoopbackHttp& operator=(const LoopbackHttp&) = delete;

    int port() const { return port_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Each request received: its Host header, a blank, its target.
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    // Waits for the socket to be readable, looking at stop_ now and then.
    bool readable(int fd) {
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) return true;
        }
        return false;
    }

    void acceptLoop() {
        while (readable(fd_)) {
            int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) connections_.emplace_back([this, client] { serve(client); });
        }
    }

    void serve(int client) {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && readable(client)) {
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            head.append(buffer, static_cast<size_t>(n));
        }
        size_t first = head.find(' '), second = head.find(' ', first + 1);
        if (first != std::string::npos && second != std::string::npos) {
            std::string target = head.substr(first + 1, second - first - 1);
            std::string host;
            if (size_t h = head.find("\r\nHost: "); h != std::string::npos)
                host = head.substr(h + 8, head.find("\r\n", h + 8) - h - 8);
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(host + " " + target);
            }
            std::string answer = answer_(target);
            if (answer.empty())
                readable(client);  // holds the connection, silent, until the server stops
            else
                (void)!::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
        ::close(client);
    }

    Answer answer_;
    int port_ = 0;
    int fd_;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<std::thread> connections_;  // touched by the acceptor only, joined after it
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

}  // namespace sintonix::testing
