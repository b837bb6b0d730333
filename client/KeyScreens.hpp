#pragma once

#include "client/ServerTrust.hpp"

#include <string>
#include <vector>

namespace parlana {

/// What a screen about the server's key says: a title in the error screen's
/// large type, and smaller lines under it.
struct KeyScreen {
    std::string title;
    std::vector<std::string> details;
};

/// The question put to the user about a key no authority vouches for and no
/// line of the known servers lists.
KeyScreen trustQuestion(const std::string& host, unsigned short port, const std::string& fingerprint);

/// Why the run ends without joining, for a decision that refused the server;
/// `knownServersPath` is where a changed key's line can be removed.
KeyScreen keyRefusal(const ServerTrust::Decision& decision, const std::string& host, unsigned short port,
                     const std::string& knownServersPath);

} // namespace parlana
