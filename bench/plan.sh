#!/usr/bin/env bash
# Benchmark: the reading that planning a complete package adds (the entity
# lump, the models, the game's archive directories and shader scripts), on
# oacmpctf3 from Debian's openarena-oacmp1 with OpenArena's pak files, and
# Execute side by side with Execute before the plan (commit 6ccf522, built
# in a folder of its own), on the same author's game folder.
# Usage: bench/plan.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (3 by default); the medians are compared.
set -euo pipefail
echo "cores: $(nproc), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$(dirname "$0")/.."
root=$PWD
game=/usr/share/games/openarena/baseoa
release=$game/z_oacmp-volume1-v3.pk3
source bench/build.sh
need_packages openarena-data openarena-oacmp1
bench_build "${1:-}" plan_bench execute_bench
log=$(mktemp /tmp/mapcrate-bench-build-XXXXXX.log)
runs=${RUNS:-3}

tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
trap 'rm -rf "$tmp" "$log"' EXIT
# Execute before the plan, from the same sources at that commit.
git archive 6ccf522 | tar -x -C "$tmp" --one-top-level=old
cmake -S "$tmp/old" -B "$tmp/old/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  >"$log" 2>&1 && cmake --build "$tmp/old/build" -j"$(nproc)" --target execute_bench >"$log" 2>&1 ||
  { cat "$log"; exit 1; }

# The author's game folder: the map pack's files as the release holds them,
# and the level under the name execute_bench takes.
author=$tmp/author
mkdir -p "$author" && (cd "$author" && unzip -q "$release")
ln -s maps/oacmpctf3.bsp "$author/level.bsp"

read -r with planned owned missing entries < <("$build/plan_bench" "$author/textures" "$author/level.bsp" 5 2>&1)
read -r without _ < <(MAPCRATE_GAME_DIR= "$build/plan_bench" "$author/textures" "$author/level.bsp" 5 2>&1)
echo "plan of oacmpctf3 with the game's files: ${with}s ($entries entries in $game/pak*.pk3;" \
  "$planned files planned, $owned left out, $missing missing); without them: ${without}s"

new=() old=()
for i in $(seq "$runs"); do
  for which in new old; do
    rm -rf "$tmp/work" && mkdir "$tmp/work"
    bin=$build/execute_bench
    [ "$which" = old ] && bin=$tmp/old/build/execute_bench
    read -r secs _ < <(timeout 300 xvfb-run -a "$bin" "$author" "$tmp/work" 2>&1 >/dev/null | tail -n 1)
    n=$(python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' "$tmp/work/bench.pk3")
    [ "$which" = new ] && new+=("$secs") || old+=("$secs")
    echo "run $i: Execute $which ${secs}s, $n entries"
  done
done

python3 - "$with" "$without" "${new[*]}" "${old[*]}" <<'PY'
import statistics, sys
added = float(sys.argv[1]) - float(sys.argv[2])
new = statistics.median(float(x) for x in sys.argv[3].split())
old = statistics.median(float(x) for x in sys.argv[4].split())
print("reading added by the game's files: %.3f s (target <= 0.3 s): %s"
      % (added, "met" if added <= 0.3 else "MISSED"))
print("median Execute %.3f s, before the plan %.3f s" % (new, old))
PY
