#!/usr/bin/env python3
"""The real client against a hostile server, on a private Xvfb.

usage: e2e_hostile_server.py CLIENT WORKDIR [--sanitized]

A stand-in server feeds the client a roster of 1,000 UIDs, three rosters of
9,001 UIDs (each just under the 64 KiB frame limit), UIDs full of
pattern metacharacters with lines that mention them, a thousand chat lines in
one burst, lines without ":", control tokens mid-line, and a frame announcing
more than 64 KiB; a second client sees its server vanish mid-frame. After
each step the client must still be drawing frames (its clock keeps moving),
and in the end it must answer a close request with exit status 0. Its memory
must stay bounded throughout.
"""

import os
import socket
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_x11 import (  # noqa: E402
    CheckRun, Failure, Listener, command_line, frame, screenshot, start_client, start_xvfb, wait_for)

CLOCK_BAND = (380, 20, 640, 52)  # the status bar's clock, redrawn every frame
MAX_GROWTH_KIB = 64 * 1024

METACHAR_UIDS = ["(a+)+", "[", "(", "a.b", "\\", "*x", "a|b", "((a*)*)*", "$%$", "{2}", "?"]


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise Failure("no VmRSS for %d" % pid)


class HostileServer(Listener):
    """Listens on a free loopback port and takes one client at a time."""

    def accept(self, timeout):
        conn = self.accept_connection(timeout)
        data = b""
        # The join packet and the empty packet the client sends after its pause.
        while len(data) < 4 or len(data) < 8 + struct.unpack(">I", data[:4])[0]:
            chunk = conn.recv(4096)
            if not chunk:
                raise Failure("the client closed before joining")
            data += chunk
        return conn


class Run(CheckRun):
    def __init__(self, client, workdir, sanitized):
        super().__init__(client, sanitized)
        self.workdir = workdir
        if sanitized:
            # Freed blocks wait in the sanitizer's quarantine (256 MiB by
            # default), which would be counted as growth; keep it small.
            base = os.environ.get("ASAN_OPTIONS", "")
            self.client_env["ASAN_OPTIONS"] = (base + ":" if base else "") + \
                "quarantine_size_mb=8:thread_local_quarantine_size_kb=64"

    def clock(self, window):
        return screenshot(self.display, window).region(*CLOCK_BAND)

    def drawing(self, proc, window, what):
        """The clock changes within a few seconds only while frames are drawn."""
        if proc.poll() is not None:
            raise Failure("the client died %s (status %s): %s" % (what, proc.returncode,
                                                                proc.errors.snapshot()[-20:]))
        before = self.clock(window)
        wait_for(lambda: self.clock(window) != before, self.t(6), "a new frame " + what, step=0.3)
        self.ok("the client keeps drawing " + what)

    def start(self, uid, server):
        proc, window = start_client(self.procs, self.display, self.client, self.workdir, uid,
                                    server.port, timeout=self.t(10), place=(0, 0),
                                    extra_env=self.client_env)
        conn = server.accept(self.t(15))
        return proc, window, conn

    def flood(self, server):
        proc, window, conn = self.start("victim", server)
        self.drawing(proc, window, "after joining")
        base = resident_kib(proc.pid)

        roster = "$%$uids$%$," + "".join("u%04d," % i for i in range(1000))
        conn.sendall(frame(roster))
        self.drawing(proc, window, "with a roster of 1,000 UIDs")

        huge = "$%$uids$%$," + "".join("h%05d," % i for i in range(9001))
        conn.sendall(frame(huge) * 3)
        self.drawing(proc, window, "after three rosters of 9,001 UIDs")

        conn.sendall(frame("$%$uids$%$," + ",".join(METACHAR_UIDS) + ","))
        lines = ["x: @%s %s" % (uid, "a" * 26 + "b") for uid in METACHAR_UIDS]
        lines += ["%s: @(a+)+! @[ @a.b, @axb" % uid for uid in METACHAR_UIDS]
        conn.sendall(b"".join(frame(line) for line in lines))
        self.drawing(proc, window, "with UIDs made of pattern metacharacters mentioned in lines")

        burst = [("u%04d: line %d @u%04d @(a+)+ " % (i % 1000, i, (i * 7) % 1000)) + "z" * 60
                 for i in range(1000)]
        burst += ["no colon at all", "", ":", ": leading colon", "x: $%$uid_error$%$ mid-line",
                  "y: text $%$limit_reached$%$", "z: $%$uids$%$,fake,", "\x01\x02\x7f:\x1b"]
        conn.sendall(b"".join(frame(line) for line in burst))
        self.drawing(proc, window, "through a burst of a thousand lines")
        time.sleep(self.t(3))
        self.drawing(proc, window, "after the burst")
        growth = resident_kib(proc.pid) - base
        if growth > MAX_GROWTH_KIB:
            raise Failure("the client grew by %d KiB" % growth)
        self.ok("the client's memory grew by %d KiB, under %d" % (growth, MAX_GROWTH_KIB))

        conn.sendall(struct.pack(">I", 64 * 1024 + 1) + b"x" * 4096)
        conn.settimeout(self.t(10))
        try:
            while conn.recv(4096):
                pass
        except socket.timeout:
            raise Failure("the client kept a connection announcing a frame above 64 KiB")
        except ConnectionResetError:
            pass
        self.ok("the client drops a server announcing a frame above 64 KiB")
        self.drawing(proc, window, "after dropping that server")
        conn.close()
        self.close(proc, window, "the flooded client")

    def vanish(self, server):
        proc, window, conn = self.start("orphan", server)
        conn.sendall(frame("$%$uids$%$,orphan,") + frame("ghost: half a line")[:9])
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        conn.close()  # a reset, mid-frame
        server.close()
        self.drawing(proc, window, "after its server vanished mid-frame")
        self.close(proc, window, "the orphaned client")

    def main(self):
        self.display = start_xvfb(self.procs, 1280, 800)
        server = HostileServer()
        self.flood(server)
        self.vanish(server)


if __name__ == "__main__":
    args, sanitized = command_line(2, __doc__.strip().splitlines()[2])
    sys.exit(Run(args[0], args[1], sanitized).run())
