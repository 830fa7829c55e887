#!/usr/bin/env bash
# Benchmark: Execute through the window's real pipeline (validation,
# staging, arena script, argument list, packer) on the bench corpus (a
# 64 MiB level file and 500 textures), against the shell pipeline it
# replaces (one cp per file, then zip -9 -X -q), and the growth of the
# program's resident memory during the Execute.
# Usage: bench/execute.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (3 by default); the medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ $# -ge 1 ]; then
  build=$1
  cmake --build "$build" --target mapcrate_core >/dev/null
else
  build=build-bench
  bash scripts/setup.sh "$build" >/dev/null
fi
runs=${RUNS:-3}

tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

corpus=$tmp/corpus
python3 bench/make_corpus.py "$corpus"
# shellcheck disable=SC2046
g++ -std=c++17 -O2 -Wall -Wextra -Wno-deprecated-declarations -Isrc bench/execute_bench.cc \
  "$build/libmapcrate_core.a" $(pkg-config --cflags --libs gtk+-2.0 minizip zlib) \
  -o "$tmp/execute_bench"

Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$tmp/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$tmp/display")

now() { date +%s.%N; }

# shellcheck source=bench/shell_pipeline.sh
. bench/shell_pipeline.sh

ours=() shell=() growth=()
for i in $(seq "$runs"); do
  rm -rf "$tmp/work" && mkdir "$tmp/work"
  read -r secs before hwm after < <(timeout 600 "$tmp/execute_bench" "$corpus" "$tmp/work" 2>&1 >/dev/null | tail -n 1)
  python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).testzip() is None or sys.exit(1)' \
    "$tmp/work/bench.pk3" || { echo "Execute wrote no good archive" >&2; exit 1; }
  ours+=("$secs") growth+=("$(( hwm - before ))")
  echo "run $i: Execute ${secs}s (VmRSS before ${before} KiB, VmHWM ${hwm} KiB, VmRSS after ${after} KiB)"

  rm -rf "$tmp/work" && mkdir "$tmp/work"
  start=$(now)
  (cd "$tmp/work" && shell_pipeline)
  end=$(now)
  shell+=("$(awk "BEGIN { print $end - $start }")")
  echo "run $i: shell pipeline ${shell[-1]}s"
done

python3 - "${ours[*]}" "${shell[*]}" "${growth[*]}" <<'PY'
import statistics, sys
ours = [float(x) for x in sys.argv[1].split()]
shell = [float(x) for x in sys.argv[2].split()]
growth = [int(x) for x in sys.argv[3].split()]
o, s, g = statistics.median(ours), statistics.median(shell), max(growth)
print("median Execute %.3f s, median shell pipeline %.3f s" % (o, s))
print("time ratio %.3f (target <= 0.85): %s" % (o / s, "met" if o / s <= 0.85 else "MISSED"))
print("resident growth during Execute, worst run: %d KiB = %.2f MiB (target <= 8 MiB): %s"
      % (g, g / 1024, "met" if g <= 8 * 1024 else "MISSED"))
PY
