#include "protocol/Version.hpp"

#include <string_view>

#ifndef PARLANA_VERSION
#error "PARLANA_VERSION must come from the build (the project's VERSION)"
#endif

namespace parlana {

const char* version()
{
    return PARLANA_VERSION;
}

std::optional<int> answerInfoRequest(int argc, const char* const* argv, std::string_view program, std::string_view help,
                                     std::ostream& out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help") {
            out << help;
            return 0;
        }
        if (arg == "--version") {
            out << program << ' ' << version() << '\n';
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace parlana
