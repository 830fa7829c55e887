#!/usr/bin/env bash
# Benchmark: two complete maps of the community volume (oacmpdm1 and
# oacmpdm3, from Debian's openarena-oacmp1, unzipped as their author keeps
# them) packed as one map pack, against the same two packed one after the
# other, each with its own AAS and levelshot.  Side by side in each run, the
# median of each printed; the pack must cost no more.
# Usage: bench/map_pack.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (5 by default).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_program "${1:-}"

runs=${RUNS:-5}
oacmp_author
maps=(oacmpdm1 oacmpdm3)
common=(--description "Bench" --modes ffa --game "$game" --yes --quiet)

TIMEFORMAT='%R %U %S'
# Wall-clock, then processor seconds (user + system), of a command.
measure() { { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1, $2 + $3 }'; }
as_pack() {
  local bsps=() m
  for m in "${maps[@]}"; do bsps+=(--bsp "$G/maps/$m.bsp"); done
  "$program" "${bsps[@]}" --name pack "${common[@]}"
}
one_by_one() {
  local m
  for m in "${maps[@]}"; do
    "$program" --bsp "$G/maps/$m.bsp" --aas "$G/maps/$m.aas" --levelshot "$G/levelshots/$m.tga" \
      --name "$m" "${common[@]}" || return 1
  done
}

pack=() apart=() pack_cpu=() apart_cpu=()
for i in $(seq "$runs"); do
  rm -rf "$tmp/work" && mkdir "$tmp/work"
  read -r wall cpu < <(cd "$tmp/work" && measure as_pack)
  unzip -tq "$tmp/work/pack.pk3" >/dev/null || { echo "the pack is no good archive" >&2; exit 1; }
  pack+=("$wall") pack_cpu+=("$cpu")
  pack_bytes=$(stat -c %s "$tmp/work/pack.pk3")

  rm -rf "$tmp/work" && mkdir "$tmp/work"
  read -r wall cpu < <(cd "$tmp/work" && measure one_by_one)
  for m in "${maps[@]}"; do unzip -tq "$tmp/work/$m.pk3" >/dev/null ||
    { echo "$m.pk3 is no good archive" >&2; exit 1; }; done
  apart+=("$wall") apart_cpu+=("$cpu")
  apart_bytes=$(cat "$tmp/work"/*.pk3 | wc -c)
  echo "run $i: pack ${pack[-1]}s (processor ${pack_cpu[-1]}s), one by one ${wall}s (processor ${cpu}s)"
done

python3 - "${pack[*]}" "${apart[*]}" "${pack_cpu[*]}" "${apart_cpu[*]}" "$pack_bytes" "$apart_bytes" <<'PY'
import statistics, sys
p, a, pc, ac = (statistics.median(float(x) for x in s.split()) for s in sys.argv[1:5])
pb, ab = int(sys.argv[5]), int(sys.argv[6])
print("median map pack %.3f s (processor %.3f s), %d bytes" % (p, pc, pb))
print("median one by one %.3f s (processor %.3f s), %d bytes in two pk3s" % (a, ac, ab))
print("pack / one by one: time %.3f, processor %.3f (target <= 1): %s"
      % (p / a, pc / ac, "met" if p <= a else "MISSED"))
PY
