// The connection layer: resolving, connecting with a time limit, TLS, sending and buffered
// reading, each wait pumping the event loop.
#include "net/connection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "console/settings_file.h"
#include "interp/argument_reader.h"
#include "net/tls.h"
#include "platform/event_loop.h"
#include "platform/unique_fd.h"
#include "text/cp1252_literal.h"

namespace parlendo {

namespace {

constexpr size_t kHostLimit = 128;
// The longest a wait sleeps on a socket before the event loop is pumped again.
constexpr int kPumpStepMs = 50;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool parseDottedIpv4(std::string_view text, uint8_t octets[4]) {
    if (text.empty() || text.size() > 15 || text[0] == '.') return false;
    int dots = 0;
    int group = 0;
    int digits = 0;
    uint8_t parts[4] = {};
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.') {
            if (i + 1 >= text.size() || !isDigit(text[i + 1])) return false;
            if (++dots > 3) return false;
            ++group;
            digits = 0;
            continue;
        }
        if (!isDigit(c)) return false;
        if (++digits > 3) return false;
        int value = (digits == 1 ? 0 : parts[group]) * 10 + (c - '0');
        if (value > 255) return false;
        parts[group] = static_cast<uint8_t>(value);
    }
    if (dots != 3) return false;
    std::memcpy(octets, parts, 4);
    return true;
}

Network::Network(SettingsFile& settings, EventLoop* loop)
    : settings_(settings), loop_(loop), tls_(std::make_unique<TlsState>()) {}

Network::~Network() = default;

void Network::pump() {
    if (loop_) loop_->pump();
}

void Network::readTimeouts() {
    std::optional<int32_t> wait = toInteger(settings_.readSetting("ORALIX", "TIMEOUT_REDE"));
    networkWaitMicros_ = wait && *wait >= 0 ? *wait : kDefaultWaitMicros;
    std::optional<int32_t> limit = toInteger(settings_.readSetting("ORALIX", "TEMPOLIMITEREDE"));
    silenceSeconds_ = limit && *limit > 0 ? *limit : kDefaultSilenceSeconds;
}

NetDeadline Network::silenceDeadline() const {
    return std::chrono::steady_clock::now() + std::chrono::seconds(silenceSeconds_);
}

sock::Wait Network::waitSocket(int fd, bool forWriting, NetDeadline deadline) {
    for (;;) {
        pump();
        int step = kPumpStepMs;
        if (deadline != kNoDeadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
            if (left <= 0) return sock::Wait::TimedOut;
            step = static_cast<int>(std::min<long long>(left, kPumpStepMs));
        }
        sock::Wait w = forWriting ? sock::waitWritable(fd, step) : sock::waitReadable(fd, step);
        if (w != sock::Wait::TimedOut) return w;
    }
}

std::vector<sock::Address> Network::resolve(std::string_view host, int port) {
    std::string name(host.substr(0, kHostLimit));
    uint8_t octets[4];
    if (parseDottedIpv4(name, octets)) return {sock::ipv4(octets, port)};
    // The resolver cannot be pumped; the screen catches up once it answers.
    pump();
    return sock::lookup(name, port);
}

