#pragma once

#include <string>

namespace parlana {

/// Control tokens. A packet is a control packet when its string begins
/// with one of these; anything else is a chat line.
inline const std::string kRosterToken = "$%$uids$%$";
inline const std::string kUidErrorToken = "$%$uid_error$%$";
inline const std::string kLimitToken = "$%$limit_reached$%$";

/// Refusal texts the client shows on its error screen.
inline const std::string kUidNotValidMessage = "ERROR: UID not valid, try another UID";
inline const std::string kServerFullMessage = "ERROR: SERVER MAX CONNECTION REACHED";

/// Longest UID a client will send, in bytes.
constexpr std::size_t kMaxUidBytes = 10;

/// True when `text` starts with `token` (position 0 only).
inline bool beginsWith(const std::string& text, const std::string& token)
{
    return text.compare(0, token.size(), token) == 0;
}

} // namespace parlana
