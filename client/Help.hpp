#pragma once

#include <string_view>

namespace parlana {

/// What `parlana-client --help` prints; the manual page says the rest.
inline constexpr std::string_view clientHelp =
    R"(usage: parlana-client UID SERVER_ADDRESS PORT [--tls] [--pin SHA256:HEX]
       parlana-client --help | --version

Opens a chat window and joins the room at SERVER_ADDRESS, TCP port PORT, as
UID (1 to 10 printable ASCII characters, no "," or ":", not starting with
"$%$") about 3 seconds after start. A lost connection is tried again by
itself, 1 s later, then at most 15 s apart.

Options, after PORT:
  --tls                speak TLS only, never a byte in clear; a server that
                       does not answer TLS gets an error screen
  --pin SHA256:HEX     accept only the key with this fingerprint (the server
                       prints it at start); implies --tls
Over TLS without --pin, a certificate the system's authorities vouch for,
naming SERVER_ADDRESS, is accepted. Otherwise the window shows the server's
fingerprint the first time: Enter trusts it for good, Esc leaves. Trusted keys
are kept one per line, "HOST:PORT SHA256:HEX", in
$XDG_DATA_HOME/parlana/known_servers (~/.local/share/parlana/known_servers).
A server whose key changed gets an error screen and nothing is sent; if its
new key is genuine, delete the server's line from that file.

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

Exit status: 0 when the window is closed, 1 when no font loads or TLS cannot
be set up, 2 when arguments are missing or an option is not known.
See parlana-client(1).
)";

} // namespace parlana