UniqueFd Network::openConnection(std::string_view host, int port) {
    readTimeouts();
    if (port <= 0 || port > 65535) return {};
    NetDeadline deadline = silenceDeadline();
    for (const sock::Address& address : resolve(host, port)) {
        // A socket whose connection failed is closed at once, never left behind.
        UniqueFd fd = sock::openStream(address).fd;
        if (!fd.valid()) continue;
        SysError error = sock::startConnect(fd.get(), address);
        if (error == 0) return fd;
        if (error == EINPROGRESS && waitSocket(fd.get(), true, deadline) == sock::Wait::Ready &&
            sock::connectOutcome(fd.get()) == 0)
            return fd;
        fd.reset();
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    return {};
}

NetSocket Network::connect(std::string_view host, int port) { return {*this, openConnection(host, port)}; }

bool Network::tlsBound(int fd) const { return fd >= 0 && tls_->active() && tls_->boundSocket() == fd; }

void Network::endTls() { tls_->end(); }

NetSocket Network::connectTls(std::string_view host, int port, bool* handshakeTimedOut) {
    if (handshakeTimedOut) *handshakeTimedOut = false;
    UniqueFd owned = openConnection(host, port);
    if (!owned.valid()) return {};
    const int fd = owned.get();
    std::string verifySetting = settings_.readSetting("ORALIX", "VERIFICARCERTIFICADOS");
    bool verify = true;
    if (!verifySetting.empty() && (verifySetting[0] == 'N' || verifySetting[0] == 'n')) verify = false;
    std::string name(host.substr(0, kHostLimit));
    // One TLS connection for the program: a new one takes the binding from the last.
    // On failure the socket is closed before the TLS state ends, as the state expects.
    if (!tls_->begin(fd, name, verify)) {
        owned.reset();
        endTls();
        return {};
    }
    NetDeadline deadline = silenceDeadline();
    for (;;) {
        const TlsState::Step step = tls_->connectStep();
        if (step.count == 1) break;
        const int error = step.error;
        sock::Wait w = sock::Wait::Failed;
        if (error == TlsState::kWantRead)
            w = waitSocket(fd, false, deadline);
        else if (error == TlsState::kWantWrite)
            w = waitSocket(fd, true, deadline);
        if (w != sock::Wait::Ready) {
            if (w == sock::Wait::TimedOut && handshakeTimedOut) *handshakeTimedOut = true;
            if (tls_->certificateRejected() && showMessage)
                showMessage("Certificado do servidor não confere."_cp);
            owned.reset();
            endTls();
            return {};
        }
    }
    tls_->setActive();
    return {*this, std::move(owned)};
}

bool Network::sendText(int socket, std::string_view text) {
    if (socket < 0 || text.empty()) return false;
    NetDeadline deadline = silenceDeadline();
    size_t sent = 0;
    while (sent < text.size()) {
        size_t piece = std::min<size_t>(text.size() - sent, size_t{1} << 30);
        if (tlsBound(socket)) {
            const auto [n, error] = tls_->writeStep(text.data() + sent, static_cast<int>(piece));
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            sock::Wait w = sock::Wait::Failed;
            if (error == TlsState::kWantWrite)
                w = waitSocket(socket, true, deadline);
            else if (error == TlsState::kWantRead)
                w = waitSocket(socket, false, deadline);
            if (w != sock::Wait::Ready) return false;
            continue;
        }
        IoResult r = sock::sendSome(socket, text.data() + sent, piece);
        if (r.error == 0) {
            sent += r.count;
            continue;
        }
        if (r.error != EAGAIN || waitSocket(socket, true, deadline) != sock::Wait::Ready) return false;
    }
    return true;
}

bool Network::sendLine(int socket, std::string_view text) {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line += "\r\n";
    return sendText(socket, line);
}

bool Network::dataAvailable(NetConnection& conn) {
    pump();
    if (conn.position < conn.count) return true;
    if (tlsBound(conn.socket.get()) && tls_->pending()) return true;
    if (conn.socket.get() < 0) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(networkWaitMicros_);
    if (networkWaitMicros_ == 0) return sock::waitReadable(conn.socket.get(), 0) == sock::Wait::Ready;
    return waitSocket(conn.socket.get(), false, deadline) == sock::Wait::Ready;
}

NetRead Network::fill(NetConnection& conn, NetDeadline deadline) {
    if (conn.socket.get() < 0) return NetRead::Closed;
    for (;;) {
        if (tlsBound(conn.socket.get())) {
            const auto [n, error] = tls_->readStep(conn.buffer, static_cast<int>(NetConnection::kBufferSize));
            if (n > 0) {
                conn.position = 0;
                conn.count = static_cast<size_t>(n);
                return NetRead::Ok;
            }
            sock::Wait w;
            if (error == TlsState::kWantRead) {
                w = waitSocket(conn.socket.get(), false, deadline);
            } else if (error == TlsState::kWantWrite) {
                w = waitSocket(conn.socket.get(), true, deadline);
            } else {
                // The close notice, or a hang-up without one, ends the data in order; anything
                // else (a reset under the session, a broken record) breaks the connection.
                if (error == TlsState::kZeroReturn) return NetRead::Closed;
                if (error != TlsState::kSyscall && writeLine) writeLine("Erro SSL: " + std::to_string(error));
                return NetRead::Failed;
            }
            if (w == sock::Wait::TimedOut) return NetRead::TimedOut;
            if (w == sock::Wait::Failed) return NetRead::Failed;
            continue;
        }
        size_t got = 0;
        NetRead r = receive(conn.socket.get(), conn.buffer, NetConnection::kBufferSize, got, deadline);
        if (r == NetRead::Ok) {
            conn.position = 0;
            conn.count = got;
        }
        return r;
    }
}

NetRead Network::receive(int socket, char* out, size_t size, size_t& got, NetDeadline deadline) {
    got = 0;
    for (;;) {
        IoResult r = sock::receiveSome(socket, out, size);
        if (r.error == 0) {
            if (r.count == 0) return NetRead::Closed;
            got = r.count;
            return NetRead::Ok;
        }
        // A reset or any other receive error is no end of the data.
        if (r.error != EAGAIN) return NetRead::Failed;
        sock::Wait w = waitSocket(socket, false, deadline);
        if (w == sock::Wait::TimedOut) return NetRead::TimedOut;
        if (w == sock::Wait::Failed) return NetRead::Failed;
    }
}

NetRead Network::readSome(NetConnection& conn, char* out, size_t size, size_t& got, NetDeadline deadline) {
    got = 0;
    if (size == 0) return NetRead::Ok;
    if (conn.position >= conn.count) {
        if (size >= NetConnection::kBufferSize && conn.socket.get() >= 0 && !tlsBound(conn.socket.get()))
            return receive(conn.socket.get(), out, size, got, deadline);
        NetRead r = fill(conn, deadline);
        if (r != NetRead::Ok) return r;
    }
    got = std::min(size, conn.count - conn.position);
    std::memcpy(out, conn.buffer + conn.position, got);
    conn.position += got;
    return NetRead::Ok;
}

NetRead Network::readByte(NetConnection& conn, uint8_t& byte, NetDeadline deadline) {
    if (conn.position >= conn.count) {
        NetRead r = fill(conn, deadline);
        if (r != NetRead::Ok) return r;
    }
    byte = static_cast<uint8_t>(conn.buffer[conn.position++]);
    return NetRead::Ok;
}

NetRead Network::readLine(NetConnection& conn, std::string& line, size_t maxLength, NetDeadline deadline) {
    line.clear();
    bool any = false;
    for (;;) {
        if (conn.position >= conn.count) {
            NetRead r = fill(conn, deadline);
            if (r == NetRead::TimedOut || r == NetRead::Failed) return r;
            if (r == NetRead::Closed) {
                if (!any) return NetRead::Closed;
                break;
            }
        }
        const char* start = conn.buffer + conn.position;
        size_t available = conn.count - conn.position;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', available));
        size_t take = lf ? static_cast<size_t>(lf - start) : available;
        any = true;
        if (line.size() <= maxLength) line.append(start, std::min(take, maxLength + 1 - line.size()));
        conn.position += take + (lf ? 1 : 0);
        if (lf) break;
    }
    if (!line.empty() && line.back() == '\r' && line.size() <= maxLength) line.pop_back();
    return NetRead::Ok;
}

NetSocket& NetSocket::operator=(NetSocket&& other) noexcept {
    if (this != &other) {
        reset();
        net_ = other.net_;
        fd_ = std::move(other.fd_);
    }
    return *this;
}

void NetSocket::reset() {
    if (fd_.valid()) net_->closeSocket(fd_.release());
}

void Network::closeSocket(int socket) {
    if (socket < 0) return;
    if (tls_->boundSocket() == socket) endTls();
    sock::closeSocket(socket);
}

}  // namespace parlendo
