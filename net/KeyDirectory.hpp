#pragma once

#include <optional>
#include <string>

namespace parlana {

/// The PEM files of a server's own key and its certificate.
struct KeyFiles {
    std::string certificate;
    std::string key;
};

/// Makes sure `directory` holds the server's own key and a certificate for
/// it, and names their files. At first start the directory (one level, mode
/// 0700) and an EC P-256 key (`key.pem`, mode 0600) are created; the key is
/// then reused for good, as clients pin it. A self-signed certificate
/// (`cert.pem`) is made whenever none for that key is there, so one that an
/// operator puts in its place for the same key is kept. A key file that
/// cannot be read is an error, never replaced. Nothing, with `error` set,
/// when a step failed.
std::optional<KeyFiles> prepareKeyDirectory(const std::string& directory, std::string& error);

} // namespace parlana
