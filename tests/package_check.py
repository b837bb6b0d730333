#!/usr/bin/env python3
"""The installed programs, run from a directory that holds no font.

usage: package_check.py ROOT VERSION

ROOT is a directory into which both Debian packages were unpacked
(dpkg-deb -x); VERSION is the packages' version. The server must admit a
join; the client, on a private Xvfb, must find the font linked in ROOT, draw
text and join; with that font removed it must print one line naming the
places it looked and exit 1 without opening a window. This removes the font
from ROOT. Exits 0 only when every check passed.
"""

import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_x11 import (  # noqa: E402
    CheckRun, Failure, Peer, client_windows, command_line, is_lit, screenshot, start_client,
    start_server, start_xvfb, wait_for)

FONT = "Px437_Phoenix_BIOS-2y.ttf"
# Where the client package links the font on a real installation; present, it would
# be found first and hide whether the unpacked one is.
INSTALLED_FONT = "/usr/share/parlana/font/" + FONT
ROSTER_FIRST_ROW = (30, 110, 200, 130)  # the first roster entry's text, inside its frame


class Run(CheckRun):
    def __init__(self, root, version):
        super().__init__(os.path.join(root, "usr", "bin", "parlana-client"), sanitized=False)
        self.root, self.version = root, version
        self.server = os.path.join(root, "usr", "bin", "parlana-server")
        self.font = os.path.join(root, "usr", "share", "parlana", "font", FONT)
        self.nowhere = tempfile.mkdtemp(prefix="parlana-nofont-")

    def run_plain(self, argv, env=None):
        return subprocess.run(argv, cwd=self.nowhere, env=env, capture_output=True, text=True,
                              timeout=10)

    def answers(self, program):
        """--help and --version on stdout with status 0, needing no display,
        and neither read as a UID or a port."""
        name = os.path.basename(program)
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        out = self.run_plain([program, "--help"], env)
        if out.returncode != 0 or not out.stdout.startswith("usage: " + name) or out.stderr:
            raise Failure("%s --help gave %d, %r, %r" % (name, out.returncode, out.stdout, out.stderr))
        out = self.run_plain([program, "--version"], env)
        if out.returncode != 0 or out.stdout != "%s %s\n" % (name, self.version):
            raise Failure("%s --version gave %d, %r (package version %s)"
                          % (name, out.returncode, out.stdout, self.version))
        self.ok("%s answers --help and --version (%s) on stdout with status 0" % (name, self.version))

    def server_admits_a_join(self):
        _, log, port = start_server(self.procs, self.server)
        peer = Peer(port, "peer")
        wait_for(lambda: "[*] peer : JOIN" in log.snapshot(), 10, "the server to admit peer")
        peer.wait_for(lambda s: s == "$%$uids$%$,peer,", 10, "the roster with peer")
        self.ok("the unpacked server, run from %s, admits a join" % self.nowhere)
        return log, port, peer

    def client_finds_its_font(self, log, port, peer):
        self.display = start_xvfb(self.procs, 1100, 760)
        proc, window = start_client(self.procs, self.display, self.client, self.nowhere, "alice",
                                    port, place=(0, 0))
        wait_for(lambda: "[*] alice : JOIN" in log.snapshot(), 15, "alice's join")
        peer.wait_for(lambda s: s == "$%$uids$%$,peer,alice,", 10, "the roster with alice")

        def roster_drawn():
            image = screenshot(self.display, window)
            return sum(map(is_lit, image.region(*ROSTER_FIRST_ROW))) > 15
        wait_for(roster_drawn, 20, "text in alice's roster", step=0.2)
        self.ok("the unpacked client, run from a directory without a font, draws text and joins")
        self.close(proc, window, "the unpacked client")

    def client_without_font(self):
        os.remove(self.font)
        before = client_windows(self.display, "parlana-client")
        env = dict(os.environ, DISPLAY=self.display)
        started = time.monotonic()
        out = self.run_plain([self.client, "alice", "127.0.0.1", "1"], env)
        lines = out.stderr.splitlines()
        if out.returncode != 1 or len(lines) != 1:
            raise Failure("without its font the client gave %d and %r" % (out.returncode, out.stderr))
        for place in ("font/" + FONT, os.path.dirname(self.font)):
            if place not in lines[0]:
                raise Failure("the error line does not name %s: %r" % (place, lines[0]))
        if client_windows(self.display, "parlana-client") != before:
            raise Failure("the client opened a window before giving up")
        self.ok("without its font the client prints one line naming where it looked and exits 1"
                " in %.1f s, no window opened" % (time.monotonic() - started))

    def main(self):
        if os.path.exists(INSTALLED_FONT):
            raise Failure("%s exists (the package is installed here), so these checks would not "
                          "show whether the unpacked font is found" % INSTALLED_FONT)
        self.answers(self.server)
        self.answers(self.client)
        log, port, peer = self.server_admits_a_join()
        self.client_finds_its_font(log, port, peer)
        self.client_without_font()
        peer.close()

    def run(self):
        try:
            return super().run()
        finally:
            os.rmdir(self.nowhere)


if __name__ == "__main__":
    args, _ = command_line(2, __doc__.strip().splitlines()[2])
    sys.exit(Run(args[0], args[1]).run())
