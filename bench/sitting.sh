# What the scripts that measure in one sitting share; sourced, not run.

# Waits (up to 10 minutes) for a second in which the machine was at least
# IDLE % idle (default 95): the machine is shared.
wait_quiet() {
  local tries=600 a b idle total i
  while ((tries-- > 0)); do
    a=($(head -1 /proc/stat))
    sleep 1
    b=($(head -1 /proc/stat))
    idle=$(((b[4] + b[5]) - (a[4] + a[5])))
    total=0
    for i in 1 2 3 4 5 6 7 8; do total=$((total + b[i] - a[i])); done
    ((total > 0 && idle * 100 >= total * ${IDLE:-95})) && return 0
  done
  echo "(the machine never got quiet; running anyway)" >&2
}

# An awk function: the median of the numbers in a space-separated list.
awk_median='
  function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }'
