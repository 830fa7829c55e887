#!/usr/bin/env bash
# Benchmark: the in-process staging against one shell cp per file, and
# staging plus packing against cp per file plus zip -9 -X -q, on the bench
# corpus (500 small textures, a 64 MiB level file); peak resident size of
# staging plus packing.
# Usage: bench/stage.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (3 by default); the medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_build "${1:-}" stage_bench
runs=${RUNS:-3}

tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
corpus=$tmp/corpus
python3 bench/make_corpus.py "$corpus"
sync
now() { date +%s.%N; }
elapsed() { awk "BEGIN { print $2 - $1 }"; }

shell_stage() {
  mkdir textures
  for t in "$corpus"/textures/*; do cp "$t" textures/; done
}

# shellcheck source=bench/shell_pipeline.sh
. bench/shell_pipeline.sh

# Written-back pages of the last run must not slow the next one down.
fresh() { rm -rf "$tmp/work" && mkdir "$tmp/work" && sync; }

stage=() shell_st=() one_cp=() full=() shell_full=() peak=()
for i in $(seq "$runs"); do
  fresh
  read -r secs _ < <("$build/stage_bench" stage "$corpus" "$tmp/work" 2>&1 >/dev/null | tail -n 1)
  [ "$(ls "$tmp/work/textures" | wc -l)" -eq 500 ] || { echo "staging missed textures" >&2; exit 1; }
  stage+=("$secs")

  fresh
  start=$(now); (cd "$tmp/work" && shell_stage); end=$(now)
  shell_st+=("$(elapsed "$start" "$end")")

  fresh
  start=$(now); (cd "$tmp/work" && mkdir textures && cp "$corpus"/textures/* textures/); end=$(now)
  one_cp+=("$(elapsed "$start" "$end")")

  fresh
  read -r secs hwm < <("$build/stage_bench" pack "$corpus" "$tmp/work" 2>&1 >/dev/null | tail -n 1)
  python3 -c 'import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); z.testzip() is None and len(z.namelist()) == 503 or sys.exit(1)' \
    "$tmp/work/bench.pk3" || { echo "staging and packing wrote no good archive" >&2; exit 1; }
  full+=("$secs") peak+=("$hwm")

  fresh
  start=$(now); (cd "$tmp/work" && shell_pipeline); end=$(now)
  shell_full+=("$(elapsed "$start" "$end")")
  echo "run $i: staging ${stage[-1]}s, cp per file ${shell_st[-1]}s, one cp ${one_cp[-1]}s;" \
    "staging+packing ${full[-1]}s (peak ${hwm} KiB), cp per file + zip ${shell_full[-1]}s"
done

python3 - "${stage[*]}" "${shell_st[*]}" "${one_cp[*]}" "${full[*]}" "${shell_full[*]}" "${peak[*]}" <<'PY'
import statistics, sys
med = [statistics.median(float(x) for x in a.split()) for a in sys.argv[1:6]]
stage, shell_st, one_cp, full, shell_full = med
peak = max(int(x) for x in sys.argv[6].split())
print("median staging of 500 textures %.3f s, one cp per file %.3f s, a single cp %.3f s"
      % (stage, shell_st, one_cp))
speed = shell_st / stage
print("staging speed-up %.1fx (target >= 20x): %s" % (speed, "met" if speed >= 20 else "MISSED"))
ratio = full / shell_full
print("median staging+packing %.3f s, shell pipeline %.3f s" % (full, shell_full))
print("time ratio %.3f (target <= 0.85): %s" % (ratio, "met" if ratio <= 0.85 else "MISSED"))
print("peak RSS of staging+packing, worst run: %d KiB = %.2f MiB (target <= 64 MiB): %s"
      % (peak, peak / 1024, "met" if peak <= 64 * 1024 else "MISSED"))
PY
