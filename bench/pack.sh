#!/usr/bin/env bash
# Benchmark: mapcrate-pack -o -9 against zip -9 -X -q on two corpora, side
# by side: a real map's files (the map with the largest level file in
# Debian's openarena-oacmp1 pack, its bot file and levelshot, and the
# pack's textures) and the generated corpus with a 64 MiB level file.
# Usage: bench/pack.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (3 by default); the medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_build "${1:-}" mapcrate-pack

need_packages openarena-oacmp1
pk3=$(dpkg -L openarena-oacmp1 | grep '/baseoa/.*\.pk3$' | head -n 1)

tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
map=$(unzip -Z -l "$pk3" 'maps/*.bsp' | awk '$NF ~ /\.bsp$/ { print $4, $NF }' |
  sort -n | tail -n 1 | sed 's|.* maps/||; s|\.bsp$||')
unzip -q "$pk3" "maps/$map.*" "levelshots/$map.*" 'textures/*' -d "$tmp/real"
python3 bench/make_corpus.py "$tmp/large"
python3 bench/pack_compare.py "$build/mapcrate-pack" "${RUNS:-3}" \
  "real map $map=$tmp/real=0.20" "large level file=$tmp/large=0.40"
