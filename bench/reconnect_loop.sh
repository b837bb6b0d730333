#!/usr/bin/env bash
# What a script that reconnects in a loop gets through the relay server: from
# one address of its own (a network namespace behind a veth pair, so not
# loopback), it connects, joins, sends 19 lines and closes, again and again,
# for SECONDS, never reading. A member on loopback counts the script's lines
# that reach it; the server's console lines are counted too. Prints, for the
# loop and then for the loop and the 6 s after it (lines still served from
# closed connections): cycles run, lines relayed, console lines printed.
# With FRESH_UID=1 each cycle joins under a UID of its own (loop1, loop2...),
# so that no join is refused for a UID still in use.
#
#   bench/reconnect_loop.sh [SERVER [SECONDS [SERVER OPTION...]]]
#
# As root. SERVER defaults to build/server/server, SECONDS to 10. The
# namespace and the pair are removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/peer_namespace.sh
source "$root/bench/peer_namespace.sh"
server=${1:-$root/build/server/server}
seconds=${2:-10}
shift $(($# < 2 ? $# : 2))
settle=6
peer_workspace parlanar 205

# The script: connect, join, 19 lines, close, for as long as it is given.
cat >"$work/loop.py" <<'EOF'
import socket, struct, sys, time
host, port, seconds, fresh = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), sys.argv[4] == "1"
def frame(text):
    data = text.encode()
    return struct.pack(">II", len(data) + 4, len(data)) + data
def cycle(uid):
    return frame(uid) + struct.pack(">I", 0) + b"".join(frame("%s: %d" % (uid, i)) for i in range(19))
cycles, end = 0, time.monotonic() + seconds
while time.monotonic() < end:
    try:
        with socket.create_connection((host, port), timeout=2) as s:
            s.sendall(cycle("loop%d" % (cycles % 100000) if fresh else "loop"))
        cycles += 1
    except OSError:
        pass
print(cycles)
EOF

# The member on loopback: joins, then stamps every line of the script it
# receives; prints how many came within the loop's SECONDS, and in all.
cat >"$work/listen.py" <<'EOF'
import socket, struct, sys, time
port, go_file, seconds, total = int(sys.argv[1]), sys.argv[2], float(sys.argv[3]), float(sys.argv[4])
def frame(text):
    data = text.encode()
    return struct.pack(">II", len(data) + 4, len(data)) + data
s = socket.create_connection(("127.0.0.1", port))
s.sendall(frame("alice") + struct.pack(">I", 0))
s.settimeout(0.2)
buffer, stamps, end = b"", [], time.monotonic() + total
while time.monotonic() < end:
    try:
        data = s.recv(65536)
    except socket.timeout:
        continue
    if not data:
        break
    buffer += data
    while len(buffer) >= 4 and len(buffer) >= 4 + struct.unpack(">I", buffer[:4])[0]:
        size = struct.unpack(">I", buffer[:4])[0]
        body, buffer = buffer[4:4 + size], buffer[4 + size:]
        if body[4:8] == b"loop" and b": " in body:
            stamps.append(time.monotonic())
go = float(open(go_file).read())
print(sum(1 for t in stamps if t < go + seconds), len(stamps))
EOF

peer_namespace

port=$((20000 + RANDOM % 20000))
"$server" "$port" "$@" >"$work/console.log" &
pids+=($!)
wait_line "$work/console.log" "[*] UP :: PORT :: $port" 10
python3 "$work/listen.py" "$port" "$work/go" "$seconds" $((seconds + settle + 3)) >"$work/listened" &
listener=$!
pids+=("$listener")
wait_line "$work/console.log" "[*] alice : JOIN" 10
sleep 1
before=$(wc -l <"$work/console.log")
python3 -c 'import time; print(time.monotonic())' >"$work/go"
cycles=$(ip netns exec "$ns" python3 "$work/loop.py" "$host" "$port" "$seconds" "${FRESH_UID:-0}")
during=$(($(wc -l <"$work/console.log") - before))
sleep "$settle"
head -n "$(wc -l <"$work/console.log")" "$work/console.log" | tail -n +"$((before + 1))" >"$work/run.log"
after=$(wc -l <"$work/run.log")
wait "$listener"
read -r relayed relayed_all <"$work/listened"
echo "server: $server ${*:-(defaults)}${FRESH_UID:+, FRESH_UID=$FRESH_UID}"
echo "loop of $seconds s from $peer: $cycles cycles, $relayed lines relayed, $during console lines"
echo "with the $settle s after it: $relayed_all lines relayed, $after console lines"
echo "console lines, by kind, in all:"
sed -E 's/^\[(.)\] [^ ]+ : ([0-9]+ )?/[\1] UID : /; s/\(x[0-9]+\)$/(xN)/; s/: [0-9]+$/: N/' "$work/run.log" |
  sort | uniq -c | sort -rn | sed 's/^/  /'
