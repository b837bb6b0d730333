# shellcheck shell=bash
# Sourced by the benchmarks that put a peer on an address of its own: a
# network namespace joined to this one by a veth pair.

# peer_workspace NAME NET: sets ns (the namespace's name), host and peer (the
# two ends' addresses in 10.NET.0.0/16), work (a scratch directory) and pids
# (processes to stop), and removes all of them when the script exits.
peer_workspace() {
  ns=$1$$
  host=10.$2.$(($$ % 64 * 4)).1
  peer=10.$2.$(($$ % 64 * 4)).2
  work=$(mktemp -d -t "$1.XXXXXX")
  pids=()
  trap peer_cleanup EXIT
}

peer_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  ip netns delete "$ns" 2>/dev/null || true
  rm -rf "$work"
}

# peer_namespace: makes the namespace, with host on this side of the pair
# and peer inside (a /30 between them).
peer_namespace() {
  ip netns add "$ns"
  ip link add "${ns}a" type veth peer name "${ns}b" netns "$ns"
  ip addr add "$host/30" dev "${ns}a"
  ip link set "${ns}a" up
  ip -n "$ns" addr add "$peer/30" dev "${ns}b"
  ip -n "$ns" link set "${ns}b" up
}

# wait_line LOG LINE [SECONDS]: waits (at most SECONDS, default 120) for LINE in LOG.
wait_line() {
  for _ in $(seq $((${3:-120} * 10))); do
    grep -qxF "$2" "$1" && return 0
    sleep 0.1
  done
  return 1
}
