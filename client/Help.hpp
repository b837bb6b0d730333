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

Keys:
  characters           type a line (at most 112 bytes of UTF-8)
  Enter                send the line (or the paste asked about)
  Backspace            erase the last character
  Ctrl+W, Ctrl+U       erase the last word, the whole line
  Up, Down             walk the last 100 lines sent
  Tab                  complete a UID (again: the next one)
  Ctrl+V, Shift+Insert paste; several lines are asked about, then sent
                       10 at once and 5 a second
  Esc                  cancel the paste asked about, or stop sending it
  PageUp, PageDown     scroll the messages a page (the wheel: 3 rows)
  Ctrl+Home, Ctrl+End  the oldest of the last 10,000 lines, the newest
  Right, Left          page the roster
Close the window to quit.

Font: font/Px437_Phoenix_BIOS-2y.ttf under the working directory, else the
installed data directory, else ../share/parlana/font/ beside the program.

Exit status: 0 when the window is closed, 1 when no font loads, 2 when
arguments are missing.
See parlana-client(1).
)";

} // namespace parlana
