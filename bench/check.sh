#!/usr/bin/env bash
# Benchmark: mapcrate --check on the community volume of Debian's
# openarena-oacmp1 (one package of 13 maps, 37 MB; target 1 s) and on one
# map's package (oacmpctf3, the largest level, packed by the command line
# from the volume unzipped as its author keeps it; target 0.3 s), with
# OpenArena's own paks as the game.  Prints what --check says about the
# volume, then the median wall-clock and processor times of each.
# Usage: bench/check.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (5 by default).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_program "${1:-}"

runs=${RUNS:-5}
oacmp_author
map=oacmpctf3
# The levelshot is a TGA: the run is told so, and goes on.
(cd "$tmp" && "$program" --textures "$G/textures" --bsp "$G/maps/$map.bsp" \
  --aas "$G/maps/$map.aas" --levelshot "$G/levelshots/$map.tga" --name "$map" \
  --description Bench --modes ctf --game "$game" --yes --quiet 2>/dev/null)
one=$tmp/$map.pk3

echo "--- mapcrate --check $volume"
status=0
"$program" --check "$volume" --game "$game" || status=$?
echo "--- exit status $status"

# Wall-clock, then processor seconds (user + system), of a command.
TIMEFORMAT='%R %U %S'
measure() { { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1, $2 + $3 }'; }
report() { # LABEL TARGET PACKAGE
  local walls=() cpus=() wall cpu
  for _ in $(seq "$runs"); do
    read -r wall cpu < <(measure "$program" --check "$3" --game "$game")
    walls+=("$wall") cpus+=("$cpu")
  done
  python3 - "$1" "$2" "${walls[*]}" "${cpus[*]}" <<'PY'
import statistics, sys
label, target, walls, cpus = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4]
w = statistics.median(float(x) for x in walls.split())
c = statistics.median(float(x) for x in cpus.split())
print("%s: median %.3f s (processor %.3f s), target <= %.1f s: %s"
      % (label, w, c, target, "met" if w <= target else "MISSED"))
PY
}
report "the volume, 13 maps, $(du -m "$volume" | cut -f1) MB" 1.0 "$volume"
report "one map's package, $map, $(du -k "$one" | cut -f1) KB" 0.3 "$one"
