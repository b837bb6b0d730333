#pragma once

#include <string>

namespace parlana {

/// True for a UID the room admits: 1 to 10 bytes, each printable ASCII (0x20
/// to 0x7E), holding neither "," (the roster's separator) nor ":" (the chat
/// line's), and not beginning with "$%$", the prefix of the control tokens.
/// Both programs apply it: the server to every join, the client before it
/// connects, so that a refused UID never costs a connection.
bool isValidUid(const std::string& uid);

} // namespace parlana
