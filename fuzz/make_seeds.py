#!/usr/bin/env python3
"""Writes the committed seed corpora (fuzz/corpus/<target>/), one file per
seed, in each target's input layout. Rerun after changing a layout."""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROSTER, UID_ERROR, LIMIT = b"$%$uids$%$", b"$%$uid_error$%$", b"$%$limit_reached$%$"


def frame(text: bytes) -> bytes:
    return struct.pack(">II", 4 + len(text), len(text)) + text


def write(target: str, seeds: dict) -> None:
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


def frame_reader() -> dict:
    chat = frame(b"alice: hi") + b"\0\0\0\0" + frame(ROSTER + b",alice,bob,")
    at_cap = struct.pack(">I", 64 * 1024) + bytes(64 * 1024)
    over_cap = struct.pack(">I", 64 * 1024 + 1) + b"x" * 16
    return {
        "whole": b"\0" + chat,
        "byte_by_byte": b"\x01\x01" + chat,
        "mixed_cuts": b"\x04\x03\x85\x00\x07" + chat + frame(b"") + b"\0\0",
        "at_cap": b"\x02\x7f\xff" + at_cap + frame(b"after"),
        "over_cap": b"\x01\x05" + frame(b"first") + over_cap,
        "huge_size": b"\x01\x7f" + b"\x7f\xff\xff\xff" + b"junk",
        "short_string": b"\x01\x7f" + struct.pack(">II", 8, 1000) + b"abcd",
    }


def relay_room() -> dict:
    def join(uid: bytes) -> bytes:
        return b"\x00" + bytes([len(uid)]) + uid

    def join_from_set(k: int) -> bytes:
        return b"\x01" + bytes([k])

    def raw(sender: int, body: bytes) -> bytes:
        return b"\x03" + bytes([sender, len(body)]) + body

    def own(sender: int, text: bytes) -> bytes:
        return b"\x04" + bytes([sender, len(text)]) + text

    def other(sender: int, named: int, text: bytes) -> bytes:
        return b"\x05" + bytes([sender, named, len(text)]) + text

    def depart(index: int) -> bytes:
        return b"\x06" + bytes([index])

    def flush(*allowances: int) -> bytes:
        return b"\x07" + bytes([len(allowances)]) + bytes(allowances)

    failed, wait = b"\x02", b"\x08\x02"  # 100 ms pass
    chatting = (join(b"alice") + join(b"bob") + raw(1, b"") + own(0, b"hi") + join(b"alice") + join(b"")
                + failed + own(1, b"") + flush(0xFE) + depart(0) + own(0, b"bye") + flush(3, 0xFE) + flush())
    suffixes = join(b"alice") + join(b"malice") + join(b"a,b") + depart(1) + own(0, b"x") + depart(0) + flush(0xFE)
    full = b"".join(join_from_set(i) for i in range(47)) + join(b"") + depart(7) + join(b"late") + flush(0xFE)
    hostile = (join(b"x") + join(b"y") + raw(0, struct.pack(">I", 0xFFFFFFFF)) + raw(0, b"\0\0\0\x09abc")
               + raw(1, b"\x01") + raw(0, frame(UID_ERROR)[4:]) + raw(1, frame(ROSTER + b",ghost,")[4:])
               + raw(0, frame(LIMIT)[4:]) + flush(0xFE))
    refused = (join(b"alice") + join(b"bob") + own(0, b"tab\there") + own(0, b"x" * 113) + own(0, b"x" * 112)
               + own(1, b"two\nlines") + own(1, b"cr\r") + own(1, b"bs\b") + other(0, 1, b"I quit")
               + other(1, 1, b"mine") + flush(0xFE))
    slow = (join(b"a") + join(b"b") + join(b"c") + b"".join(own(i % 3, b"line %d" % i) for i in range(30))
            + flush(0, 5, 0xFE) + b"".join(own(i % 3, b"more %d" % i) for i in range(30)) + flush(63, 0, 0xFE)
            + join(b"d") + own(3, b"late") + flush(0xFF, 7, 0xFE, 1) + flush(0xFE))
    lines = b"".join(own(1, b"%d" % i) + other(0, 1, b"x") for i in range(40))  # m's lines, a's refusals
    budget = (join(b"a") + join(b"m") + lines + b"\x08\xff" + wait + b"".join(other(0, 1, b"%d" % i) + wait * 30
              for i in range(12)) + lines + flush(0xFE))
    # The first byte sets the rules: 0 the defaults, 1 no flood control, 0x0E 7 a second and 3 at once.
    return {name: b"\x00" + seed for name, seed in {
        "budget": budget,
        "chatting": chatting,
        "suffixes": suffixes,
        "full": full,
        "hostile_bodies": hostile,
        "refused_lines": refused,
        "slow_readers": slow,
    }.items()} | {"no_flood_control": b"\x01" + budget, "small_budget": b"\x0e" + budget}


