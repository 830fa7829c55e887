#!/usr/bin/env bash
# Benchmark: Execute through the window's real pipeline (validation,
# staging, arena script, argument list, packer) on the bench corpus (a
# 64 MiB level file and 500 textures), against the shell pipeline it
# replaces (one cp per file, then zip -9 -X -q), and the growth of the
# program's resident memory during the Execute.
# Usage: bench/execute.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (3 by default); the medians are compared.
set -euo pipefail
echo "cores: $(nproc), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$(dirname "$0")/.."
root=$PWD

source bench/build.sh
bench_build "${1:-}" execute_bench
runs=${RUNS:-3}

tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT

corpus=$tmp/corpus
python3 bench/make_corpus.py "$corpus"
now() { date +%s.%N; }

# shellcheck source=bench/shell_pipeline.sh
. bench/shell_pipeline.sh

ours=() shell=() growth=()
for i in $(seq "$runs"); do
  rm -rf "$tmp/work" && mkdir "$tmp/work"
  # A dialog left unanswered would hold Execute: the timeout ends the run.
  read -r secs before hwm after < <(timeout 120 xvfb-run -a "$build/execute_bench" "$corpus" "$tmp/work" 2>&1 >/dev/null | tail -n 1)
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
print("time ratio %.3f (target <= 0.40): %s" % (o / s, "met" if o / s <= 0.40 else "MISSED"))
print("resident growth during Execute, worst run: %d KiB = %.2f MiB (target <= 64 MiB): %s"
      % (g, g / 1024, "met" if g <= 64 * 1024 else "MISSED"))
PY
