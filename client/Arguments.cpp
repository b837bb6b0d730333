#include "client/Arguments.hpp"

#include <cstdlib>

namespace parlana {

unsigned short port_from_arg(const char* arg)
{
    // Same digits as atoi, but an overlong number saturates instead of
    // being undefined; the conversion to 16 bits then wraps it.
    return static_cast<unsigned short>(std::strtol(arg, nullptr, 10));
}

Arguments read_arguments(const char* const* argv)
{
    return {argv[1], argv[2], port_from_arg(argv[3])};
}

} // namespace parlana
