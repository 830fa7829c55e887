#!/usr/bin/env bash
# Benchmark: what reading the player's other pk3s adds to planning.  Plans
# oacmpctf3 from Debian's openarena-oacmp1 over OpenArena's pak files, in a
# game folder without other pk3s and in one with 50 map packages (25 there,
# 25 in the player's home folder), side by side in one run.  Then checks,
# with the map pack's volume in the game folder, that the files of a
# textures folder edited after the volume are each reported as a conflict,
# and nothing else.
# Usage: bench/conflicts.sh [BUILD_DIR]   (builds build-bench when none is given)
# RUNS=n sets the runs of each (5 by default); the medians are compared.
set -euo pipefail
echo "cores: $(nproc), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$(dirname "$0")/.."
game=/usr/share/games/openarena/baseoa
release=$game/z_oacmp-volume1-v3.pk3
source bench/build.sh
need_packages openarena-data openarena-oacmp1
bench_build "${1:-}" conflicts_bench
runs=${RUNS:-5}

tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
author=$tmp/author
mkdir -p "$author" && (cd "$author" && unzip -q "$release")
ln -s maps/oacmpctf3.bsp "$author/level.bsp"

# Game folders named as the game's, so that the home folder is searched too.
for which in plain full volume; do
  mkdir -p "$tmp/$which/baseoa" "$tmp/$which/home"
  ln -s "$game"/pak*.pk3 "$tmp/$which/baseoa/"
done
ln -s "$release" "$tmp/volume/baseoa/"
python3 - "$tmp/full/baseoa" "$tmp/full/home/.openarena/baseoa" <<'PY'
import os, random, sys, zipfile
random.seed(21)
os.makedirs(sys.argv[2], exist_ok=True)
for n in range(1, 51):
    name = "map%02d" % n
    folder = sys.argv[1 + n % 2]
    with zipfile.ZipFile(os.path.join(folder, name + ".pk3"), "w", zipfile.ZIP_DEFLATED,
                         compresslevel=1) as z:
        z.writestr("maps/%s.bsp" % name, random.randbytes(65536))
        z.writestr("maps/%s.aas" % name, random.randbytes(16384))
        z.writestr("levelshots/%s.jpg" % name, random.randbytes(8192))
        z.writestr("scripts/%s.arena" % name, '{ map "%s" type "ffa" }\n' % name)
        shaders = ""
        for t in range(200):
            z.writestr("textures/%s/tex%03d.tga" % (name, t), random.randbytes(2048))
            if t < 40:
                shaders += ("textures/%s/s%03d\n{\n\tqer_editorimage textures/%s/tex%03d.tga\n"
                            "\t{\n\t\tmap textures/%s/tex%03d.tga\n\t}\n\t{\n\t\tmap $lightmap\n"
                            "\t\tblendfunc filter\n\t}\n}\n") % (name, t, name, t, name, t)
        z.writestr("scripts/%s.shader" % name, shaders)
        for s in range(5):
            z.writestr("sound/%s/s%d.wav" % (name, s), random.randbytes(4096))
PY

plan() { # plan GAME_FOLDER: seconds, files, other pk3s, lines
  HOME=$tmp/$1/home "$build/conflicts_bench" "$tmp/$1/baseoa" "$author/textures" \
    "$author/level.bsp" 5 2>&1 >/dev/null
}
plain=() full=()
for i in $(seq "$runs"); do
  read -r secs files _ _ < <(plan plain)
  plain+=("$secs")
  read -r secs2 _ others lines < <(plan full)
  full+=("$secs2")
  echo "run $i: plan without other pk3s ${secs}s, with $others other pk3s ${secs2}s" \
    "($files files planned, $lines conflict lines)"
done
python3 - "${plain[*]}" "${full[*]}" <<'PY'
import statistics, sys
plain = statistics.median(float(x) for x in sys.argv[1].split())
full = statistics.median(float(x) for x in sys.argv[2].split())
added = full - plain
print("median plan: %.3f s without other pk3s, %.3f s with 50" % (plain, full))
print("reading added by 50 other pk3s: %.3f s (target <= 0.2 s): %s"
      % (added, "met" if added <= 0.2 else "MISSED"))
PY

# The volume beside the game: the textures folder as released is no
# conflict; three of its planned textures edited are three.
HOME=$tmp/volume/home "$build/conflicts_bench" "$tmp/volume/baseoa" "$author/textures" \
  "$author/level.bsp" 1 >"$tmp/released.txt" 2>/dev/null
edited=$(grep -P '^file\ttextures/' "$tmp/released.txt" | head -n 3 | cut -f2)
for path in $edited; do
  printf 'edited' >>"$author/$path"
done
HOME=$tmp/volume/home "$build/conflicts_bench" "$tmp/volume/baseoa" "$author/textures" \
  "$author/level.bsp" 1 >"$tmp/edited.txt" 2>/dev/null
expected=$(for path in $edited; do
  echo "Conflit : $path existe aussi dans $tmp/volume/baseoa/$(basename "$release"), avec un" \
    "autre contenu ; le jeu prendra celui de ce pk3"
done)
got=$(grep -P '^line\t' "$tmp/edited.txt" | cut -f2- || true)
before=$(grep -cP '^line\t' "$tmp/released.txt" || true)
echo "with the volume in the game folder: $before conflict lines as released;" \
  "$(echo "$got" | grep -c . || true) with $(echo "$edited" | wc -w) textures edited:" \
  "$([ "$before" = 0 ] && [ "$got" = "$expected" ] && echo met || echo MISSED)"
[ "$got" = "$expected" ] || echo "$got"