def chat_line() -> dict:
    def line(text: bytes) -> bytes:
        return b"\x00" + struct.pack(">H", len(text)) + text

    def roster(*uids: bytes, colour: int = 7) -> bytes:
        return b"\x02" + bytes([len(uids)]) + b"".join(bytes([len(u)]) + u for u in uids) + bytes([colour])

    scan, draw, step = b"\x03", b"\x04", b"\x05"
    typed = b"x" * 112
    mentions = (roster(b"alice", b"bob") + line(b"bob: @alice hi") + line(b"alice: @bob, ok")
                + line(b"carol: hi @alice!") + line(b"x: @alice!! no") + line(b"x: @alicex no")
                + scan + step + draw + roster(b"carol", b"alice", colour=90) + scan + step)
    wrap = (line(b"alice: " + typed) + line(b"bob:" + b"y" * 70) + line(b"bob:" + b"y" * 71)
            + line(b"no colon here") + line(b"a:b: hi") + line(b"bob:") + scan + draw)
    patterns = (roster(b"a.b", b"(x", b"[", b"+", b"a|b", b"\\", colour=200)
                + line(b"m: @a.b hi @axb @(x @[ @+ @a|b @\\") + line(b"n: @a.bz @axb") + scan + draw)
    scroll = roster(b"u") + b"".join(line(b"u: line %d @u" % i) for i in range(20)) + line(b"u: " + typed) \
        + scan + draw + b"".join(line(b"u: more %d" % i) for i in range(6)) + draw + draw + scan
    utf8 = (roster(b"alice", "zoë".encode()) + line("zoë: perché @alice è".encode()) + line(("a:" + "è" * 71).encode())
            + line(b"b: " + b"x" * 68 + b"\xe2\x82z\xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \x80 @zo\xc3") + scan + draw)
    return {"mentions": mentions, "wrap": wrap, "patterns": patterns, "scroll": scroll, "utf8": utf8}


def client_dispatch() -> dict:
    def packet(text: bytes, page: int = 0) -> bytes:
        return struct.pack(">H", page | len(text)) + text

    many = ROSTER + b"," + b"".join(b"user%d," % i for i in range(60))
    chatting = (packet(ROSTER + b",alice,bob,") + packet(b"alice: hi @bob") + packet(b"")
                + packet(ROSTER + b",bob,,a,b,") + packet(b"no colon") + packet(b"bob: " + b"z" * 112)
                + packet(b"x: $%$uids$%$ mid-line") + packet(ROSTER + b","))
    return {
        "chatting": chatting,
        "pages": packet(many) + packet(b"user3: @user40 hi", 0x8000 | 0x4000) + packet(b"", 0xC000)
        + packet(b"", 0x8000),
        "uid_refused": packet(ROSTER + b",a,") + packet(UID_ERROR) + packet(b"a: ignored"),
        "server_full": packet(LIMIT + b"tail"),
        "roster_uid": packet(ROSTER + b",$%$uids$%$,") + packet(ROSTER + b": hello"),
        "late_refusal": packet(ROSTER + b",a,b,") + packet(UID_ERROR) + packet(LIMIT) + packet(b"b: still here"),
        "lost": packet(ROSTER + b",a,b,") + packet(b"a: hi @b") + packet(b"b: gone", 0x4000)
        + packet(ROSTER + b",a,") + packet(UID_ERROR),
    }


if __name__ == "__main__":
    write("frame_reader", frame_reader())
    write("relay_room", relay_room())
    write("chat_line", chat_line())
    write("client_dispatch", client_dispatch())
