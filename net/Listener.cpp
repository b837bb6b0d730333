#include "net/Listener.hpp"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace parlana {

sf::Socket::Status Listener::listenOnEveryAddress(unsigned short port)
{
    // SFML binds without the option, so the socket is made here and handed
    // over once it listens.
    const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
    if (descriptor < 0)
        return sf::Socket::Error;
    const int reuse = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        ::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(descriptor, SOMAXCONN) != 0) {
        ::close(descriptor);
        return sf::Socket::Error;
    }
    close();
    create(descriptor);
    return sf::Socket::Done;
}

} // namespace parlana
