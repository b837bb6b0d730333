#!/usr/bin/env python3
"""The real client telling the truth about its connection, on a private Xvfb.

usage: e2e_connection.py CLIENT WORKDIR [--sanitized]

A scripted server on loopback accepts the client's join and then closes the
connection, resets it, or relays refusals after the first roster. With no
server at all the connection is refused. Whenever the client is not
connected its status bar must show the red "[ ! ] NOT CONNECTED" notice and
its roster panel must be empty, the message pane must keep its lines, and a
line typed and sent with Enter must stay in the input line, counter
included. A UID the server would refuse gives the error screen at once and
no connection.
"""

import os
import socket
import struct
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_x11 import (  # noqa: E402
    EMPTY_FRAME, CheckRun, Failure, Listener, command_line, dominant_colour, free_port, frame, is_lit,
    screenshot, start_client, start_xvfb, type_line, wait_for)

RED = (255, 0, 0)
UID_LABEL = (800, 25, 999, 45)
ROSTER = (30, 105, 200, 570)
PANE_FIRST_ROW = (248, 100, 700, 120)
TYPED_LINE = (95, 636, 170, 662)  # "hello there" up to before the blinking caret
COUNTER = (20, 580, 100, 600)


def region(image, box):
    return image.region(*box)


class ScriptedServer(Listener):
    """Listens on a free loopback port; each client is scripted by the test."""

    def accept(self, timeout):
        return self.accept_connection(timeout)

    def nothing_arrives(self, seconds):
        self.listener.settimeout(seconds)
        try:
            conn, _ = self.listener.accept()
        except socket.timeout:
            return True
        conn.close()
        return False


def read_exactly(conn, count):
    data = b""
    while len(data) < count:
        chunk = conn.recv(count - len(data))
        if not chunk:
            raise Failure("the client closed after %r" % data)
        data += chunk
    return data


class Run(CheckRun):
    def __init__(self, client, workdir, sanitized):
        super().__init__(client, sanitized)
        self.workdir = workdir

    def start(self, uid, port):
        return start_client(self.procs, self.display, self.client, self.workdir, uid, port,
                            timeout=self.t(10), place=(0, 0), extra_env=self.client_env)

    def shot(self, window):
        return screenshot(self.display, window)

    def wait_shows_notice(self, window, what):
        """Red notice in the status bar and nobody in the roster panel."""
        def ready():
            image = self.shot(window)
            return dominant_colour(region(image, UID_LABEL)) == RED and \
                not any(map(is_lit, region(image, ROSTER)))
        wait_for(ready, self.t(15), "the not-connected notice " + what, step=0.2)
        self.ok("the status bar shows the red notice and the roster is empty " + what)

    def wait_shows_uid(self, window):
        def ready():
            image = self.shot(window)
            colour = dominant_colour(region(image, UID_LABEL))
            return colour not in (None, RED) and any(map(is_lit, region(image, ROSTER)))
        wait_for(ready, self.t(15), "the UID in its colour and a listed roster", step=0.2)

    def typed_line_stays(self, window, what):
        """Types a line and presses Enter: the line and its counter stay."""
        type_line(self.display, window, "hello there")
        time.sleep(self.t(1))
        before = self.shot(window)
        line, counter = region(before, TYPED_LINE), region(before, COUNTER)
        if sum(map(is_lit, line)) < 30:
            raise Failure("the typed line is not on screen " + what)
        type_line(self.display, window, "")
        time.sleep(self.t(1))
        after = self.shot(window)
        if region(after, TYPED_LINE) != line or region(after, COUNTER) != counter:
            raise Failure("Enter took the typed line or changed its counter %s (lit: line %d -> %d, counter %d -> %d)"
                          % (what, sum(map(is_lit, line)), sum(map(is_lit, region(after, TYPED_LINE))),
                             sum(map(is_lit, counter)), sum(map(is_lit, region(after, COUNTER)))))
        self.ok("Enter keeps the typed line and its counter " + what)

    def pane_keeps_line(self, window, what):
        if sum(map(is_lit, region(self.shot(window), PANE_FIRST_ROW))) < 30:
            raise Failure("the message pane lost its line " + what)
        self.ok("the message pane keeps its line " + what)

    def join(self, server, uid):
        proc, window = self.start(uid, server.port)
        conn = server.accept(self.t(15))
        expected = frame(uid) + EMPTY_FRAME
        got = read_exactly(conn, len(expected))
        if got != expected:
            raise Failure("the join was %r, not %r" % (got, expected))
        return proc, window, conn

    def refused(self):
        proc, window = self.start("alice", free_port())
        self.wait_shows_notice(window, "when the connection is refused")
        self.typed_line_stays(window, "when the connection is refused")
        self.close(proc, window, "the client whose connection was refused")

    def server_goes_away(self, server, how):
        proc, window, conn = self.join(server, "alice")
        conn.sendall(frame("$%$uids$%$,alice,bob,") + frame("bob: are you there?"))
        self.wait_shows_uid(window)
        if how == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        conn.close()
        what = "after the server %s the connection" % ("reset" if how == "reset" else "closed")
        self.wait_shows_notice(window, what)
        self.pane_keeps_line(window, what)
        self.typed_line_stays(window, what)
        self.close(proc, window, "the client " + what)

    def late_refusal(self, server):
        proc, window, conn = self.join(server, "alice")
        conn.sendall(frame("$%$uids$%$,alice,bob,") + frame("$%$uid_error$%$") +
                     frame("$%$limit_reached$%$") + frame("bob: after the refusals"))
        self.wait_shows_uid(window)
        wait_for(lambda: sum(map(is_lit, region(self.shot(window), PANE_FIRST_ROW))) >= 30,
                 self.t(10), "the line after the refusals", step=0.2)
        type_line(self.display, window, "still here")
        expected = frame("alice: still here")
        got = read_exactly(conn, len(expected))
        if got != expected:
            raise Failure("the server received %r, not %r" % (got, expected))
        self.wait_shows_uid(window)
        self.ok("refusals after the first roster are ignored: still chatting, lines still sent")
        conn.close()
        self.close(proc, window, "the client that ignored late refusals")

    def uid_rule(self, server):
        for uid in ("a,b", "$%$x"):
            proc, window = self.start(uid, server.port)
            def error_screen():
                image = self.shot(window)
                return any(map(is_lit, image.region(150, 340, 1000, 400))) and \
                    not any(map(is_lit, region(image, UID_LABEL)))
            wait_for(error_screen, self.t(10), "the error screen for UID %r" % uid, step=0.2)
            if not server.nothing_arrives(self.t(1)):
                raise Failure("the UID %r was sent to the server" % uid)
            self.ok("the UID %r gives the error screen at once and no connection" % uid)
            self.close(proc, window, "the client with UID %r" % uid)

    def main(self):
        self.display = start_xvfb(self.procs, 1280, 800)
        self.refused()
        server = ScriptedServer()
        self.server_goes_away(server, "close")
        self.server_goes_away(server, "reset")
        self.late_refusal(server)
        self.uid_rule(server)
        server.close()


if __name__ == "__main__":
    args, sanitized = command_line(2, __doc__.strip().splitlines()[2])
    sys.exit(Run(args[0], args[1], sanitized).run())
