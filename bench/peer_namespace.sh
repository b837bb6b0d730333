# shellcheck shell=bash
# Sourced by the benchmarks that put a peer on an address of its own: a
# network namespace joined to this one by a veth pair.

# peer_namespace NS HOST PEER: makes namespace NS, with HOST on this side of
# the pair and PEER inside (a /30 between them).
peer_namespace() {
  ip netns add "$1"
  ip link add "${1}a" type veth peer name "${1}b" netns "$1"
  ip addr add "$2/30" dev "${1}a"
  ip link set "${1}a" up
  ip -n "$1" addr add "$3/30" dev "${1}b"
  ip -n "$1" link set "${1}b" up
}

# wait_line LOG LINE [SECONDS]: waits (at most SECONDS, default 120) for LINE in LOG.
wait_line() {
  for _ in $(seq $((${3:-120} * 10))); do
    grep -qxF "$2" "$1" && return 0
    sleep 0.1
  done
  return 1
}
