#!/usr/bin/env bash
# Benchmark: planning against a game whose pak0.pk3, a few KiB, holds four
# scripts/*.shader that inflate to 16 MiB of one-word lines each (the most
# the plan reads of a script), then against OpenArena's own pak files.
# Reports the plan's time and the process's peak resident size.
# Usage: bench/big_scripts.sh [BUILD_DIR]   (builds build-bench when none is given)
set -euo pipefail
echo "cores: $(nproc), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$(dirname "$0")/.."
source bench/build.sh
bench_build "${1:-}" plan_bench

tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/game" "$tmp/author/textures/s" "$tmp/author/maps"
python3 - "$tmp" <<'PY'
import struct, sys, zipfile
tmp = sys.argv[1]
with zipfile.ZipFile(tmp + "/game/pak0.pk3", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for name in ("a", "b", "c", "d"):
        z.writestr("scripts/%s.shader" % name, b"w\n" * (8 << 20))
# A level naming one shader, so that the game's scripts are searched for it.
shaders = b"textures/s/wall".ljust(64, b"\0") + b"\0" * 8
header = b"IBSP" + struct.pack("<i", 46)
offset = 8 + 17 * 8
lumps = [(0, 0)] * 17
lumps[1] = (offset, len(shaders))
header += b"".join(struct.pack("<ii", o, n) for o, n in lumps)
open(tmp + "/author/maps/m.bsp", "wb").write(header + shaders)
PY
: >"$tmp/author/textures/s/wall.tga"
echo "pak0.pk3: $(stat -c %s "$tmp/game/pak0.pk3") bytes, 4 scripts of 16 MiB"

# Prints the plan's seconds, the peak resident size in MiB, the game's
# entries and the process's processor seconds (the machine may be shared).
measure() {
  local out
  out=$(MAPCRATE_GAME_DIR=$1 /usr/bin/time -v "$build/plan_bench" "$tmp/author/textures" \
    "$tmp/author/maps/m.bsp" 1 2>&1)
  awk '/^[0-9.]+ / { secs = $1; entries = $5 }
       /User time/ { user = $NF } /System time/ { sys = $NF }
       /Maximum resident set size/ { kib = $NF }
       END { printf "%s %.1f %s %.2f\n", secs, kib / 1024, entries, user + sys }' <<<"$out"
}

read -r secs mib entries cpu < <(measure "$tmp/game")
echo "big scripts: ${secs}s (${cpu}s of processor), peak ${mib} MiB ($entries entries)"
awk -v s="$secs" -v m="$mib" 'BEGIN {
  printf "target <= 2 s and <= 256 MiB: %s\n", (s <= 2 && m <= 256) ? "met" : "MISSED" }'

game=/usr/share/games/openarena/baseoa
if [ -f "$game/pak0.pk3" ]; then
  read -r secs mib entries _ < <(measure "$game")
  read -r none _ < <(measure "")
  echo "OpenArena's pak files: ${secs}s ($entries entries), without a game ${none}s, peak ${mib} MiB"
fi
