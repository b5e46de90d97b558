// The TLS state over OpenSSL 3. The session talks to its socket through a small BIO of our own
// that sends without the broken-pipe signal, so a server that hangs up mid-write cannot end the
// program.
#include "net/tls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstdint>

#include "net/connection.h"
#include "platform/socket.h"

namespace parlendo {

namespace {

int bioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    IoResult r = sock::sendSome(BIO_get_fd(bio, nullptr), data, static_cast<size_t>(size));
    if (r.error == EAGAIN) {
        BIO_set_retry_write(bio);
        return -1;
    }
    if (r.error != 0) return -1;
    return static_cast<int>(r.count);
}

int bioRead(BIO* bio, char* buffer, int size) {
    BIO_clear_retry_flags(bio);
    IoResult r = sock::receiveSome(BIO_get_fd(bio, nullptr), buffer, static_cast<size_t>(size));
    if (r.error == EAGAIN) {
        BIO_set_retry_read(bio);
        return -1;
    }
    if (r.error != 0) return -1;
    return static_cast<int>(r.count);
}

int bioPuts(BIO* bio, const char* text) {
    return bioWrite(bio, text, static_cast<int>(std::char_traits<char>::length(text)));
}

// The fd is kept in the BIO's number; the socket stays the connection layer's to close.
long bioCtrl(BIO* bio, int command, long number, void* pointer) {
    switch (command) {
        case BIO_C_SET_FD: {
            // The BIO keeps the descriptor itself as its data.
            const intptr_t descriptor = *static_cast<int*>(pointer);
            BIO_set_data(bio, reinterpret_cast<void*>(descriptor));  // NOLINT(performance-no-int-to-ptr)
            BIO_set_init(bio, 1);
            return 1;
        }
        case BIO_C_GET_FD: {
            int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
            if (pointer) *static_cast<int*>(pointer) = fd;
            return fd;
        }
        case BIO_CTRL_FLUSH:
        case BIO_CTRL_DUP:
            return 1;
        default:
            return 0;
    }
}

BIO_METHOD* socketMethod() {
    // Made once and kept for the life of the process, as the library's own methods are.
    static BIO_METHOD* method = [] {
        BIO_METHOD* m =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "parlendo socket");
        if (!m) return m;
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_puts(m, bioPuts);
        BIO_meth_set_ctrl(m, bioCtrl);
        return m;
    }();
    return method;
}

struct FreeBio {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

}  // namespace

void TlsState::FreeContext::operator()(ssl_ctx_st* context) const { SSL_CTX_free(context); }
void TlsState::FreeSession::operator()(ssl_st* session) const { SSL_free(session); }

TlsState::~TlsState() { end(); }

bool TlsState::begin(int fd, const std::string& host, bool verify) {
    end();
    if (!context_) {
        std::unique_ptr<SSL_CTX, FreeContext> c(SSL_CTX_new(TLS_client_method()));
        if (!c) return false;
        // The system's trust store (SSL_CERT_FILE and SSL_CERT_DIR are honoured).
        SSL_CTX_set_default_verify_paths(c.get());
        // Many servers hang up without a close notice; that is the end of the data, not an
        // error.
        SSL_CTX_set_options(c.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
        context_ = std::move(c);
    }
    std::unique_ptr<BIO, FreeBio> bio(socketMethod() ? BIO_new(socketMethod()) : nullptr);
    std::unique_ptr<SSL, FreeSession> owned(SSL_new(context_.get()));
    if (!owned || !bio) return false;
    SSL* s = owned.get();
    int socketFd = fd;
    BIO_ctrl(bio.get(), BIO_C_SET_FD, 0, &socketFd);
    // The session owns the BIO from here on.
    BIO* io = bio.release();
    SSL_set_bio(s, io, io);
    uint8_t octets[4];
    bool isAddress = parseDottedIpv4(host, octets) || host.find(':') != std::string::npos;
    // The server name goes out for names only: an address is not a name a server can pick a
    // certificate by.
    if (!isAddress) SSL_set_tlsext_host_name(s, host.c_str());
    if (verify) {
        SSL_set_verify(s, SSL_VERIFY_PEER, nullptr);
        if (isAddress)
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s), host.c_str());
        else
            SSL_set1_host(s, host.c_str());
    } else {
        SSL_set_verify(s, SSL_VERIFY_NONE, nullptr);
    }
    session_ = std::move(owned);
    fd_ = fd;
    verify_ = verify;
    active_ = false;
    return true;
}

TlsState::Step TlsState::stepResult(int r) const {
    if (r > 0) return {r, kNone};
    return {0, SSL_get_error(session_.get(), r)};
}

TlsState::Step TlsState::connectStep() {
    ERR_clear_error();
    const int r = SSL_connect(session_.get());
    return stepResult(r > 0 ? 1 : r);
}

bool TlsState::certificateRejected() const {
    return session_ && verify_ && SSL_get_verify_result(session_.get()) != X509_V_OK;
}

TlsState::Step TlsState::readStep(char* buffer, int size) {
    ERR_clear_error();
    return stepResult(SSL_read(session_.get(), buffer, size));
}

TlsState::Step TlsState::writeStep(const char* data, int size) {
    ERR_clear_error();
    return stepResult(SSL_write(session_.get(), data, size));
}

bool TlsState::pending() const { return active_ && session_ && SSL_pending(session_.get()) > 0; }

void TlsState::end() {
    if (session_) {
        if (active_) SSL_shutdown(session_.get());
        session_.reset();
        ERR_clear_error();
    }
    fd_ = -1;
    active_ = false;
}

}  // namespace parlendo
