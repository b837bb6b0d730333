#include "net/OpenSsl.hpp"

#include "net/Fingerprint.hpp"

#include <openssl/err.h>

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

namespace parlana::openssl {

namespace {

int descriptorOf(BIO* bio)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool transient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// send with MSG_NOSIGNAL: a peer gone mid-write costs an error code, in the
// server and in the client alike, whatever either does with SIGPIPE.
int socketWrite(BIO* bio, const char* data, int size)
{
    BIO_clear_retry_flags(bio);
    const ssize_t sent = ::send(descriptorOf(bio), data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
    if (sent < 0 && transient(errno))
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int socketRead(BIO* bio, char* data, int size)
{
    BIO_clear_retry_flags(bio);
    const ssize_t received = ::recv(descriptorOf(bio), data, static_cast<std::size_t>(size), 0);
    if (received < 0 && transient(errno))
        BIO_set_retry_read(bio);
    return static_cast<int>(received);
}

long socketControl(BIO*, int command, long, void*)
{
    // The library flushes after each handshake flight; every byte already
    // went to the kernel.
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int socketCreate(BIO* bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

struct MethodDeleter {
    void operator()(BIO_METHOD* method) const { BIO_meth_free(method); }
};

const BIO_METHOD* socketMethod()
{
    static const std::unique_ptr<BIO_METHOD, MethodDeleter> method([] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "parlana socket");
        if (made != nullptr) {
            BIO_meth_set_write(made, socketWrite);
            BIO_meth_set_read(made, socketRead);
            BIO_meth_set_ctrl(made, socketControl);
            BIO_meth_set_create(made, socketCreate);
        }
        return made;
    }());
    return method.get();
}

} // namespace

std::string lastError()
{
    const unsigned long code = ERR_peek_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason != nullptr ? reason : "unknown error";
}

Context newContext(const SSL_METHOD* method)
{
    Context context(SSL_CTX_new(method));
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_max_proto_version(context.get(), TLS1_3_VERSION) != 1)
        return nullptr;
    SSL_CTX_set_options(context.get(), SSL_OP_NO_RENEGOTIATION | SSL_OP_IGNORE_UNEXPECTED_EOF);
    // Writes go out a record at a time, and a write retried after the socket
    // filled may come from memory that has moved (an outbox that grew).
    SSL_CTX_set_mode(context.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Many records come in one read; TlsStream keeps track of what it holds.
    SSL_CTX_set_read_ahead(context.get(), 1);
    return context;
}

int noPassphrase(char*, int, int, void*)
{
    return 0;
}

bool attachSocket(SSL* connection, int descriptor)
{
    const BIO_METHOD* method = socketMethod();
    BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
    if (bio == nullptr)
        return false;
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor)));
    SSL_set_bio(connection, bio, bio);
    return true;
}

std::string keyFingerprint(X509* certificate)
{
    X509_PUBKEY* key = certificate != nullptr ? X509_get_X509_PUBKEY(certificate) : nullptr;
    unsigned char* der = nullptr;
    const int size = key != nullptr ? i2d_X509_PUBKEY(key, &der) : -1;
    if (size <= 0)
        return {};
    std::string fingerprint =
        fingerprintOfPublicKey({reinterpret_cast<const char*>(der), static_cast<std::size_t>(size)});
    OPENSSL_free(der);
    return fingerprint;
}

} // namespace parlana::openssl

namespace parlana {

void NativeContextDeleter::operator()(ssl_ctx_st* context) const
{
    SSL_CTX_free(context);
}

void NativeConnectionDeleter::operator()(ssl_st* connection) const
{
    SSL_free(connection);
}

void NativeSessionDeleter::operator()(ssl_session_st* session) const
{
    SSL_SESSION_free(session);
}

} // namespace parlana
