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
    case BIO_C_SET_FD:
        BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(*static_cast<int*>(pointer))));
        BIO_set_init(bio, 1);
        return 1;
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
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR,
                                     "parlendo socket");
        if (!m) return m;
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_puts(m, bioPuts);
        BIO_meth_set_ctrl(m, bioCtrl);
        return m;
    }();
    return method;
}

SSL_CTX* ctx(void* p) { return static_cast<SSL_CTX*>(p); }
SSL* ssl(void* p) { return static_cast<SSL*>(p); }

}  // namespace

TlsState::~TlsState() {
    end();
    if (context_) SSL_CTX_free(ctx(context_));
}

bool TlsState::begin(int fd, const std::string& host, bool verify) {
    end();
    if (!context_) {
        SSL_CTX* c = SSL_CTX_new(TLS_client_method());
        if (!c) return false;
        // The system's trust store (SSL_CERT_FILE and SSL_CERT_DIR are honoured).
        SSL_CTX_set_default_verify_paths(c);
        // Many servers hang up without a close notice; that is the end of the data, not an
        // error.
        SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF);
        context_ = c;
    }
    BIO* bio = socketMethod() ? BIO_new(socketMethod()) : nullptr;
    SSL* s = SSL_new(ctx(context_));
    if (!s || !bio) {
        if (bio) BIO_free(bio);
        if (s) SSL_free(s);
        return false;
    }
    int socketFd = fd;
    BIO_ctrl(bio, BIO_C_SET_FD, 0, &socketFd);
    SSL_set_bio(s, bio, bio);
    uint8_t octets[4];
    bool isAddress = parseDottedIpv4(host, octets) || host.find(':') != std::string::npos;
    // The server name goes out for names only: an address is not a name a server can pick a
    // certificate by.
    if (!isAddress) SSL_set_tlsext_host_name(s, host.c_str());
    if (verify) {
        SSL_set_verify(s, SSL_VERIFY_PEER, nullptr);
        if (isAddress) X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s), host.c_str());
        else SSL_set1_host(s, host.c_str());
    } else {
        SSL_set_verify(s, SSL_VERIFY_NONE, nullptr);
    }
    session_ = s;
    fd_ = fd;
    verify_ = verify;
    active_ = false;
    return true;
}

int TlsState::connectStep(int& error) {
    ERR_clear_error();
    int r = SSL_connect(ssl(session_));
    if (r > 0) {
        error = kNone;
        return 1;
    }
    error = SSL_get_error(ssl(session_), r);
    return 0;
}

bool TlsState::certificateRejected() const {
    return session_ && verify_ && SSL_get_verify_result(ssl(session_)) != X509_V_OK;
}

int TlsState::readStep(char* buffer, int size, int& error) {
    ERR_clear_error();
    int r = SSL_read(ssl(session_), buffer, size);
    if (r > 0) {
        error = kNone;
        return r;
    }
    error = SSL_get_error(ssl(session_), r);
    return 0;
}

int TlsState::writeStep(const char* data, int size, int& error) {
    ERR_clear_error();
    int r = SSL_write(ssl(session_), data, size);
    if (r > 0) {
        error = kNone;
        return r;
    }
    error = SSL_get_error(ssl(session_), r);
    return 0;
}

bool TlsState::pending() const { return active_ && session_ && SSL_pending(ssl(session_)) > 0; }

void TlsState::end() {
    if (session_) {
        if (active_) SSL_shutdown(ssl(session_));
        SSL_free(ssl(session_));
        ERR_clear_error();
    }
    session_ = nullptr;
    fd_ = -1;
    active_ = false;
}

}  // namespace parlendo
