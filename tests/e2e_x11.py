"""Driving real Parlana processes on a private X display.

Used by the end-to-end test and by scripts/screenshot. Everything here waits
with a deadline and stops only the processes it started itself.
"""

import ctypes
import ctypes.util
import glob
import os
import select
import socket
import struct
import subprocess
import sys
import threading
import time


class Failure(Exception):
    """A check or a bounded wait did not come out as expected."""


def wait_for(predicate, timeout, what, step=0.05):
    """Polls `predicate` until it returns something true; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(step)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Processes:
    """The processes one run started; `stop_all` ends those still running."""

    def __init__(self):
        self._procs = []
        self._fds = []

    def keep_open(self, fd):
        """Holds `fd` open until `stop_all`."""
        self._fds.append(fd)

    def start(self, argv, **kwargs):
        proc = subprocess.Popen(argv, **kwargs)
        self._procs.append(proc)
        return proc

    def stop_all(self):
        for proc in reversed(self._procs):
            if proc.poll() is None:
                proc.terminate()
        for proc in reversed(self._procs):
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=5)
        for fd in self._fds:
            os.close(fd)
        self._fds = []


def start_xvfb(procs, width, height, timeout=15):
    """Starts Xvfb on a display number it picks itself; returns ":N".

    -noreset keeps the keymap when the last client disconnects, which the
    typing steps rely on. The pipe stays open while Xvfb runs: it writes the
    number again later and exits when it cannot."""
    read_end, write_end = os.pipe()
    procs.keep_open(read_end)
    try:
        procs.start(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-noreset", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        write_end = None
        ready, _, _ = select.select([read_end], [], [], timeout)
        if not ready:
            raise Failure("Xvfb did not report a display within %d s" % timeout)
        number = os.read(read_end, 32).decode().strip()
        if not number.isdigit():
            raise Failure("Xvfb failed to start")
        return ":" + number
    finally:
        if write_end is not None:
            os.close(write_end)


class LogReader:
    """Collects a process's output lines on a thread, so reads never block."""

    def __init__(self, stream):
        self.lines = []
        self._lock = threading.Lock()
        self._thread = threading.Thread(target=self._pump, args=(stream,), daemon=True)
        self._thread.start()

    def _pump(self, stream):
        for line in stream:
            with self._lock:
                self.lines.append(line.rstrip("\n"))

    def snapshot(self):
        with self._lock:
            return list(self.lines)

    def find(self, predicate):
        return [line for line in self.snapshot() if predicate(line)]


def start_server(procs, server, timeout=10, port=None, options=()):
    """Starts the relay server on `port`, or on a free port; returns
    (process, log, port)."""
    for _ in range(3):
        chosen = port or free_port()
        proc = procs.start([server, str(chosen)] + list(options), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, errors="replace")
        log = LogReader(proc.stdout)
        banner = "[*] UP :: PORT :: %d" % chosen
        try:
            wait_for(lambda: banner in log.snapshot() or proc.poll() is not None, timeout,
                     "the server banner")
        except Failure:
            raise Failure("server did not come up: %r" % log.snapshot())
        if proc.poll() is None:
            return proc, log, chosen
    raise Failure("server could not listen on a free port: %r" % log.snapshot())


# --- wire format --------------------------------------------------------------

def frame(text):
    data = text.encode()
    return struct.pack(">II", 4 + len(data), len(data)) + data


EMPTY_FRAME = struct.pack(">I", 0)


class Peer:
    """A client made of a plain socket, to see exactly what the server relays."""

    def __init__(self, port, uid):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.sendall(frame(uid) + EMPTY_FRAME)
        self.sock.setblocking(False)
        self.buffer = b""

    def _frame(self):
        if len(self.buffer) < 4:
            return None
        size = struct.unpack(">I", self.buffer[:4])[0]
        if len(self.buffer) < 4 + size:
            return None
        body, self.buffer = self.buffer[4:4 + size], self.buffer[4 + size:]
        if len(body) < 4:
            return ""
        length = struct.unpack(">I", body[:4])[0]
        return body[4:4 + length].decode(errors="replace")

    def next(self, timeout):
        """The next packet's string, or None when nothing came in time."""
        deadline = time.monotonic() + timeout
        while True:
            text = self._frame()
            if text is not None:
                return text
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.sock], [], [], left)
            if ready:
                chunk = self.sock.recv(65536)
                if not chunk:
                    return None
                self.buffer += chunk

    def wait_for(self, wanted, timeout, what):
        """Reads packets until one satisfies `wanted`; returns every one read."""
        seen = []
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            text = self.next(deadline - time.monotonic())
            if text is None:
                break
            seen.append(text)
            if wanted(text):
                return seen
        raise Failure("peer never received %s; got %r" % (what, seen))

    def close(self):
        self.sock.close()


