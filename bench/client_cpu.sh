#!/usr/bin/env bash
# The real client's CPU use in a room, and whether it keeps up: starts the
# server and one client (UID watcher) on a private virtual display, lets it
# join, then runs loadgen with the given arguments beside it (or nothing, for
# a quiet room) and reads the client's CPU time from /proc over the run, in %
# of one core. Last, the server's log says whether the client is still in the
# room: a client that does not keep up is dropped once 1 MiB waits for it.
#
#   bench/client_cpu.sh SECONDS [LOADGEN_ARGS...]
#
#   bench/client_cpu.sh 10                                         # alone, quiet
#   bench/client_cpu.sh 30 --clients 45 --rate 45 --duration 30    # 46 members, a line a second each
#   bench/client_cpu.sh 30 --clients 1 --rate 2000 --duration 30   # one member relaying 2,000 lines/s
#
# Build first (cmake --build build --target server client loadgen); run from
# anywhere. SERVER_ARGS are passed to the server after its port.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: bench/client_cpu.sh SECONDS [LOADGEN_ARGS...]}
shift
build=${BUILD:-$root/build}
port=$((20000 + RANDOM % 20000))
log=$(mktemp)
pids=()
client=
cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -f "$log"
}
trap cleanup EXIT

# user + system ticks of a process, from /proc/PID/stat (fields 14 and 15).
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

"$build/server/server" "$port" ${SERVER_ARGS:-} >"$log" &
pids+=($!)
sleep 0.3
(cd "$root" && exec xvfb-run -a -s "-screen 0 1280x800x24" "$build/client/client" watcher 127.0.0.1 "$port") \
  >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  client=$(pgrep -f "^$build/client/client watcher 127.0.0.1 $port" || true)
  grep -q "watcher : JOIN" "$log" && [[ -n $client ]] && break
  sleep 0.1
done
[[ -n $client ]] || { echo "the client did not join" >&2; exit 1; }
sleep 2 # past the first frames

before=$(ticks "$client")
started=$(date +%s%N)
if [[ $# -gt 0 ]]; then
  "$build/bench/loadgen" --port "$port" "$@" | grep -E 'relays/s|latency|lost|error' || true
else
  sleep "$seconds"
fi
after=$(ticks "$client")
awk -v ticks=$((after - before)) -v hz="$(getconf CLK_TCK)" -v ns=$(($(date +%s%N) - started)) \
  'BEGIN { printf "client CPU: %.1f %% of one core over %.0f s\n", 100 * ticks / hz / (ns / 1e9), ns / 1e9 }'
if grep -q "watcher, : LEAVE" "$log"; then
  echo "the client was dropped by the server"
else
  echo "the client is still in the room"
fi
