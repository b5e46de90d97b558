// TCP sockets of the system: addresses, non-blocking connect, send and receive, listening, and
// readiness tests. Every call gives the system's error number; nothing here blocks for longer
// than the time it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/unique_fd.h"

namespace parlendo::sock {

// An address of the system (IPv4 or IPv6) with its port, kept opaque.
struct Address {
    alignas(8) unsigned char bytes[128] = {};
    unsigned length = 0;
};

// An IPv4 address given as four bytes in network order, and a port.
Address ipv4(const uint8_t octets[4], int port);
// Every address a host name leads to, in the order of the system's resolver; empty when the
// lookup fails.
std::vector<Address> lookup(const std::string& host, int port);

// A socket a call made, held by its owner, or (not valid) the error that kept it from being
// made.
struct [[nodiscard]] OpenedSocket {
    UniqueFd fd;
    SysError error = 0;
};

// A new non-blocking TCP socket for the address's family.
OpenedSocket openStream(const Address& address);
// Starts connecting: 0 connected at once, EINPROGRESS still connecting, any other value fails.
[[nodiscard]] SysError startConnect(int fd, const Address& address);
// The outcome of a connect that became writable (0 connected).
[[nodiscard]] SysError connectOutcome(int fd);

enum class Wait { Ready, TimedOut, Failed };
// Waits up to `milliseconds` for the socket to become readable (or writable).
[[nodiscard]] Wait waitReadable(int fd, int milliseconds);
[[nodiscard]] Wait waitWritable(int fd, int milliseconds);

// One receive or send without blocking: EAGAIN when nothing can move now; a receive with count
// 0 and no error is the peer's orderly close. Sends never raise a broken-pipe signal.
IoResult receiveSome(int fd, char* buffer, size_t size);
IoResult sendSome(int fd, const char* data, size_t size);

void closeSocket(int fd);

// A non-blocking socket listening on every local IPv4 address at the port.
OpenedSocket listenOn(int port, int backlog);
// A waiting client, made non-blocking; the error is EAGAIN when none waits yet.
OpenedSocket acceptClient(int listener);

// The socket's own address or its peer's, as text (dotted for IPv4, also for IPv4 mapped
// into IPv6); nothing when the socket is not connected.
std::optional<std::string> localAddress(int fd);
std::optional<std::string> peerAddress(int fd);

}  // namespace parlendo::sock
