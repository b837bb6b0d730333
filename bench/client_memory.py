#!/usr/bin/env python3
"""The resident memory that 10,000 chat lines of 112 typed bytes add to a real
client: a server without flood control, the client and a plain-socket peer
that sends the lines, on a private Xvfb.

usage: bench/client_memory.py [BUILD_DIR]    (default: build)
"""

import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from e2e_x11 import LogReader, Peer, Processes, frame, free_port, start_client, start_xvfb  # noqa: E402


def drain(peer):
    peer.sock.setblocking(False)
    try:
        while peer.sock.recv(1 << 20):
            pass
    except BlockingIOError:
        pass
    peer.sock.setblocking(True)


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(next(line for line in status if line.startswith("VmRSS")).split()[1])


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    procs = Processes()
    try:
        display = start_xvfb(procs, 1100, 760)
        port = free_port()
        server = procs.start([os.path.join(build, "server", "server"), str(port), "--flood-rate", "0"],
                             stdout=subprocess.PIPE, text=True)
        LogReader(server.stdout)
        time.sleep(0.5)
        client, _ = start_client(procs, display, os.path.join(build, "client", "client"), ROOT, "alice", port)
        peer = Peer(port, "peer")
        peer.wait_for(lambda s: "alice" in s, 15, "alice in the roster")
        time.sleep(1)
        before = resident_kib(client.pid)
        line = frame("peer: " + "x" * 100 + " " + "y" * 11)
        for i in range(10000):
            peer.sock.sendall(line)
            if i % 100 == 0:
                drain(peer)
        for _ in range(50):  # the client takes them in over a few seconds
            drain(peer)
            time.sleep(0.1)
        after = resident_kib(client.pid)
        print("resident: %d KiB before, %d KiB after 10,000 lines: %.1f MiB added"
              % (before, after, (after - before) / 1024))
    finally:
        procs.stop_all()
    return 0


if __name__ == "__main__":
    sys.exit(main())
