#!/usr/bin/env bash
# Benchmark: a server's folder at a glance.  The installed game's folder
# (OpenArena's paks and the community volume of Debian's openarena-oacmp1),
# plus the sample's package and three maps of the volume packed at run time
# by the command line: 14 packages checked by one `mapcrate --check` run,
# side by side with checking the same packages one by one, in turns.
# Targets: the folder run at most 0.6 times the one-by-one time, and at
# most 2 s on a 2-core machine; its peak memory at most 512 MiB.
# Usage: bench/check_folder.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (5 by default).
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/build.sh
bench_program "${1:-}"
need_packages time

runs=${RUNS:-5}
oacmp_author
extra=()
for map in oacmpdm1 oacmpdm3 oacmpctf3; do
  # The levelshots are TGAs: the run is told so, and goes on.
  (cd "$tmp" && "$program" --textures "$G/textures" --bsp "$G/maps/$map.bsp" \
    --aas "$G/maps/$map.aas" --levelshot "$G/levelshots/$map.tga" --name "$map" \
    --description Bench --modes ffa --game "$game" --yes --quiet >/dev/null 2>&1)
  extra+=("$tmp/$map.pk3")
done
sample=$(realpath samples/crateyard)
[ -f "$sample/levelshots/crateyard.jpg" ] || python3 samples/make_sample.py >/dev/null
(cd "$tmp" && "$program" --textures "$sample/textures" --bsp "$sample/maps/crateyard.bsp" \
  --aas "$sample/maps/crateyard.aas" --levelshot "$sample/levelshots/crateyard.jpg" \
  --name crateyard --description Sample --modes ffa --game "$game" --yes --quiet >/dev/null 2>&1)
extra+=("$tmp/crateyard.pk3")

packages=("$game"/*.pk3 "${extra[@]}")
echo "${#packages[@]} packages, $(du -cm "${packages[@]}" | tail -n 1 | cut -f1) MB"
status=0
"$program" --check "$game" "${extra[@]}" --quiet --json >"$tmp/folder.json" || status=$?
python3 - "$tmp/folder.json" "$status" <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1])]
print("--- one JSON line per package: %d, exit status %s" % (len(lines), sys.argv[2]))
for l in lines:
    print("  %-28s %-10s %d map(s), %d missing" % (l["package"].rsplit("/", 1)[-1], l["status"],
                                                  len(l.get("maps", [])), len(l.get("missing", []))))
PY

# Wall-clock seconds and peak resident KiB of a command.
folder_run() {
  /usr/bin/time -f '%e %M' -o "$tmp/time" "$program" --check "$game" "${extra[@]}" \
    >/dev/null 2>&1 || true
  tail -n 1 "$tmp/time"
}
one_by_one() {
  local start end
  start=$(date +%s.%N)
  for p in "${packages[@]}"; do "$program" --check "$p" --game "$game" >/dev/null 2>&1 || true; done
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }'
}
folders=() peaks=() singles=()
for _ in $(seq "$runs"); do
  read -r wall peak < <(folder_run)
  folders+=("$wall") peaks+=("$peak")
  singles+=("$(one_by_one)")
done
python3 - "${folders[*]}" "${peaks[*]}" "${singles[*]}" "$(nproc)" <<'PY'
import statistics, sys
folder = statistics.median(float(x) for x in sys.argv[1].split())
peak = max(int(x) for x in sys.argv[2].split()) / 1024
single = statistics.median(float(x) for x in sys.argv[3].split())
cores = int(sys.argv[4])
ratio = folder / single
def verdict(ok): return "met" if ok else "MISSED"
print("one by one: median %.3f s" % single)
print("the folder in one run: median %.3f s, %.2f of one by one (target <= 0.6): %s"
      % (folder, ratio, verdict(ratio <= 0.6)))
print("the folder in one run on %d cores: %.3f s (target <= 2 s on 2 cores): %s"
      % (cores, folder, verdict(folder <= 2.0)))
print("peak memory of the folder run: %.0f MiB (target <= 512 MiB): %s"
      % (peak, verdict(peak <= 512)))
PY
