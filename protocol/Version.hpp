#pragma once

#include <optional>
#include <ostream>
#include <string_view>

namespace parlana {

/// The release of this build, as the project's CMake VERSION names it; both
/// programs and the Debian packages report the same one.
const char* version();

/// Answers `--help` or `--version` wherever it stands among the arguments,
/// before anything reads them as a UID or a port: `help` or "PROGRAM VERSION"
/// goes to `out`, and the status to exit with comes back. Empty when neither
/// was asked for, so the program carries on.
std::optional<int> answerInfoRequest(int argc, const char* const* argv, std::string_view program, std::string_view help,
                                     std::ostream& out);

} // namespace parlana
