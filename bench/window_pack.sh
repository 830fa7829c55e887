#!/usr/bin/env bash
# Benchmark: the window's Execute (off the toolkit's thread, under its
# progress dialog, driven with xdotool under Xvfb) against the command line,
# side by side on the same map: oacmpctf3 from its author's game folder (as
# bench/cli.sh packs it), then, with BIG=1, the same map with a level of
# some 300 MB made at run time (and no AAS, which would not match it).
# Usage: bench/window_pack.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (5 by default); the medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_program "${1:-}"
need_packages xdotool xvfb xauth unzip

runs=${RUNS:-5}
oacmp_author
export MAPCRATE_GAME_DIR=$game
map=oacmpctf3
form=("$G/textures" "$G/maps/$map.bsp" "$G/maps/$map.aas" "$G/levelshots/$map.tga" "$map")
echo "$map from its author's folder:"
xvfb-run -a python3 bench/window_pack.py "$program" "$tmp" "$runs" "${form[@]}"

if [ "${BIG:-0}" = 1 ]; then
  # The level, then some 300 MB of its own lumps again after its end: the
  # game reads a lump where the header says, the rest only weighs.
  big=$tmp/big
  mkdir -p "$big/maps"
  cp "$G/maps/$map.bsp" "$big/maps/big.bsp"
  for _ in $(seq 28); do cat "$G/maps/$map.bsp" >>"$big/maps/big.bsp"; done
  echo "the same with a level of $(($(stat -c %s "$big/maps/big.bsp") >> 20)) MiB:"
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  xvfb-run -a python3 bench/window_pack.py "$program" "$tmp" "$runs" \
    "$G/textures" "$big/maps/big.bsp" - "$G/levelshots/$map.tga" big
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
