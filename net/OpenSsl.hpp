#pragma once

#include "net/TlsHandles.hpp"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

// The library's objects as owned handles, and the few steps every TLS piece
// shares. Only net/ sources include this: the public headers keep the
// library's types out of the programs.
namespace parlana::openssl {

template <typename Object, void (*Free)(Object*)>
struct Deleter {
    void operator()(Object* object) const { Free(object); }
};

using Context = NativeContext;
using Connection = NativeConnection;
using Session = NativeSession;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

/// The reason of the library's first queued error on this thread, and the queue
/// emptied, so the next step starts clean.
std::string lastError();

/// A context that speaks TLS 1.2 and 1.3 only, with the library's default
/// ciphers, without renegotiation, and that takes a peer's close without a
/// close_notify as an ordinary end; nothing when the library failed.
Context newContext(const SSL_METHOD* method);

/// A passphrase callback that gives none: an encrypted key is an error, not
/// a prompt on whatever terminal the server was started from.
int noPassphrase(char* buffer, int size, int writing, void* data);

/// Has `connection` read and write the connected socket `descriptor` itself,
/// without ever raising SIGPIPE; the descriptor stays its owner's.
bool attachSocket(SSL* connection, int descriptor);

/// The fingerprint of the key `certificate` holds (see
/// fingerprintOfPublicKey); empty without a certificate.
std::string keyFingerprint(X509* certificate);

} // namespace parlana::openssl
