// The program's single TLS state over OpenSSL: one client context, and at most one session
// bound to one socket at a time. The steps here never block; the connection layer waits on the
// socket between them.
#pragma once

#include <memory>
#include <string>

// OpenSSL's context and session (SSL_CTX, SSL), named here only to be owned.
struct ssl_ctx_st;
struct ssl_st;

namespace parlendo {

class TlsState {
public:
    // What a step asks for next (the codes of the library's error query).
    static constexpr int kNone = 0;
    static constexpr int kSsl = 1;
    static constexpr int kWantRead = 2;
    static constexpr int kWantWrite = 3;
    static constexpr int kSyscall = 5;
    static constexpr int kZeroReturn = 6;

    TlsState() = default;
    ~TlsState();
    TlsState(const TlsState&) = delete;
    TlsState& operator=(const TlsState&) = delete;

    // Binds a new session to the socket, with the host as server name; the server's certificate
    // is checked against the system's trust store and the host when `verify`. False when the
    // library cannot make a context or a session.
    [[nodiscard]] bool begin(int fd, const std::string& host, bool verify);
    // What one step did: above 0 the bytes moved (1 for a finished handshake); 0 with the code
    // of what the library asks for next in `error`.
    struct [[nodiscard]] Step {
        int count = 0;
        int error = kNone;
    };
    // One step of the handshake.
    Step connectStep();
    // True when the handshake failed because the certificate did not check out.
    bool certificateRejected() const;
    Step readStep(char* buffer, int size);
    Step writeStep(const char* data, int size);
    bool pending() const;
    // Ends the session (a close notice is sent without waiting for the answer).
    void end();

    bool active() const { return active_; }
    void setActive() { active_ = true; }
    int boundSocket() const { return fd_; }

private:
    // The step's result from the library's answer r.
    Step stepResult(int r) const;
    struct FreeContext {
        void operator()(ssl_ctx_st* context) const;
    };
    struct FreeSession {
        void operator()(ssl_st* session) const;
    };
    // Declared in this order so that the session goes before the context it was made from.
    std::unique_ptr<ssl_ctx_st, FreeContext> context_;
    std::unique_ptr<ssl_st, FreeSession> session_;
    int fd_ = -1;
    bool active_ = false;
    bool verify_ = false;
};

}  // namespace parlendo
