#!/usr/bin/env bash
# Benchmark: mapcrate-pack -o -9 against zip -9 -X -q on a generated corpus
# (one 64 MiB level file of mixed compressibility, 500 small textures).
# Usage: bench/pack.sh [BUILD_DIR]   (builds build-bench when none is given)
set -euo pipefail
cd "$(dirname "$0")/.."

log=$(mktemp /tmp/mapcrate-bench-build-XXXXXX.log)
if [ $# -ge 1 ]; then
  build=$1
  cmake --build "$build" --target mapcrate-pack >"$log" 2>&1 || { cat "$log"; exit 1; }
else
  build=build-bench
  bash scripts/setup.sh "$build" >"$log" 2>&1 || { cat "$log"; exit 1; }
fi
rm -f "$log"

corpus=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
trap 'rm -rf "$corpus"' EXIT
python3 bench/make_corpus.py "$corpus"
python3 bench/pack_compare.py "$build/mapcrate-pack" "$corpus" "${RUNS:-5}"
