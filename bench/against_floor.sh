#!/usr/bin/env bash
# Measures the relay server against the minimal relay (the "floor") in one
# sitting: each scenario runs RUNS times on each, alternating floor and
# server, one fresh process and one fresh port per run; prints every run,
# then the medians and the server/floor ratio of each figure.
#
#   bench/against_floor.sh FLOOR_BINARY [RUNS [SCENARIO...]]
#
# RUNS defaults to 3; the scenarios (default all) are saturation, 500/s,
# 200/s+newcomers (46 members: every newcomer is refused as the room is
# full), 200/s+joins (45 members: every newcomer is admitted, then leaves),
# 200/s+silent, and flood (45 members at a line a second each while one more
# floods; the server alone, as the floor has no flood control to measure).
# Each scenario names the server's options: saturation measures raw relay
# speed, so flood control is off there; the others run on the defaults.
# Under each run of a scenario with visitors or a flooder, loadgen's account
# of them. Build first: cmake --build build --target server loadgen. The machine is shared: every run waits (up to 10 minutes)
# for a second in which the machine is at least 95 % idle, and the "other %"
# column (CPU used by everything but the relay and loadgen during the run, in
# % of one core) shows which runs were disturbed all the same. With PIN=1 the
# relay runs on the first core and loadgen on the second; that steadies the
# saturation figures a little, but another process landing on either core
# then cannot be escaped, which shows in the latencies.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/sitting.sh
source "$root/bench/sitting.sh"
floor=${1:?usage: bench/against_floor.sh FLOOR_BINARY [RUNS [SCENARIO...]]}
runs=${2:-3}
shift $(($# < 2 ? $# : 2))
wanted=("$@")
loadgen=$root/build/bench/loadgen
server=$root/build/server/server
port=$((20000 + RANDOM % 20000))
relay_core=() loadgen_core=()
if [[ ${PIN:-0} == 1 ]]; then
  relay_core=(taskset -c 0) loadgen_core=(taskset -c 1)
fi

# name|loadgen options|server options|relays measured
scenarios=(
  "saturation|--clients 46 --duration 5 --window 4|--flood-rate 0|floor server"
  "500/s|--clients 46 --duration 10 --rate 500||floor server"
  "200/s+newcomers|--clients 46 --duration 10 --rate 200 --newcomer-every 100||floor server"
  "200/s+joins|--clients 45 --duration 10 --rate 200 --newcomer-every 100||floor server"
  "200/s+silent|--clients 46 --duration 10 --rate 200 --silent-every 50||floor server"
  "flood|--clients 45 --duration 10 --rate 45 --flooder||server"
)

# One run on a port of its own: prints "relays p50 p99 max rest other result"
# from loadgen's report, and keeps the report in $report.
run_one() {
  local which=$1 port=$2 args=$3 options=$4 pid out
  if [[ $which == floor ]]; then
    "${relay_core[@]}" "$floor" "$port" -b >/dev/null &
  else
    # shellcheck disable=SC2086
    "${relay_core[@]}" "$server" "$port" $options >/dev/null &
  fi
  pid=$!
  sleep 0.3
  # shellcheck disable=SC2086
  out=$("${loadgen_core[@]}" "$loadgen" --port "$port" --server-pid "$pid" $args)
  kill "$pid"
  wait "$pid" 2>/dev/null
  echo "$out" >"$report"
  awk '
    /^relays\/s/ { relays = $2 }
    /^latency/   { p50 = $3; p99 = $6; max = $9 }
    /^cpu/       { other = $NF }
    /^server VmRSS/ { n = split($0, parts, "("); rest = parts[n]; sub(/ KiB.*/, "", rest) }
    /^result/    { result = $2 }
    END { printf "%s %s %s %s %s %s %s\n", relays, p50, p99, max, rest, other, result }' <<<"$out"
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-16s %-6s %3s %10s %9s %9s %9s %13s %7s %s\n' scenario relay run "relays/s" "p50 us" "p99 us" \
  "max us" "rest KiB/mbr" "other %" result
results=$(mktemp)
report=$(mktemp)
for scenario in "${scenarios[@]}"; do
  IFS='|' read -r name args options relays <<<"$scenario"
  if ((${#wanted[@]} > 0)) && [[ ! " ${wanted[*]} " == *" $name "* ]]; then
    continue
  fi
  for ((i = 1; i <= runs; i++)); do
    for which in $relays; do
      port=$((port + 1))
      wait_quiet
      read -r rate p50 p99 max rest other result < <(run_one "$which" "$port" "$args" "$options")
      printf '%-16s %-6s %3d %10s %9s %9s %9s %13s %7s %s\n' "$name" "$which" "$i" "$rate" "$p50" "$p99" \
        "$max" "$rest" "$other" "$result"
      grep -E '^(newcomers|silent|visitors|flooder) ' "$report" | sed 's/^/    /'
      echo "$name $which $rate $p99 $rest" >>"$results"
    done
  done
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "medians (server/floor):"
awk "$awk_median"'
  { key = $1; if (!(key in seen)) { order[++n] = key; seen[key] = 1 }
    r[key, $2] = r[key, $2] " " $3; p[key, $2] = p[key, $2] " " $4; m[key, $2] = m[key, $2] " " $5 }
  END {
    for (k = 1; k <= n; k++) {
      key = order[k]
      fr = median(r[key, "floor"]); sr = median(r[key, "server"])
      fp = median(p[key, "floor"]); sp = median(p[key, "server"])
      printf "%-16s relays/s %8.0f / %8.0f (%.2f)   p99 %7.1f / %7.1f us   rest %5.1f / %5.1f KiB per member\n",
        key, sr, fr, (fr > 0 ? sr / fr : 0), sp, fp, median(m[key, "server"]), median(m[key, "floor"])
    }
  }' "$results"
rm -f "$results" "$report"
