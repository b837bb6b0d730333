#!/usr/bin/env python3
"""End to end: the real server and real client windows on a private Xvfb.

usage: e2e_client.py SERVER CLIENT WORKDIR [--sanitized]

WORKDIR is where the clients run (their font is loaded relative to it).
--sanitized: the binaries carry AddressSanitizer; time limits are tripled.
Exits 0 only when every check passed.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_x11 import (  # noqa: E402
    CheckRun, Failure, command_line, Peer, dominant_colour, is_lit, is_white,
    screenshot, start_client, start_server, start_xvfb, type_line, wait_for)

# Window geometry of the client (pixels from the window's top-left corner).
ROSTER_X = (30, 200)          # roster entries start at x = 35, the frame ends at 205
ROSTER_TOP, ROW = 110, 20     # entry i at y = 110 + 20 i
PANE_UID_X = (248, 292)       # the sender piece of the first message line starts at x = 250
PANE_TEXT_X = (300, 420)      # the message after "alice: "
PANE_TOP = 100
ERROR_BAND = (340, 400)       # the error text at y = 350, character size 30

ALICE_AT, BOB_AT = (0, 0), (1050, 0)


class Run(CheckRun):
    def __init__(self, server, client, workdir, sanitized):
        super().__init__(client, sanitized)
        self.server, self.workdir = server, workdir

    def roster_row(self, image, i):
        y = ROSTER_TOP + ROW * i
        return image.region(ROSTER_X[0], y, ROSTER_X[1], y + ROW)

    def roster_colours(self, window, rows):
        """Waits until exactly the first `rows` roster rows hold text; returns
        their colours."""
        def ready():
            image = screenshot(self.display, window)
            lit = [sum(map(is_lit, self.roster_row(image, i))) for i in range(rows + 1)]
            if all(n > 15 for n in lit[:rows]) and lit[rows] == 0:
                return [dominant_colour(self.roster_row(image, i)) for i in range(rows)]
            return None
        return wait_for(ready, self.t(20), "%d roster rows" % rows, step=0.2)

    def pane_line(self, window, sender_colour):
        """Waits for the first message line: sender piece in `sender_colour`,
        message in white."""
        def ready():
            image = screenshot(self.display, window)
            uid = image.region(PANE_UID_X[0], PANE_TOP, PANE_UID_X[1], PANE_TOP + ROW)
            text = image.region(PANE_TEXT_X[0], PANE_TOP, PANE_TEXT_X[1], PANE_TOP + ROW)
            return dominant_colour(uid) == sender_colour and sum(map(is_white, text)) > 15
        wait_for(ready, self.t(20), "a line in the sender's colour %r" % (sender_colour,), step=0.2)

    def error_screen(self, window):
        def ready():
            image = screenshot(self.display, window)
            band = image.region(150, ERROR_BAND[0], 1000, ERROR_BAND[1])
            elsewhere = image.region(0, 0, 1000, ERROR_BAND[0] - 10) + \
                image.region(0, ERROR_BAND[1] + 10, 1000, 700)
            return sum(map(is_white, band)) > 100 and not any(map(is_lit, elsewhere))
        wait_for(ready, self.t(20), "the error screen", step=0.2)

    def usage(self):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        out = subprocess.run([self.client, "alice", "127.0.0.1"], env=env, capture_output=True,
                             text=True, timeout=self.t(10))
        lines = out.stderr.splitlines()
        if out.returncode != 2 or len(lines) != 1 or "usage" not in lines[0]:
            raise Failure("two arguments gave status %d and %r" % (out.returncode, out.stderr))
        self.ok("too few arguments: one usage line, status 2, no window needed")

    def start_client(self, uid, port, place):
        return start_client(self.procs, self.display, self.client, self.workdir, uid, port,
                            timeout=self.t(10), place=place, extra_env=self.client_env)

    def main(self):
        self.usage()
        self.display = start_xvfb(self.procs, 2100, 760)
        server, log, port = start_server(self.procs, self.server)
        self.log = log

        alice, alice_win = self.start_client("alice", port, ALICE_AT)
        wait_for(lambda: log.find(lambda l: "alice" in l and "JOIN" in l), self.t(15), "alice's join")
        bob, bob_win = self.start_client("bob", port, BOB_AT)
        wait_for(lambda: log.find(lambda l: "bob" in l and "JOIN" in l), self.t(15), "bob's join")

        alice_sees = self.roster_colours(alice_win, 2)
        bob_sees = self.roster_colours(bob_win, 2)
        self.ok("both rosters list two UIDs: alice sees %r, bob sees %r" % (alice_sees, bob_sees))

        peer = Peer(port, "peer")
        peer.wait_for(lambda s: s == "$%$uids$%$,alice,bob,peer,", self.t(10), "the roster with peer")
        type_line(self.display, alice_win, "hello")
        seen = peer.wait_for(lambda s: not s.startswith("$%$uids$%$"), self.t(20), "a chat line")
        if seen[-1] != "alice: hello":
            raise Failure("peer received %r instead of 'alice: hello'" % seen[-1])
        self.ok("a line typed in alice's window reaches a peer as 'alice: hello'")
        self.pane_line(bob_win, bob_sees[0])
        self.ok("bob's message pane shows the line, sender in alice's roster colour")
        self.pane_line(alice_win, alice_sees[0])
        self.ok("alice's own line comes back to her pane")

        type_line(self.display, alice_win, "è")
        peer.wait_for(lambda s: s == "alice: è", self.t(20), "'alice: è' in UTF-8")
        def one_glyph():  # the second row of bob's pane: one 8-pixel character after "alice: "
            image, top = screenshot(self.display, bob_win), PANE_TOP + ROW
            return sum(map(is_white, image.region(306, top, 314, top + ROW))) > 5 and \
                not any(map(is_lit, image.region(314, top, 346, top + ROW)))
        wait_for(one_glyph, self.t(20), "'è' as one glyph in bob's pane", step=0.2)
        self.ok("'è' typed by alice reaches a peer in UTF-8, and bob's pane as one character")

        logged = len(log.snapshot())
        long_uid, long_win = self.start_client("abcdefghijk", port, ALICE_AT)
        self.error_screen(long_win)
        time.sleep(0.5)
        if len(log.snapshot()) != logged:
            raise Failure("an 11-byte UID reached the server: %r" % log.snapshot()[logged:])
        self.ok("an 11-byte UID gives the error screen and reaches no server")
        self.close(long_uid, long_win, "the client with the 11-byte UID")

        twin, twin_win = self.start_client("alice", port, ALICE_AT)
        self.error_screen(twin_win)
        self.ok("a duplicate UID gives the error screen")
        self.close(twin, twin_win, "the refused duplicate")

        self.close(bob, bob_win, "bob")
        wait_for(lambda: log.find(lambda l: "bob" in l and "LEAVE" in l), self.t(10), "bob's departure")
        peer.wait_for(lambda s: s == "$%$uids$%$,alice,peer,", self.t(10), "the roster without bob")
        self.ok("the server logs bob's departure and tells the others")
        self.close(alice, alice_win, "alice")
        peer.close()
        if server.poll() is not None:
            raise Failure("the server died")

    def diagnostics(self):
        if hasattr(self, "log"):
            return "server log:\n  " + "\n  ".join(self.log.snapshot())
        return ""


if __name__ == "__main__":
    args, sanitized = command_line(3, __doc__.strip().splitlines()[2])
    sys.exit(Run(args[0], args[1], args[2], sanitized).run())
