#pragma once

#include <string_view>

namespace parlana {

/// What `parlana-client --help` prints; the manual page says the rest.
inline constexpr std::string_view clientHelp = R"(usage: parlana-client UID SERVER_ADDRESS PORT
       parlana-client --help | --version

Opens a chat window and joins the room at SERVER_ADDRESS, TCP port PORT, as
UID (1 to 10 printable ASCII characters, no "," or ":", not starting with
"$%$") about 3 seconds after start. A lost connection is tried again by
itself, 1 s later, then at most 15 s apart.

Keys: type a line (any characters, at most 112 bytes of UTF-8) and press
Enter to send it; Backspace erases; Right and Left page the roster; close
the window to quit.

Font: font/Px437_Phoenix_BIOS-2y.ttf under the working directory, else the
installed data directory, else ../share/parlana/font/ beside the program.

Exit status: 0 when the window is closed, 1 when no font loads, 2 when
arguments are missing.
See parlana-client(1).
)";

} // namespace parlana
