#!/usr/bin/env python3
"""The real client over TLS, on a private Xvfb.

usage: e2e_tls.py SERVER CLIENT WORKDIR [--sanitized]

Pinned to the key of the real server (--tls-dir), through a loopback proxy
that keeps every byte both ways, the client chats with a plain member; the
bytes hold neither what it typed nor its line nor the roster. With no key on
file it asks about the key: Esc leaves, joins nothing and writes nothing;
Enter, once the server gave up waiting, trusts the key for good and joins.
With another key on file for the server, a stand-in showing the real key gets
the error screen and not a byte of data, and the file stays as it was. A
plain server under --tls gives the error screen and no join.
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
TITLE = (200, 358, 560, 385)  # every key screen's title
TITLE_ERROR_END = (620, 358, 720, 385)  # only the error titles reach this far


class RecordingProxy:
    """Forwards a free loopback port to `port` and keeps what crosses it."""

    def __init__(self, port):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port, self.target = self.listener.getsockname()[1], port
        self.sent, self.received = bytearray(), bytearray()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        try:
            while True:
                client, _ = self.listener.accept()
                server = socket.create_connection(("127.0.0.1", self.target), timeout=10)
                for source, sink, kept in ((client, server, self.sent), (server, client, self.received)):
                    threading.Thread(target=self._pump, args=(source, sink, kept), daemon=True).start()
        except OSError:
            return  # closed

    @staticmethod
    def _pump(source, sink, kept):
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                kept += data
                sink.sendall(data)
        except OSError:
            pass
        for end in (source, sink):
            end.close()

    def close(self):
        self.listener.close()


class TlsStandIn(Listener):
    """Shows the certificate and key given, and keeps the data received."""

    def __init__(self, directory, timeout):
        super().__init__()
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(os.path.join(directory, "cert.pem"), os.path.join(directory, "key.pem"))
        self.data, self.timeout = b"", timeout
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        try:
            with self.context.wrap_socket(self.accept_connection(self.timeout), server_side=True) as conn:
                while True:
                    chunk = conn.recv(4096)
                    if not chunk:
                        return
                    self.data += chunk
        except OSError:
            return  # the client's close


class Run(CheckRun):
    def __init__(self, server, client, workdir, sanitized):
        super().__init__(client, sanitized)
        self.server, self.workdir = server, workdir
        self.home = tempfile.mkdtemp(prefix="parlana-tls-")
        self.known = os.path.join(self.home, "parlana", "known_servers")

    def start(self, uid, port, options):
        env = dict(self.client_env, XDG_DATA_HOME=self.home)
        return start_client(self.procs, self.display, self.client, self.workdir, uid, port, timeout=self.t(10),
                            place=(0, 0), extra_env=env, options=options)

    def key_screen(self, window, error, what):
        """The question (or, with `error`, the error screen) in place of the chat."""
        def shown():
            image = screenshot(self.display, window)
            return not is_lit(image.pixel(500, 9)) and any(map(is_lit, image.region(*TITLE))) and \
                any(map(is_lit, image.region(*TITLE_ERROR_END))) == error
        wait_for(shown, self.t(15), what, step=0.2)

    def joins(self, log, uid):
        return "[*] %s : JOIN" % uid in log.snapshot()

    def pinned(self, port, fingerprint):
        proxy = RecordingProxy(port)
        bob = Peer(port, "bob")
        proc, window = self.start("alice", proxy.port, ["--pin", fingerprint.upper()])
        bob.wait_for(lambda text: text == "$%$uids$%$,bob,alice,", self.t(15), "alice in the roster")
        type_line(self.display, window, TYPED)
        bob.wait_for(lambda text: text == "alice: " + TYPED, self.t(15), "alice's line")
        self.ok("a client pinned to the key chats with a plain member")
        self.close(proc, window, "the pinned client")
        proxy.close()
        wire = bytes(proxy.sent) + bytes(proxy.received)
        if proxy.sent[:1] != b"\x16":
            raise Failure("the client's first byte was %r, not a TLS handshake" % bytes(proxy.sent[:1]))
        for clear in (TYPED, "alice: ", "$%$uids$%$"):
            if clear.encode() in wire:
                raise Failure("%r crossed the wire in clear" % clear)
        self.ok("its %d bytes on the wire hold neither the typed text, nor its line, nor the roster" % len(wire))
        bob.close()

    def trust_on_first_use(self, port, fingerprint, log):
        proc, window = self.start("carol", port, ["--tls"])
        self.key_screen(window, False, "the question about an unknown key")
        xdotool(self.display, "windowfocus", "--sync", window)
        hold_key(self.display, "Escape")
        if proc.wait(timeout=self.t(15)) != 0 or os.path.exists(self.known) or self.joins(log, "carol"):
            raise Failure("Esc on the question: status %s, file %s, joined %s"
                          % (proc.returncode, os.path.exists(self.known), self.joins(log, "carol")))
        self.ok("Esc on the question leaves with status 0, joins nothing and writes nothing")

        failed = log.snapshot().count("[!] JOIN ATTEMPT : FAILED")
        proc, window = self.start("alice", port, ["--tls"])
        self.key_screen(window, False, "the question about an unknown key")
        wait_for(lambda: log.snapshot().count("[!] JOIN ATTEMPT : FAILED") > failed, self.t(15),
                 "the server giving up on the join")
        xdotool(self.display, "windowfocus", "--sync", window)
        hold_key(self.display, "Return")
        wait_for(lambda: self.joins(log, "alice"), self.t(15), "alice's join after Enter")
        with open(self.known) as known:
            listed = known.read()
        if listed != "127.0.0.1:%d %s\n" % (port, fingerprint):
            raise Failure("known_servers holds %r" % listed)
        self.ok("Enter, after the server gave up waiting, trusts the key for good and joins")
        self.close(proc, window, "the client that trusted the key")

    def changed_key(self, key_directory):
        stand_in = TlsStandIn(key_directory, self.t(15))
        listed = "127.0.0.1:%d SHA256:%s\n" % (stand_in.port, "0" * 64)
        with open(self.known, "w") as known:
            known.write(listed)
        proc, window = self.start("alice", stand_in.port, ["--tls"])
        self.key_screen(window, True, "the error screen for a changed key")
        stand_in.thread.join(self.t(15))
        if stand_in.thread.is_alive() or stand_in.data:
            raise Failure("the changed key received %r (still connected: %s)" % (stand_in.data,
                                                                                   stand_in.thread.is_alive()))
        with open(self.known) as known:
            unchanged = known.read() == listed
        if not unchanged:
            raise Failure("the changed key altered known_servers")
        self.ok("a changed key gets the error screen, not a byte of data, and the file is left as it was")
        self.close(proc, window, "the client refused by a changed key")
        stand_in.close()

    def plain_server(self):
        _, log, port = start_server(self.procs, self.server)
        proc, window = self.start("dave", port, ["--tls"])
        self.key_screen(window, True, "the error screen for a server without TLS")
        if self.joins(log, "dave"):
            raise Failure("the client joined a plain server under --tls")
        self.ok("a server that does not answer TLS gets the error screen and no join")
        self.close(proc, window, "the client of a plain server")

    def main(self):
        try:
            self.display = start_xvfb(self.procs, 1280, 800)
            keys = os.path.join(self.home, "key")
            _, log, port = start_server(self.procs, self.server, options=["--tls-dir", keys])
            line = wait_for(lambda: [l for l in log.snapshot() if l.startswith("[*] TLS :: ")], self.t(10),
                            "the fingerprint")[0]
            fingerprint = line.split(" :: ")[1]
            self.pinned(port, fingerprint)
            self.trust_on_first_use(port, fingerprint, log)
            self.changed_key(keys)
            self.plain_server()
        finally:
            shutil.rmtree(self.home, ignore_errors=True)


if __name__ == "__main__":
    args, sanitized = command_line(3, __doc__.strip().splitlines()[3])
    sys.exit(Run(args[0], args[1], args[2], sanitized).run())
