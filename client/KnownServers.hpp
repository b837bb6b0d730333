#pragma once

#include <optional>
#include <string>

namespace parlana {

/// The servers whose keys the user chose to trust, kept from run to run in a
/// file of one line per server: "HOST:PORT SHA256:HEX" (an address with
/// colons in brackets). Blank lines and lines starting with "#" are kept and
/// mean nothing; host names compare without regard to case.
class KnownServers {
public:
    /// What the file says of a server's key.
    enum class Verdict {
        Unknown, ///< no line for the server
        Trusted, ///< its line holds this key
        Changed, ///< its line holds another key
    };

    /// What the file says of one key.
    struct Finding {
        Verdict verdict;
        /// The fingerprint on file when the key changed, as written there.
        std::string known;
    };

    /// `$XDG_DATA_HOME/parlana/known_servers`, or
    /// `~/.local/share/parlana/known_servers` where that variable is unset or
    /// not an absolute path; empty when HOME is not set either.
    static std::string defaultPath();

    /// The store in the file at `path`, which need not exist yet.
    explicit KnownServers(std::string path) : m_path(std::move(path)) {}

    /// What the file says of `fingerprint` as the key of `host` on `port`.
    /// An unreadable file is an empty one.
    Finding check(const std::string& host, unsigned short port, const std::string& fingerprint) const;

    /// Trusts `fingerprint` (as parsePin accepts it) for `host` on `port` for
    /// good: its line is added behind the others, through a new file in the
    /// same directory that then takes the file's name, so no reader ever sees
    /// half of it; missing directories are made. A server already listed
    /// keeps its line: true when that line holds this key, false with
    /// `error` set when it holds another, whose line only the user may
    /// remove. False with `error` set when the file cannot be written, or
    /// is there but cannot be read: it is then left as it is.
    bool trust(const std::string& host, unsigned short port, const std::string& fingerprint, std::string& error) const;

    /// Where the file is, for the screens that tell the user to edit it.
    const std::string& path() const { return m_path; }

private:
    /// The fingerprint on the line of `server` ("host:port", lowercase).
    std::optional<std::string> lookup(const std::string& contents, const std::string& server) const;

    std::string m_path;
};

} // namespace parlana
