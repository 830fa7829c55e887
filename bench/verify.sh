#!/usr/bin/env bash
# Benchmark: what --verify adds to a command-line run, on the sample map and
# on oacmpctf3 (from Debian's openarena-oacmp1, unzipped as its author keeps
# it): the median wall-clock of the run with --verify beside the same run
# without.  The server's own start-up is most of it.
# Usage: bench/verify.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (3 by default).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_program "${1:-}"
need_packages openarena-server
runs=${RUNS:-3}
oacmp_author
sample=$(realpath samples/crateyard)

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The median seconds of runs of the command line in a fresh folder each time.
timed() {
  for _ in $(seq "$runs"); do
    rm -rf "$tmp/work" && mkdir "$tmp/work"
    local start end
    start=$(date +%s.%N)
    (cd "$tmp/work" && "$program" --yes --quiet "$@" 2>/dev/null) || echo "exit $?" >&2
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
  done | median
}
for map in crateyard oacmpctf3; do
  if [ $map = crateyard ]; then
    args=(--textures "$sample/textures" --bsp "$sample/maps/$map.bsp" --aas "$sample/maps/$map.aas"
      --levelshot "$sample/levelshots/$map.jpg" --name $map --modes ffa,tourney)
  else
    args=(--textures "$G/textures" --bsp "$G/maps/$map.bsp" --aas "$G/maps/$map.aas"
      --name $map --modes ctf)
  fi
  plain=$(timed "${args[@]}")
  verified=$(timed "${args[@]}" --verify)
  printf '%-10s packing %.2f s, with --verify %.2f s: the server adds %.2f s\n' \
    $map "$plain" "$verified" "$(awk -v a="$plain" -v b="$verified" 'BEGIN { print b - a }')"
done
