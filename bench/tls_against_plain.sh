#!/usr/bin/env bash
# Measures the relay with every member on TLS against the same relay with
# every member plain, in one sitting: each scenario runs RUNS times, plain
# and TLS alternating, one fresh server process and port per run (the TLS
# server with --tls-dir on a key made once for the sitting); prints every
# run, then the medians and the TLS/plain ratio of each figure.
#
#   bench/tls_against_plain.sh [RUNS [SCENARIO...]]
#
# RUNS defaults to 3; the scenarios (default all) are saturation (46 members,
# flood control off), 500/s (46 members, defaults) and joins (46 members
# connecting and joining at once, then a second of 46 lines/s; the server's
# memory is read with the 46 members idle). Build first:
# cmake --build build --target server loadgen. The machine is shared: every
# run waits (up to 10 minutes) for a second in which it is at least IDLE %
# idle (default 95), and the "other %" column shows the CPU everything but
# the relay and loadgen used during the run, in % of one core.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/sitting.sh
source "$root/bench/sitting.sh"
runs=${1:-3}
shift $(($# < 1 ? $# : 1))
wanted=("$@")
loadgen=$root/build/bench/loadgen
server=$root/build/server/server
port=$((20000 + RANDOM % 20000))
keys=$(mktemp -d -t parlana-bench-keys.XXXXXX)
results=$(mktemp)
trap 'rm -rf "$keys" "$results"' EXIT

# name|loadgen options|server options
scenarios=(
  "saturation|--clients 46 --duration 5 --window 4|--flood-rate 0"
  "500/s|--clients 46 --duration 10 --rate 500|"
  "joins|--clients 46 --duration 1 --rate 46 --joins-at-once|"
)

# One run: prints "relays p99 joins-last idle-KiB per-member-KiB other result".
run_one() {
  local mode=$1 port=$2 args=$3 options=$4 pid out tls=()
  [[ $mode == tls ]] && tls=(--tls) && options="$options --tls-dir $keys"
  # shellcheck disable=SC2086
  "$server" "$port" $options >/dev/null &
  pid=$!
  sleep 0.3
  # shellcheck disable=SC2086
  out=$("$loadgen" --port "$port" --server-pid "$pid" $args "${tls[@]}")
  kill "$pid"
  wait "$pid" 2>/dev/null
  awk '
    /^relays\/s/ { relays = $2 }
    /^latency/   { p99 = $6 }
    /^joins at once/ { last = $(NF - 1) }
    /^server VmRSS/ { idle = $0; sub(/ KiB with.*/, "", idle); sub(/.* /, "", idle)
                      each = $0; sub(/ KiB\/client.*/, "", each); sub(/.*\(/, "", each) }
    /^cpu/       { other = $NF }
    /^result/    { result = $2 }
    END { printf "%s %s %s %s %s %s %s\n", relays, p99, (last == "" ? "-" : last), idle, each, other, result }' <<<"$out"
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-11s %-5s %3s %10s %9s %12s %14s %10s %7s %s\n' scenario mode run "relays/s" "p99 us" "last join ms" \
  "VmRSS idle KiB" "KiB/member" "other %" result
for scenario in "${scenarios[@]}"; do
  IFS='|' read -r name args options <<<"$scenario"
  if ((${#wanted[@]} > 0)) && [[ ! " ${wanted[*]} " == *" $name "* ]]; then
    continue
  fi
  for ((i = 1; i <= runs; i++)); do
    for mode in plain tls; do
      port=$((port + 1))
      wait_quiet
      read -r rate p99 last idle each other result < <(run_one "$mode" "$port" "$args" "$options")
      printf '%-11s %-5s %3d %10s %9s %12s %14s %10s %7s %s\n' "$name" "$mode" "$i" "$rate" "$p99" "$last" "$idle" \
        "$each" "$other" "$result"
      echo "$name $mode $rate $p99 $last $idle" >>"$results"
    done
  done
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "medians (tls / plain):"
awk "$awk_median"'
  { key = $1; if (!(key in seen)) { order[++n] = key; seen[key] = 1 }
    r[key, $2] = r[key, $2] " " $3; p[key, $2] = p[key, $2] " " $4
    j[key, $2] = j[key, $2] " " $5; m[key, $2] = m[key, $2] " " $6 }
  END {
    for (k = 1; k <= n; k++) {
      key = order[k]
      tr = median(r[key, "tls"]); pr = median(r[key, "plain"])
      printf "%-11s relays/s %7.0f / %7.0f (%.2f)   p99 %7.1f / %7.1f us   last join %6.1f / %6.1f ms   VmRSS idle %6.0f / %6.0f KiB\n",
        key, tr, pr, (pr > 0 ? tr / pr : 0), median(p[key, "tls"]), median(p[key, "plain"]),
        median(j[key, "tls"]), median(j[key, "plain"]), median(m[key, "tls"]), median(m[key, "plain"])
    }
  }' "$results"
