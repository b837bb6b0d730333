#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parlana {

/// What every key fingerprint begins with.
inline constexpr std::string_view kFingerprintPrefix = "SHA256:";

/// The fingerprint of a public key given as its DER SubjectPublicKeyInfo:
/// "SHA256:" and the 64 lowercase hex digits of its SHA-256. It names the
/// key, not a certificate, so a certificate renewed on the same key keeps it.
std::string fingerprintOfPublicKey(std::string_view subjectPublicKeyInfo);

/// A pin as a user writes it: "SHA256:" and 64 hex digits in either case.
/// The fingerprint as `fingerprintOfPublicKey` writes it, or nothing when
/// `text` is not one.
std::optional<std::string> parsePin(std::string_view text);

} // namespace parlana
