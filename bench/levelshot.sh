#!/usr/bin/env bash
# Benchmark: --make-levelshot on oacmpdm1, a real map of the community
# volume (Debian's openarena-oacmp1) packed from its author's folder, beside
# the game's client loading the same map alone (its own X server, a private
# home, the same settings, ended at its first frame of play), in one run.
# Then checks that no process and no folder of either is left.
# Usage: bench/levelshot.sh [BUILD_DIR]   (builds build-bench when none is given)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/build.sh
need_packages openarena xvfb
bench_program "${1:-}"
oacmp_author
map=oacmpdm1
# The private folders of mapcrate's run go here, to be seen removed.
shots=$tmp/tmp
mkdir -p "$shots" "$tmp/work"

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

start=$(seconds)
(cd "$tmp/work" && TMPDIR=$shots "$program" --make-levelshot --yes --quiet --name $map --modes ffa \
  --textures "$G/textures" --bsp "$G/maps/$map.bsp" --aas "$G/maps/$map.aas")
made=$(elapsed "$start" "$(seconds)")

# The map alone: the X server says its display on a pipe, the client quits at
# its first frame of play.
home=$(mktemp -d)
fifo=$tmp/display
mkfifo "$fifo"
start=$(seconds)
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xpid=$!
read -r display <"$fifo"
env DISPLAY=":$display" LIBGL_ALWAYS_SOFTWARE=1 /usr/lib/ioquake3/ioquake3 \
  +set com_basegame baseoa +set fs_basepath /usr/lib/openarena +set fs_homepath "$home" \
  +set s_initsound 0 +set net_enabled 0 +set sv_pure 0 +set com_introplayed 1 \
  +set com_buildScript 1 +set r_fullscreen 0 +set r_mode -1 +set r_customwidth 512 \
  +set r_customheight 384 +set cg_draw2D 0 +set activeAction quit \
  +setu team spectator +map $map </dev/null >/dev/null 2>&1
kill "$xpid"
wait "$xpid" || true
alone=$(elapsed "$start" "$(seconds)")
rm -rf "$home"

echo "map: $map ($(stat -c %s "$G/maps/$map.bsp") bytes of BSP)"
printf '%-40s %8s s\n' "mapcrate --make-levelshot (whole run)" "$made" \
  "client loading the map alone" "$alone"
echo "levelshot: $(file -b "$tmp/work/$map-levelshot.jpg" | cut -d, -f1,7-9)"
echo "author's folder: $(cd "$tmp/work" && echo *)"
left=$(ls -A "$shots")
echo "folders left by mapcrate: ${left:-none}"
# Whatever mapcrate started had its TMPDIR.
procs=$(grep -l -s -F "TMPDIR=$shots" /proc/[0-9]*/environ || true)
echo "processes left: ${procs:-none}"
[ -z "$left" ] && [ -z "$procs" ]
