// TCP sockets over the POSIX calls.
#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace parlendo::sock {

namespace {

const sockaddr* raw(const Address& a) { return reinterpret_cast<const sockaddr*>(a.bytes); }

Wait waitFor(int fd, short events, int milliseconds) {
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, milliseconds < 0 ? 0 : milliseconds);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return Wait::Failed;
    if (r == 0) return Wait::TimedOut;
    // An error or a hang-up is "ready": the receive or send that follows tells what it was.
    return Wait::Ready;
}

std::optional<std::string> addressText(const sockaddr_storage& s) {
    char text[INET6_ADDRSTRLEN] = {};
    if (s.ss_family == AF_INET) {
        auto* a = reinterpret_cast<const sockaddr_in*>(&s);
        if (!::inet_ntop(AF_INET, &a->sin_addr, text, sizeof text)) return std::nullopt;
        return std::string(text);
    }
    if (s.ss_family == AF_INET6) {
        auto* a = reinterpret_cast<const sockaddr_in6*>(&s);
        if (IN6_IS_ADDR_V4MAPPED(&a->sin6_addr)) {
            if (!::inet_ntop(AF_INET, &a->sin6_addr.s6_addr[12], text, sizeof text)) return std::nullopt;
        } else if (!::inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text)) {
            return std::nullopt;
        }
        return std::string(text);
    }
    return std::nullopt;
}

}  // namespace

Address ipv4(const uint8_t octets[4], int port) {
    Address a;
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(static_cast<uint16_t>(port));
    std::memcpy(&in.sin_addr.s_addr, octets, 4);
    std::memcpy(a.bytes, &in, sizeof in);
    a.length = sizeof in;
    return a;
}

std::vector<Address> lookup(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    std::vector<Address> out;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return out;
    for (addrinfo* i = list; i; i = i->ai_next) {
        if (i->ai_addrlen > sizeof(Address::bytes)) continue;
        Address a;
        std::memcpy(a.bytes, i->ai_addr, i->ai_addrlen);
        a.length = static_cast<unsigned>(i->ai_addrlen);
        if (i->ai_family == AF_INET)
            reinterpret_cast<sockaddr_in*>(a.bytes)->sin_port = htons(static_cast<uint16_t>(port));
        else if (i->ai_family == AF_INET6)
            reinterpret_cast<sockaddr_in6*>(a.bytes)->sin6_port = htons(static_cast<uint16_t>(port));
        else
            continue;
        out.push_back(a);
    }
    ::freeaddrinfo(list);
    return out;
}

OpenedSocket openStream(const Address& address) {
    int fd = ::socket(raw(address)->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return {UniqueFd(), errno};
    // Lines of a conversation go out at once rather than waiting for more to join them.
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return {UniqueFd(fd), 0};
}

SysError startConnect(int fd, const Address& address) {
    int r;
    do {
        r = ::connect(fd, raw(address), address.length);
    } while (r < 0 && errno == EINTR);
    return r == 0 ? 0 : errno;
}

SysError connectOutcome(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

Wait waitReadable(int fd, int milliseconds) { return waitFor(fd, POLLIN, milliseconds); }
Wait waitWritable(int fd, int milliseconds) { return waitFor(fd, POLLOUT, milliseconds); }

IoResult receiveSome(int fd, char* buffer, size_t size) {
    ssize_t n;
    do {
        n = ::recv(fd, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return {0, errno == EWOULDBLOCK ? EAGAIN : errno};
    return {static_cast<size_t>(n), 0};
}

IoResult sendSome(int fd, const char* data, size_t size) {
    ssize_t n;
    do {
        n = ::send(fd, data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return {0, errno == EWOULDBLOCK ? EAGAIN : errno};
    return {static_cast<size_t>(n), 0};
}

void closeSocket(int fd) {
    if (fd >= 0) ::close(fd);
}

OpenedSocket listenOn(int port, int backlog) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) return {UniqueFd(), errno};
    int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_ANY);
    in.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 ||
        ::listen(fd.get(), backlog) != 0)
        return {UniqueFd(), errno};  // the socket closes as its owner goes
    return {std::move(fd), 0};
}

OpenedSocket acceptClient(int listener) {
    int fd;
    do {
        fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return {UniqueFd(), errno == EWOULDBLOCK ? EAGAIN : errno};
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return {UniqueFd(fd), 0};
}

std::optional<std::string> localAddress(int fd) {
    sockaddr_storage s{};
    socklen_t length = sizeof s;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&s), &length) != 0) return std::nullopt;
    return addressText(s);
}

std::optional<std::string> peerAddress(int fd) {
    sockaddr_storage s{};
    socklen_t length = sizeof s;
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&s), &length) != 0) return std::nullopt;
    return addressText(s);
}

}  // namespace parlendo::sock
