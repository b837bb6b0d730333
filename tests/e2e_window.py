#!/usr/bin/env python3
"""End to end: a 200-line paste sent through the real server, and scrolling
back, in a real client window on a private Xvfb.

usage: e2e_window.py SERVER CLIENT WORKDIR [--sanitized]
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_x11 import (  # noqa: E402
    CheckRun, Failure, Peer, command_line, hold_key, screenshot, start_client, start_server,
    start_xvfb, wait_for, x_env, xdotool)

MARK_FILL = (60, 60, 60)       # the mark's bar on the pane's bottom row, y 538 to 560
NOTICE = (95, 613, 700, 628)   # the input box's row for a question or progress


class Run(CheckRun):
    def __init__(self, server, client, workdir, sanitized):
        super().__init__(client, sanitized)
        self.server, self.workdir = server, workdir

    def marked(self, window):
        return screenshot(self.display, window).region(240, 545, 900, 555).count(MARK_FILL) > 2000

    def main(self):
        self.display = start_xvfb(self.procs, 1100, 760)
        _, log, port = start_server(self.procs, self.server)
        peers = [Peer(port, "peer1"), Peer(port, "peer2")]
        alice, window = start_client(self.procs, self.display, self.client, self.workdir, "alice", port,
                                     timeout=self.t(10), place=(0, 0), extra_env=self.client_env)
        for peer in peers:
            peer.wait_for(lambda s: s.startswith("$%$uids$%$") and "alice" in s, self.t(15), "alice listed")

        lines = ["line %03d of the paste" % i for i in range(200)]
        clip = self.procs.start(["xclip", "-quiet", "-selection", "clipboard", "-i"], env=x_env(self.display),
                                stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        clip.stdin.write(("\r\n".join(lines) + "\r\n").encode())
        clip.stdin.close()
        time.sleep(0.5)
        xdotool(self.display, "windowfocus", "--sync", window)
        xdotool(self.display, "key", "ctrl+v")
        wait_for(lambda: any(px[0] > 200 and px[2] < 60 for px in screenshot(self.display, window).region(*NOTICE)),
                 self.t(10), "the paste's question in yellow")
        self.ok("Ctrl+V with 200 lines asks before sending")
        hold_key(self.display, "Return", 0.1)
        start = time.monotonic()
        for peer in peers:
            got = [s for s in peer.wait_for(lambda s: s == "alice: " + lines[-1], self.t(120), "the last line")
                   if s.startswith("alice: ")]
            if got != ["alice: " + line for line in lines]:
                raise Failure("%s got %d lines, not the 200 in order: %r" % (peer, len(got), got[:3]))
        took = time.monotonic() - start
        if log.find(lambda l: "alice" in l and ("FLOOD" in l or "LEAVE" in l)):
            raise Failure("alice was cut off: %r" % log.snapshot())
        self.ok("200 pasted lines reached both members whole and in order in %.1f s, no disconnect" % took)

        wait_for(lambda: not self.marked(window), self.t(10), "the live view")
        xdotool(self.display, "key", "Prior")
        wait_for(lambda: self.marked(window), self.t(10), "the mark after PageUp")
        xdotool(self.display, "key", "ctrl+End")
        wait_for(lambda: not self.marked(window), self.t(10), "the live view after Ctrl+End")
        xdotool(self.display, "mousemove", "--window", window, 500, 300, "click", "4")
        wait_for(lambda: self.marked(window), self.t(10), "the mark after the wheel")
        self.ok("PageUp and the wheel scroll back over the mark, Ctrl+End returns")
        self.close(alice, window, "alice")
        for peer in peers:
            peer.close()


if __name__ == "__main__":
    args, sanitized = command_line(3, __doc__.strip().splitlines()[2])
    sys.exit(Run(args[0], args[1], args[2], sanitized).run())
