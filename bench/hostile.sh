#!/usr/bin/env bash
# Benchmark: the hostile packages (rows 1-7 of the bounds' table), each made
# small by bench/hostile_make.py, run once by the program and, when REF names
# another build of it (the commit before this work, say), by that one too,
# side by side.  Prints each row's wall-clock seconds and peak resident size
# beside its targets: at most 256 MiB each; rows 1, 3, 4, 6 within 20 s,
# row 2 within 90 s, row 5 within 5 s at 160,000 shaders and 60 s at 1.5 M,
# row 7 (--verify) within 120 s.  Every run stops at 150 s (SIGTERM, then
# SIGKILL 10 s later); the reference runs under a 4 GiB address limit too,
# so that it cannot take the machine down.  SKIP_VERIFY=1 leaves row 7 out.
# Usage: bench/hostile.sh [BUILD_DIR]   (builds build-bench when none is given)
#        INPUTS=dir keeps the inputs (about 40 MB) for the next run.
#        REF=path/to/old/mapcrate bench/hostile.sh build
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/build.sh
bench_program "${1:-}"
ref=${REF:+$(realpath "$REF")}

# INPUTS=dir keeps the inputs there, made once, for later runs.
if [ -n "${INPUTS:-}" ]; then
  tmp=$INPUTS
  [ -f "$tmp/row7.pk3" ] || python3 bench/hostile_make.py "$tmp" "${SHADERS_FULL:-1500000}"
else
  tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
  trap 'rm -rf "$tmp"' EXIT
  python3 bench/hostile_make.py "$tmp" "${SHADERS_FULL:-1500000}"
fi
game=$tmp/game/baseoa

# "SECONDS MIB STATUS" of one run: the status is the exit status, or
# "killed"/"timeout" for the reference's guarded runs.
run() { # LIMIT_KIB PROGRAM ARGS...
  local limit=$1 out status
  shift
  status=0
  out=$( (ulimit -v "$limit"; HOME=$home LC_ALL=C.UTF-8 timeout -k 10 150 \
    /usr/bin/time -f '%e %M %U %S' -o "$tmp/time" "$@" >/dev/null 2>&1) ) || status=$?
  [ "$status" = 124 ] || [ "$status" = 137 ] && status=timeout
  if [ -s "$tmp/time" ] && ! grep -q 'signal' "$tmp/time"; then
    awk -v s="$status" 'END { printf "%s %.0f %s %.2f\n", $1, $2 / 1024, s, $3 + $4 }' "$tmp/time"
  else
    echo "- - ${status/#1[0-9][0-9]/killed} -"
  fi
  rm -f "$tmp/time"
}

row() { # LABEL SECONDS_TARGET MIB_TARGET ARGS...
  local label=$1 target=$2 most=$3 secs mib status cpu line
  shift 3
  read -r secs mib status cpu < <(run unlimited "$program" "$@")
  line=$(awk -v l="$label" -v s="$secs" -v m="$mib" -v t="$target" -v x="$status" -v c="$cpu" -v most="$most" '
    BEGIN { ok = (s != "-" && s <= t && (most == "-" || m <= most)) ? "met" : "MISSED"
    printf "%-36s %6s s (%s s of processor) %5s MiB, exit %s; target <= %s s, <= %s MiB: %s",
           l, s, c, m, x, t, most, ok }')
  if [ -n "$ref" ]; then
    read -r secs mib status cpu < <(run $((4 << 20)) "$ref" "$@")
    line+=$(printf '; reference: %s s %s MiB (exit %s)' "$secs" "$mib" "$status")
  fi
  echo "$line"
}

# Only row 4 has the hostile pk3 in the player's home folder.
home=$tmp/nohome
mkdir -p "$home"
row "1: directory claims 2 GB" 20 256 --check "$tmp/row1.pk3" --game "$game"
row "2: 4 x 1 GiB of entity text" 90 256 --check "$tmp/row2.pk3" --game "$game"
row "3: 8 x 16 MiB scripts" 20 256 --check "$tmp/row3.pk3" --game "$game"
row "3: the same, 700,000 names" 20 256 --check "$tmp/row3d.pk3" --game "$game"
home=$tmp/home
row "4: row 3 in the home folder" 20 256 --bsp "$tmp/author/maps/r4.bsp" --name r4 \
  --game "$game" --modes ffa --dry-run
row "4: the same, --check of row 3" 20 256 --check "$tmp/row3.pk3" --game "$game"
row "4: row 3 of 700,000 names too" 20 256 --check "$tmp/row3d.pk3" --game "$game"
home=$tmp/nohome
row "5: 160,000 shaders, another pk3" 5 256 --check "$tmp/row5.pk3" \
  --game "$tmp/row5/baseoa"
row "5: ${SHADERS_FULL:-1500000} shaders, another pk3" 60 - --check \
  "$tmp/row5full.pk3" --game "$tmp/row5full/baseoa"
row "6: 64 MiB model, 40 entities" 20 256 --check "$tmp/row6.pk3" --game "$game"
if [ -n "${SKIP_VERIFY:-}" ]; then
  echo "7: 10,000 maps, --verify: not run (SKIP_VERIFY)"
elif PATH=$PATH:/usr/games command -v openarena-server >/dev/null; then
  row "7: 10,000 maps, --verify" 120 256 --check "$tmp/row7.pk3" --verify --game "$game"
else
  echo "7: 10,000 maps, --verify: no game server installed (openarena-server), not run"
fi