class Listener:
    """A listening socket on a free loopback port, standing in for a server
    whose every move a test scripts."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(4)
        self.port = self.listener.getsockname()[1]

    def accept_connection(self, timeout):
        """The next connection, its reads and writes bounded by `timeout`."""
        self.listener.settimeout(timeout)
        conn, _ = self.listener.accept()
        conn.settimeout(timeout)
        return conn

    def close(self):
        self.listener.close()


# --- windows ------------------------------------------------------------------

def client_windows(display, program="client"):
    """Ids of the top-level windows of the client program on `display`; the
    window's class name is the name of the program's file."""
    out = subprocess.run(["xdotool", "search", "--classname", "^%s$" % program], env=x_env(display),
                         capture_output=True, text=True, timeout=10)
    return {int(word) for word in out.stdout.split()}


def x_env(display):
    env = dict(os.environ)
    env["DISPLAY"] = display
    return env


def xdotool(display, *args):
    subprocess.run(["xdotool"] + [str(a) for a in args], env=x_env(display), check=True,
                   timeout=10, stdout=subprocess.DEVNULL)


def start_client(procs, display, client, workdir, uid, port, timeout=30, place=None, extra_env=None,
                 address="127.0.0.1", options=()):
    """Starts a client and waits for its window; returns (process, window id).

    Without a window manager the window opens off-origin: `place` moves it."""
    program = os.path.basename(client)
    before = client_windows(display, program)
    env = x_env(display)
    env.update(extra_env or {})
    proc = procs.start([client, uid, address, str(port)] + list(options), cwd=workdir, env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                       errors="replace")
    proc.errors = LogReader(proc.stderr)
    window = wait_for(lambda: (client_windows(display, program) - before) or proc.poll() is not None,
                      timeout, "the window of client %r" % uid, step=0.1)
    if proc.poll() is not None:
        raise Failure("client %r exited with %s: %s" % (uid, proc.returncode, proc.errors.snapshot()))
    window = next(iter(window))
    if place is not None:
        xdotool(display, "windowmove", "--sync", window, place[0], place[1])
    return proc, window


def sanitizer_preload(binary):
    """LD_PRELOAD for a sanitized client: the sanitizer runtime first, then
    Mesa's software GL driver. The driver is otherwise unloaded at exit before
    LeakSanitizer looks, so its own leaks show up from an unnamed module that
    no suppression can match; kept loaded, they are named and suppressed."""
    out = subprocess.run(["ldd", binary], capture_output=True, text=True, timeout=10).stdout
    runtime = [w for w in out.split() if "libasan.so" in w and w.startswith("/")]
    drivers = sorted(glob.glob("/usr/lib/*/dri/swrast_dri.so")) + \
        sorted(glob.glob("/usr/lib/dri/swrast_dri.so"))
    if not runtime or not drivers:
        return {}
    return {"LD_PRELOAD": runtime[0] + " " + drivers[0]}


def hold_key(display, key, seconds=0.4):
    """The client reads Enter and Backspace from the held-key state, so a key
    is held down for a moment rather than tapped."""
    xdotool(display, "keydown", key)
    time.sleep(seconds)
    xdotool(display, "keyup", key)


def type_line(display, window, text):
    keep_characters_mapped(display, text)
    xdotool(display, "windowfocus", "--sync", window)
    xdotool(display, "type", "--delay", "40", text)
    hold_key(display, "Return")


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def request_close(display, window):
    """Sends WM_DELETE_WINDOW, what a window manager's close button sends
    (xdotool's windowclose destroys the window instead)."""
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_XEvent)]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    handle = xlib.XOpenDisplay(display.encode())
    if not handle:
        raise Failure("cannot open display %s" % display)
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = xlib.XInternAtom(handle, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = xlib.XInternAtom(handle, b"WM_DELETE_WINDOW", 0)
        if not xlib.XSendEvent(handle, window, 0, 0, ctypes.byref(event)):
            raise Failure("XSendEvent failed")
        xlib.XSync(handle, 0)
    finally:
        xlib.XCloseDisplay(handle)


def keep_characters_mapped(display, text):
    """Binds the characters of `text` the keymap lacks to spare keycodes for
    good: xdotool binds one only for its keystroke, and a busy client reading
    the keystroke after that sees no character."""
    if text.isascii():
        return
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
    handle = ctypes.c_void_p(xlib.XOpenDisplay(display.encode()))
    low, high, per = ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
    xlib.XDisplayKeycodes(handle, ctypes.byref(low), ctypes.byref(high))
    count = high.value - low.value + 1
    table = xlib.XGetKeyboardMapping(handle, ctypes.c_ubyte(low.value), count, ctypes.byref(per))
    # Taken from the top: xdotool takes its scratch keycode from the bottom.
    spare = [low.value + k for k in range(count) if not any(table[k * per.value:(k + 1) * per.value])]
    for char in {c for c in text if ord(c) > 0x7f}:
        keysym = ord(char) if ord(char) < 0x100 else 0x1000000 + ord(char)
        if not xlib.XKeysymToKeycode(handle, ctypes.c_ulong(keysym)):
            xlib.XChangeKeyboardMapping(handle, spare.pop(), 1, (ctypes.c_ulong * 1)(keysym), 1)
    xlib.XFree(table)
    xlib.XSync(handle, 0)
    xlib.XCloseDisplay(handle)


# --- pixels -------------------------------------------------------------------

class Image:
    """A window's pixels, as `xwd` dumps them (TrueColor, 24 or 32 bits)."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, version = fields[0], fields[1]
        if version != 7:
            raise Failure("unexpected xwd version %d" % version)
        self.width, self.height = fields[4], fields[5]
        self._msb = fields[7] == 1
        self._bpp = fields[11]
        self._stride = fields[12]
        self._masks = fields[14:17]
        ncolors = fields[19]
        self._data = data[header_size + 12 * ncolors:]
        self._shifts = [(m & -m).bit_length() - 1 for m in self._masks]

    def pixel(self, x, y):
        size = self._bpp // 8
        start = y * self._stride + x * size
        value = int.from_bytes(self._data[start:start + size], "big" if self._msb else "little")
        return tuple((value & m) >> s for m, s in zip(self._masks, self._shifts))

    def region(self, x0, y0, x1, y1):
        """Pixels of the rectangle [x0, x1) x [y0, y1), clipped to the image."""
        return [self.pixel(x, y) for y in range(max(0, y0), min(self.height, y1))
                for x in range(max(0, x0), min(self.width, x1))]


def screenshot(display, window):
    out = subprocess.run(["xwd", "-silent", "-id", str(window)], env=x_env(display),
                         capture_output=True, timeout=20, check=True)
    return Image(out.stdout)


def is_lit(rgb, level=60):
    return max(rgb) > level


def is_white(rgb):
    return min(rgb) > 200


def dominant_colour(pixels):
    """The most frequent lit colour: glyph pixels fully covered by ink carry
    the text's exact colour, antialiased edges only blends of it."""
    counts = {}
    for rgb in pixels:
        if is_lit(rgb):
            counts[rgb] = counts.get(rgb, 0) + 1
    if not counts:
        return None
    return max(counts, key=counts.get)


# --- a scripted run -----------------------------------------------------------

def command_line(count, usage):
    """The script's `count` positional arguments and whether --sanitized was
    given; a wrong count prints `usage` and exits with status 2."""
    args = sys.argv[1:]
    sanitized = "--sanitized" in args
    args = [a for a in args if a != "--sanitized"]
    if len(args) != count:
        print(usage, file=sys.stderr)
        sys.exit(2)
    return args, sanitized


class CheckRun:
    """One scripted run of checks against real processes. Subclasses write
    `main`; waits are stretched for sanitized binaries, each check prints an
    'ok -' line, and the run ends with 'N passed, N failed'."""

    def __init__(self, client, sanitized):
        self.client = client
        self.slow = 3 if sanitized else 1
        self.client_env = sanitizer_preload(client) if sanitized else {}
        self.procs = Processes()
        self.passed = 0

    def t(self, seconds):
        return seconds * self.slow

    def ok(self, what):
        self.passed += 1
        print("ok - " + what, flush=True)

    def close(self, proc, window, who):
        """Closes a client's window as a user would; it must exit with 0."""
        request_close(self.display, window)
        try:
            code = proc.wait(timeout=self.t(15))
        except subprocess.TimeoutExpired:
            raise Failure("%s did not exit after its window was closed" % who)
        if code != 0:
            raise Failure("%s exited with %d: %s" % (who, code, "\n".join(proc.errors.snapshot())))
        self.ok("%s exits with status 0 when its window is closed" % who)

    def main(self):
        raise NotImplementedError

    def diagnostics(self):
        """Extra text printed when a check fails."""
        return ""

    def run(self):
        try:
            self.main()
            failed = 0
        except (Failure, subprocess.SubprocessError, OSError) as error:
            print("FAILED: %s" % error, flush=True)
            extra = self.diagnostics()
            if extra:
                print(extra)
            failed = 1
        finally:
            self.procs.stop_all()
        print("%d passed, %d failed" % (self.passed, failed))
        return failed
