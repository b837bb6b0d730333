#pragma once

#include <memory>

struct ssl_ctx_st;
struct ssl_st;
struct ssl_session_st;

namespace parlana {

/// Frees the library's context.
struct NativeContextDeleter {
    void operator()(ssl_ctx_st* context) const;
};

/// Frees the library's connection.
struct NativeConnectionDeleter {
    void operator()(ssl_st* connection) const;
};

/// Frees the library's session.
struct NativeSessionDeleter {
    void operator()(ssl_session_st* session) const;
};

/// The library's objects, owned, for headers that must not include it.
using NativeContext = std::unique_ptr<ssl_ctx_st, NativeContextDeleter>;
using NativeConnection = std::unique_ptr<ssl_st, NativeConnectionDeleter>;
using NativeSession = std::unique_ptr<ssl_session_st, NativeSessionDeleter>;

} // namespace parlana
