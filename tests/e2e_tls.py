#!/usr/bin/env python3
"""The real client over TLS, on a private Xvfb.

usage: e2e_tls.py SERVER CLIENT WORKDIR [--sanitized]

Pinned, through a loopback proxy, it chats with a plain member and nothing
crosses in clear. Asked about a key, Esc leaves; Enter, after the server gave
up waiting, trusts it for good and joins. A changed key, or a plain server,
gets the error screen and nothing of the join.
"""

import os
import shutil
import socket
import ssl
import sys
import tempfile
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from e2e_x11 import (  # noqa: E402
    CheckRun, Failure, Listener, Peer, command_line, hold_key, is_lit, screenshot, start_client, start_server,
    start_xvfb, type_line, wait_for, xdotool)

TYPED = "meet me under the old clock"


def pump(source, sink, kept):
    """Copies `source` to `sink`, keeping what passed, until either ends; then closes both."""
    try:
        for data in iter(lambda: source.recv(65536), b""):
            kept += data
            sink.sendall(data)
    except OSError:
        pass
    source.close()
    sink.close()


class Run(CheckRun):
    def __init__(self, server, client, workdir, sanitized):
        super().__init__(client, sanitized)
        self.server, self.workdir = server, workdir
        self.home = tempfile.mkdtemp(prefix="parlana-tls-")
        self.known = os.path.join(self.home, "parlana", "known_servers")

    def start(self, uid, port, *options):
        env = dict(self.client_env, XDG_DATA_HOME=self.home)
        return start_client(self.procs, self.display, self.client, self.workdir, uid, port, timeout=self.t(10),
                            place=(0, 0), extra_env=env, options=options)

    def key_screen(self, window, error):  # the question, or an error with its longer title, for the chat
        def shown():
            image = screenshot(self.display, window)
            return not is_lit(image.pixel(500, 9)) and any(map(is_lit, image.region(200, 358, 560, 385))) and \
                any(map(is_lit, image.region(620, 358, 720, 385))) == error
        wait_for(shown, self.t(15), "the error screen" if error else "the question about the key", step=0.2)

    def listed(self):
        with open(self.known) as known:
            return known.read()

    def pinned(self, port, fingerprint):
        proxy, sent, received = Listener(), bytearray(), bytearray()
        def forward():
            client, server = proxy.accept_connection(None), socket.create_connection(("127.0.0.1", port))
            threading.Thread(target=pump, args=(server, client, received), daemon=True).start()
            pump(client, server, sent)
        threading.Thread(target=forward, daemon=True).start()
        bob = Peer(port, "bob")
        proc, window = self.start("alice", proxy.port, "--pin", fingerprint.upper())
        bob.wait_for(lambda text: text == "$%$uids$%$,bob,alice,", self.t(15), "alice in the roster")
        type_line(self.display, window, TYPED)
        bob.wait_for(lambda text: text == "alice: " + TYPED, self.t(15), "alice's line")
        self.close(proc, window, "the pinned client")
        clear = [text for text in (TYPED, "alice: ", "$%$uids$%$") for wire in (sent, received) if text.encode() in wire]
        if sent[:1] != b"\x16" or clear:
            raise Failure("the client's bytes begin %r, and these crossed in clear: %r" % (bytes(sent[:8]), clear))
        self.ok("pinned, it chats with a plain member; nothing of its %d bytes crosses in clear" % len(sent))

    def trust_on_first_use(self, port, fingerprint, log):
        proc, window = self.start("carol", port, "--tls")
        self.key_screen(window, False)
        xdotool(self.display, "windowfocus", "--sync", window)
        hold_key(self.display, "Escape")
        if proc.wait(timeout=self.t(15)) != 0 or os.path.exists(self.known) or "[*] carol : JOIN" in log.snapshot():
            raise Failure("Esc on the question: status %s, or a file, or a join" % proc.returncode)
        self.ok("Esc on the question leaves with status 0, joins nothing and writes nothing")
        failed = log.snapshot().count("[!] JOIN ATTEMPT : FAILED")
        proc, window = self.start("alice", port, "--tls")
        self.key_screen(window, False)
        wait_for(lambda: log.snapshot().count("[!] JOIN ATTEMPT : FAILED") > failed, self.t(15), "the server to give up")
        xdotool(self.display, "windowfocus", "--sync", window)
        hold_key(self.display, "Return")
        wait_for(lambda: "[*] alice : JOIN" in log.snapshot(), self.t(15), "alice's join after Enter")
        if self.listed() != "127.0.0.1:%d %s\n" % (port, fingerprint):
            raise Failure("known_servers holds %r" % self.listed())
        self.ok("Enter, after the server gave up waiting, trusts the key for good and joins")
        self.close(proc, window, "the client that trusted the key")

    def refused(self, key_directory):
        """A stand-in showing the real key while another is on file; then a plain server."""
        stand_in, context, received, shaken = Listener(), ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER), bytearray(), []
        context.load_cert_chain(os.path.join(key_directory, "cert.pem"), os.path.join(key_directory, "key.pem"))
        with open(self.known, "w") as known:
            known.write("127.0.0.1:%d SHA256:%s\n" % (stand_in.port, "0" * 64))
        before = self.listed()
        def serve():
            conn = context.wrap_socket(stand_in.accept_connection(self.t(15)), server_side=True)
            shaken.append(conn.version())
            pump(conn, conn, received)
        served = threading.Thread(target=serve, daemon=True)
        served.start()
        _, log, plain = start_server(self.procs, self.server)
        for port, what in ((stand_in.port, "a changed key"), (plain, "a server without TLS")):
            proc, window = self.start("dave", port, "--tls")
            self.key_screen(window, True)
            served.join(self.t(15))
            if not shaken or served.is_alive() or received or self.listed() != before or "[*] dave : JOIN" in log.snapshot():
                raise Failure("%s: handshake %r, data %r, file %r" % (what, shaken, bytes(received), self.listed()))
            self.ok("%s gets the error screen and nothing of the join; the file is left as it was" % what)
            self.close(proc, window, "the client refused by " + what)

    def main(self):
        try:
            self.display = start_xvfb(self.procs, 1280, 800)
            keys = os.path.join(self.home, "key")
            _, log, port = start_server(self.procs, self.server, options=["--tls-dir", keys])
            line = wait_for(lambda: [l for l in log.snapshot() if l.startswith("[*] TLS :: ")], self.t(10), "the key")
            fingerprint = line[0].split(" :: ")[1]
            self.pinned(port, fingerprint)
            self.trust_on_first_use(port, fingerprint, log)
            self.refused(keys)
        finally:
            shutil.rmtree(self.home, ignore_errors=True)


if __name__ == "__main__":
    args, sanitized = command_line(3, __doc__.strip().splitlines()[3])
    sys.exit(Run(args[0], args[1], args[2], sanitized).run())
