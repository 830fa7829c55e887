#!/usr/bin/env bash
# Benchmark: the command line packs a real map from its author's game
# folder (oacmpctf3, from Debian's openarena-oacmp1, unzipped as the author
# keeps it; OpenArena's own paks as the game), against the shell pipeline
# it replaces: one cp per file of the package, then zip -9 -X -q.  The
# files the shell copies are those the command line's --dry-run lists.
# Usage: bench/cli.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (3 by default); the medians are compared.
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_program "${1:-}"

runs=${RUNS:-3}
oacmp_author
map=oacmpctf3
args=(--textures "$G/textures" --bsp "$G/maps/$map.bsp" --aas "$G/maps/$map.aas"
  --levelshot "$G/levelshots/$map.tga" --name "$map" --description "Bench" --modes ctf
  --game "$game" --yes)
# The levelshot is a TGA: the run is told so, and goes on.
(cd "$tmp" && "$program" "${args[@]}" --dry-run 2>/dev/null) >"$tmp/plan"
entries=$(grep -c $'\t' "$tmp/plan")
echo "package of $map: $entries entries, $(awk -F'\t' 'NF == 3 { s += $3 } END { print s }' "$tmp/plan") bytes"

# Wall-clock, then processor seconds (user + system), of a command.
TIMEFORMAT='%R %U %S'
measure() { { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1, $2 + $3 }'; }
# One cp per planned file, the two generated files written, then zip -9.
shell_pipeline() {
  while IFS=$'\t' read -r path source _; do
    [ "$source" = - ] && continue
    mkdir -p "$(dirname "$path")"
    cp "$source" "$path"
  done < <(grep $'\t' "$tmp/plan")
  printf '{\r\nmap "%s"\r\nbots "phobos"\r\nlongname "Bench"\r\nfraglimit 20\r\ntimelimit 60\r\ntype "ctf "\r\n}\r\n' \
    "$map" >"scripts/$map.arena"
  printf 'pk3 creer avec Mapcrate v0.1\r\n' >mapcrate
  cut -f1 < <(grep $'\t' "$tmp/plan") | zip -9 -X -q "$map.pk3" -@
}

ours=() shell=() ours_cpu=() shell_cpu=()
for i in $(seq "$runs"); do
  rm -rf "$tmp/work" && mkdir "$tmp/work"
  read -r wall cpu < <(cd "$tmp/work" && measure "$program" "${args[@]}" --quiet)
  ours+=("$wall") ours_cpu+=("$cpu")
  [ "$(unzip -Z1 "$tmp/work/$map.pk3" | wc -l)" = "$entries" ] && unzip -tq "$tmp/work/$map.pk3" >/dev/null ||
    { echo "the command line wrote no good archive" >&2; exit 1; }
  echo "run $i: mapcrate ${wall}s (processor ${cpu}s)"

  rm -rf "$tmp/work" && mkdir "$tmp/work"
  read -r wall cpu < <(cd "$tmp/work" && measure shell_pipeline)
  shell+=("$wall") shell_cpu+=("$cpu")
  echo "run $i: shell pipeline ${wall}s (processor ${cpu}s)"
done

python3 - "${ours[*]}" "${shell[*]}" "${ours_cpu[*]}" "${shell_cpu[*]}" <<'PY'
import statistics, sys
o, s, oc, sc = (statistics.median(float(x) for x in a.split()) for a in sys.argv[1:5])
print("median mapcrate %.3f s, median shell pipeline %.3f s" % (o, s))
print("processor time ratio %.3f (mapcrate %.3f s, shell %.3f s)" % (oc / sc, oc, sc))
print("time ratio %.3f (target <= 0.15): %s" % (o / s, "met" if o / s <= 0.15 else "MISSED"))
PY
