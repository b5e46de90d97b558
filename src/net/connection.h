// The connection layer: name resolution, TCP connections with or without TLS, sending texts and
// lines, and buffered reading of bytes and lines. One Network serves the whole program; it owns
// the program's single TLS state. Every wait pumps the event loop, so the console stays alive
// and keys are collected while the network is slow.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/socket.h"
#include "platform/unique_fd.h"

namespace parlendo {

class SettingsFile;
class EventLoop;
class TlsState;
class Network;

// A socket of the Network, closed through it when its owner goes or resets it (which also ends
// TLS when the socket is the TLS-bound one). Move-only; an empty one closes nothing.
class NetSocket {
public:
    NetSocket() = default;
    NetSocket(Network& net, UniqueFd fd) : net_(&net), fd_(std::move(fd)) {}
    NetSocket(NetSocket&& other) noexcept = default;
    NetSocket& operator=(NetSocket&& other) noexcept;
    NetSocket(const NetSocket&) = delete;
    NetSocket& operator=(const NetSocket&) = delete;
    ~NetSocket() { reset(); }

    int get() const { return fd_.get(); }
    bool valid() const { return fd_.valid(); }
    // Closes the socket now, if one is held.
    void reset();

private:
    Network* net_ = nullptr;
    UniqueFd fd_;
};

// A connected socket and its receive buffer; the socket closes with it.
struct NetConnection {
    static constexpr size_t kBufferSize = 4096;
    explicit NetConnection(NetSocket s) : socket(std::move(s)) {}
    NetSocket socket;
    size_t position = kBufferSize;
    size_t count = 0;
    char buffer[kBufferSize];
};

// How a read ended.
enum class NetRead {
    Ok,        // what was asked for arrived
    Closed,    // the peer ended the connection in order
    Failed,    // the connection broke (a reset, a receive or TLS error)
    TimedOut,  // nothing arrived within the time allowed
};

using NetDeadline = std::chrono::steady_clock::time_point;
// No time limit.
inline constexpr NetDeadline kNoDeadline = NetDeadline::max();

// The dotted IPv4 rule: at most 15 characters, no leading ".", only digits and dots, groups of
// at most three digits below 256, a digit after every dot, at least three dots. The four
// bytes of the address when the text follows it.
bool parseDottedIpv4(std::string_view text, uint8_t octets[4]);

class Network {
public:
    // Defaults of the settings read at every connection.
    static constexpr int kDefaultWaitMicros = 20000;   // ORALIX TIMEOUT_REDE
    static constexpr int kDefaultSilenceSeconds = 30;  // ORALIX TEMPOLIMITEREDE

    // The loop may be null (tests): waits then only sleep on the socket.
    Network(SettingsFile& settings, EventLoop* loop);
    ~Network();
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;

    // Where the layer's own messages go: a console line that is not spoken ("Erro SSL: "),
    // and a message written and spoken. Either may be left empty.
    std::function<void(std::string_view)> writeLine;
    std::function<void(std::string_view)> showMessage;

    // The sockets layer needs no start on this system; kept so that scripts' INTERNET and the
    // download's bracket have something to call.
    bool start() { return true; }
    void stop() {}

    // The addresses of a host (cut to 128 characters): a dotted IPv4 text directly, any other
    // text through the resolver. Empty when the lookup fails.
    std::vector<sock::Address> resolve(std::string_view host, int port);
    // A connected socket, empty when none could be made. Reads TIMEOUT_REDE and TEMPOLIMITEREDE
    // again first.
    [[nodiscard]] NetSocket connect(std::string_view host, int port);
    // connect, then TLS with the host as server name; empty (the socket closed) when TLS fails,
    // with `handshakeTimedOut` (when given) set when the server left the handshake unanswered.
    [[nodiscard]] NetSocket connectTls(std::string_view host, int port, bool* handshakeTimedOut = nullptr);
    // Every byte of the text; false when not all of it (or nothing at all) went out.
    [[nodiscard]] bool sendText(int socket, std::string_view text);
    [[nodiscard]] bool sendLine(int socket, std::string_view text);
    // Buffered bytes, pending TLS bytes, or the socket readable within networkWait.
    [[nodiscard]] bool dataAvailable(NetConnection& conn);
    [[nodiscard]] NetRead readByte(NetConnection& conn, uint8_t& byte, NetDeadline deadline = kNoDeadline);
    // What is there, at least one byte and at most `size`, waiting only when nothing is: the
    // buffered bytes first; a large request on a plain socket is received straight into `out`.
    [[nodiscard]] NetRead readSome(NetConnection& conn, char* out, size_t size, size_t& got,
                                   NetDeadline deadline = kNoDeadline);
    // A line ended by LF, one CR before it removed; the last unterminated text before the
    // peer's close counts as a line. A line longer than maxLength is given cut to
    // maxLength + 1 bytes and the rest of it skipped. Closed when nothing was left to read;
    // Failed when the connection broke, also in the middle of a line.
    [[nodiscard]] NetRead readLine(NetConnection& conn, std::string& line, size_t maxLength,
                                   NetDeadline deadline = kNoDeadline);
    // The deadline that far from now by the TEMPOLIMITEREDE setting last read.
    NetDeadline silenceDeadline() const;
    int networkWaitMicros() const { return networkWaitMicros_; }
    // Reads TIMEOUT_REDE and TEMPOLIMITEREDE now.
    void readTimeouts();

    void pump();

    // CONECTA SSL sets the TLS request flag; FECHA of a connection clears it.
    bool tlsRequested = false;
    // The last server CONECTA was given, for ATIVASSL.
    std::string lastHost;
    int lastPort = 0;

private:
    friend class NetSocket;
    // Closes a socket (0 or above), ending TLS when it is the TLS-bound one; only its owner, a
    // NetSocket, calls this.
    void closeSocket(int socket);
    // A connected socket that is not the Network's yet (TLS may still fail on it).
    UniqueFd openConnection(std::string_view host, int port);
    // Fills the connection's buffer from its socket.
    [[nodiscard]] NetRead fill(NetConnection& conn, NetDeadline deadline);
    // Receives from a plain socket into `out`, waiting for the first byte.
    [[nodiscard]] NetRead receive(int socket, char* out, size_t size, size_t& got, NetDeadline deadline);
    sock::Wait waitSocket(int fd, bool forWriting, NetDeadline deadline);
    bool tlsBound(int fd) const;
    void endTls();

    SettingsFile& settings_;
    EventLoop* loop_;
    std::unique_ptr<TlsState> tls_;
    int networkWaitMicros_ = kDefaultWaitMicros;
    int silenceSeconds_ = kDefaultSilenceSeconds;
};

}  // namespace parlendo
