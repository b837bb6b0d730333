#!/usr/bin/env bash
# How long the relay server takes to let go of a member whose network
# vanished without a word. The member joins from its own network namespace,
# joined to this one by a veth pair, and its end of the pair is then taken
# down: no close, no reset, nothing more from it. In a quiet room nothing is
# sent to it afterwards; in a busy one another member's line is. Prints the
# seconds from the cut to the member's LEAVE line, for each run.
#
#   bench/vanished_peer.sh [RUNS]     (as root; build first: cmake --build build --target server)
#
# RUNS (default 1) of each, quiet and busy, side by side on two servers. The
# namespace and the pair are removed at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/peer_namespace.sh
source "$root/bench/peer_namespace.sh"
runs=${1:-1}
server=$root/build/server/server
peer_workspace parlanab 204

# A member: joins as UID, then holds the connection; with TRIGGER and LINE,
# sends LINE once the file TRIGGER exists.
cat >"$work/member.py" <<'EOF'
import os, socket, struct, sys, time
host, port, uid = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def frame(text):
    data = text.encode()
    return struct.pack(">II", len(data) + 4, len(data)) + data
s = socket.create_connection((host, port))
s.sendall(frame(uid) + struct.pack(">I", 0))
if len(sys.argv) > 5:
    while not os.path.exists(sys.argv[4]):
        time.sleep(0.05)
    s.sendall(frame(sys.argv[5]))
time.sleep(600)
EOF

peer_namespace

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((run = 1; run <= runs; run++)); do
  rm -f "$work/cut"
  ip -n "$ns" link set "${ns}b" up
  for mode in quiet busy; do
    port=$((20000 + RANDOM % 20000))
    "$server" "$port" >"$work/$mode.log" &
    pids+=($!)
    wait_line "$work/$mode.log" "[*] UP :: PORT :: $port"
    ip netns exec "$ns" python3 "$work/member.py" "$host" "$port" gone &
    pids+=($!)
    wait_line "$work/$mode.log" "[*] gone : JOIN"
    if [[ $mode == busy ]]; then
      python3 "$work/member.py" 127.0.0.1 "$port" alice "$work/cut" "alice: are you there?" &
    else
      python3 "$work/member.py" 127.0.0.1 "$port" alice &
    fi
    pids+=($!)
    wait_line "$work/$mode.log" "[*] alice : JOIN"
  done
  sleep 1 # both rooms settled: every packet so far acknowledged
  ip -n "$ns" link set "${ns}b" down
  cut=$(date +%s%N)
  touch "$work/cut"
  declare -A gone=()
  while ((${#gone[@]} < 2 && $(date +%s%N) - cut < 120000000000)); do
    for mode in quiet busy; do
      if [[ -z ${gone[$mode]:-} ]] && grep -qxF "[*] gone, : LEAVE" "$work/$mode.log"; then
        gone[$mode]=$((($(date +%s%N) - cut) / 1000000))
      fi
    done
    sleep 0.1
  done
  for mode in quiet busy; do
    if [[ -n ${gone[$mode]:-} ]]; then
      printf 'run %d %-5s gone after %d.%d s\n' "$run" "$mode" $((gone[$mode] / 1000)) $((gone[$mode] % 1000 / 100))
    else
      printf 'run %d %-5s still there after 120 s\n' "$run" "$mode"
    fi
  done
  unset gone
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  pids=()
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
