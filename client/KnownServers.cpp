#include "client/KnownServers.hpp"

#include "net/Fingerprint.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace parlana {

namespace {

// The file's bytes, "" when there is no file; nothing, with `error` set,
// when there is one that cannot be read: rewritten from nothing, it would
// lose every key the user trusted.
std::optional<std::string> readAll(const std::string& path, std::string& error)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0 && errno == ENOENT)
        return std::string();
    std::string contents;
    bool whole = descriptor >= 0;
    char chunk[4096];
    for (ssize_t got = 1; whole && got != 0;) {
        got = ::read(descriptor, chunk, sizeof chunk);
        if (got > 0)
            contents.append(chunk, static_cast<std::size_t>(got));
        whole = got >= 0 || errno == EINTR;
    }
    if (!whole)
        error = "cannot read " + path + ": " + std::strerror(errno) + "; the file is left as it is";
    if (descriptor >= 0)
        ::close(descriptor);
    if (!whole)
        return std::nullopt;
    return contents;
}

// Host names are the same in any case.
std::string lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// "host:port" as the file writes it: an address with colons in brackets.
std::string serverKey(const std::string& host, unsigned short port)
{
    std::string name = lowercase(host);
    if (name.find(':') != std::string::npos)
        name = "[" + name + "]";
    return name + ":" + std::to_string(port);
}

// Makes `directory` and every missing parent, as private to the user.
bool makeDirectories(const std::string& directory)
{
    for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        const std::string part = directory.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool writeWhole(int descriptor, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Writes `contents` to a new file beside `path`, then gives it that name.
bool replaceFile(const std::string& path, const std::string& contents, std::string& error)
{
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
    if (!makeDirectories(directory)) {
        error = "cannot create " + directory + ": " + std::strerror(errno);
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        error = "cannot write in " + directory + ": " + std::strerror(errno);
        return false;
    }
    const bool written = writeWhole(descriptor, contents) && ::fsync(descriptor) == 0;
    const int writeError = errno;
    ::close(descriptor);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(written ? errno : writeError);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string KnownServers::defaultPath()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return std::string(data) + "/parlana/known_servers";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0')
        return {};
    return std::string(home) + "/.local/share/parlana/known_servers";
}

std::optional<std::string> KnownServers::lookup(const std::string& contents, const std::string& server) const
{
    std::istringstream lines(contents);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string name, fingerprint;
        if (fields >> name >> fingerprint && name[0] != '#' && lowercase(name) == server)
            return fingerprint;
    }
    return std::nullopt;
}

KnownServers::Finding KnownServers::check(const std::string& host, unsigned short port,
                                          const std::string& fingerprint) const
{
    std::string unread;
    const std::optional<std::string> known = lookup(readAll(m_path, unread).value_or(""), serverKey(host, port));
    if (!known)
        return {Verdict::Unknown, {}};
    // A line whose key cannot be read still names the server: it is never
    // taken as no line at all.
    const std::optional<std::string> presented = parsePin(fingerprint);
    if (presented && parsePin(*known) == presented)
        return {Verdict::Trusted, {}};
    return {Verdict::Changed, *known};
}

bool KnownServers::trust(const std::string& host, unsigned short port, const std::string& fingerprint,
                         std::string& error) const
{
    const std::optional<std::string> pin = parsePin(fingerprint);
    if (!pin) {
        error = "not a key fingerprint: " + fingerprint;
        return false;
    }
    if (m_path.empty()) {
        error = "no place for the known servers: neither XDG_DATA_HOME nor HOME is set";
        return false;
    }
    const std::string server = serverKey(host, port);
    std::optional<std::string> read = readAll(m_path, error);
    if (!read)
        return false;
    std::string& contents = *read;
    if (const std::optional<std::string> known = lookup(contents, server)) {
        if (parsePin(*known) == pin)
            return true;
        error = m_path + " holds another key for " + server + "; the file is left as it is";
        return false;
    }
    if (!contents.empty() && contents.back() != '\n')
        contents += '\n';
    contents += server + " " + *pin + "\n";
    return replaceFile(m_path, contents, error);
}

} // namespace parlana
