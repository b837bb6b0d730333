#include "client/KeyScreens.hpp"

namespace parlana {

namespace {

// The server as the user named it, on the first lines of every screen.
std::vector<std::string> serverLines(const std::string& host, unsigned short port)
{
    return {"server        " + host, "port          " + std::to_string(port)};
}

KeyScreen withServer(std::string title, const std::string& host, unsigned short port,
                     std::initializer_list<std::string> more)
{
    KeyScreen screen{std::move(title), serverLines(host, port)};
    screen.details.insert(screen.details.end(), more);
    return screen;
}

} // namespace

KeyScreen trustQuestion(const std::string& host, unsigned short port, const std::string& fingerprint)
{
    return withServer("TRUST THIS SERVER'S KEY?", host, port,
                      {"fingerprint   " + fingerprint, "",
                       "No certificate authority vouches for this server, and you have not trusted it",
                       "before. Compare the fingerprint with the one the room's host published.", "",
                       "Enter: trust this key for good and join.    Esc: leave without joining."});
}

KeyScreen keyRefusal(const ServerTrust::Decision& decision, const std::string& host, unsigned short port,
                     const std::string& knownServersPath)
{
    using Verdict = ServerTrust::Verdict;
    switch (decision.verdict) {
    case Verdict::Changed:
        return withServer("ERROR: the server's key has changed", host, port,
                          {"trusted key   " + decision.expected, "server's key  " + decision.presented, "",
                           "Your UID was not sent. Someone may stand between you and the server, or the",
                           "room has a new key. If its host confirms the new key, remove the line of",
                           "this server from " + knownServersPath + " and start again."});
    case Verdict::NotPinned:
        return withServer("ERROR: not the pinned key", host, port,
                          {"pinned key    " + decision.expected, "server's key  " + decision.presented, "",
                           "Your UID was not sent."});
    case Verdict::NoKey:
        return withServer("ERROR: the server showed no key", host, port, {"", "Your UID was not sent."});
    case Verdict::NotTls:
    case Verdict::Accepted:
    case Verdict::Unknown:
        break;
    }
    return withServer("ERROR: the server does not answer TLS", host, port,
                      {"", "Your UID was not sent. Is this the port of a TLS room? Without --tls and --pin",
                       "the client joins in clear."});
}

} // namespace parlana
