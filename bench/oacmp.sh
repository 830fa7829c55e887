#!/usr/bin/env bash
# Measures the 13 community maps' packages in the game: packed through Mapcrate's window from an
# author's game folder, read with the game's own archives, and loaded in the game client.
# Usage:
#   bench/oacmp.sh release                 the release package (the reference)
#   bench/oacmp.sh window LABEL PROGRAM    packs each map through PROGRAM's window, then measures
#   bench/oacmp.sh table LABEL             prints the table of a measured run
#   bench/oacmp.sh cli LABEL PROGRAM WLABEL  packs each map with PROGRAM's command line, no display,
#                                          each in a fresh folder, and compares with run WLABEL
#   bench/oacmp.sh unread LABEL PROGRAM     packs each map with PROGRAM's command line and counts
#                                          the scripts and images the engine would not read
# Installs what it needs when missing: Debian's openarena, openarena-oacmp1, xvfb, xdotool and
# libjpeg-turbo-progs (cjpeg).
# OACMP_OUT (default work/oacmp in the checkout) holds the author's folder G (mapsrc/) and one
# folder per run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(realpath -m "${OACMP_OUT:-$here/../work/oacmp}")
share=/usr/share/games/openarena/baseoa
lib=/usr/lib/openarena/baseoa
release=$share/z_oacmp-volume1-v3.pk3
G=$out/mapsrc
maps=(oacmpctf1 oacmpctf2 oacmpctf3 oacmpdm1 oacmpdm2 oacmpdm3 oacmpdm4 oacmpdm5 oacmpdm6 oacmpdm7
      oacmpdm8 oacmpdm9 oacmpdm10)

source "$here/../scripts/need_packages.sh"
need_packages openarena openarena-oacmp1 xvfb xauth xdotool libjpeg-turbo-progs

mkdir -p "$out"
[ -d "$G" ] || python3 "$here/oacmp_folder.py" "$share" "$release" "$G"
# The game's own noise: warnings it gives on one of its own maps, with no package.
[ -f "$out/noise.json" ] ||
    python3 "$here/oacmp_client.py" "$lib" aggressor - "$out/noise.log" >"$out/noise.json"

measure() { # DIR MAP PACKAGE
    python3 "$here/oacmp_check.py" check --game "$share" --release "$release" --map "$2" \
        --pk3 "$3" --json "$1/$2.json"
    python3 "$here/oacmp_client.py" "$lib" "$2" "$3" "$1/$2.client.log" >"$1/$2.client.json"
}

case ${1:-} in
release)
    dir=$out/release
    mkdir -p "$dir"
    for m in "${maps[@]}"; do measure "$dir" "$m" "$release"; done
    python3 "$here/oacmp_table.py" "$dir" "$dir" "$out/noise.json"
    ;;
window)
    dir=$out/$2
    rm -rf "$dir"
    mkdir -p "$dir/work"
    xvfb-run -a python3 "$here/oacmp_window.py" "$(realpath "$3")" "$G" "$dir/work" "${maps[@]}"
    for m in "${maps[@]}"; do measure "$dir" "$m" "$dir/work/$m/$m.pk3"; done
    python3 "$here/oacmp_table.py" "$dir" "$out/release" "$out/noise.json"
    ;;
cli)
    dir=$out/$2
    rm -rf "$dir"
    program=$(realpath "$3")
    for m in "${maps[@]}"; do
        mkdir -p "$dir/$m"
        status=0
        (cd "$dir/$m" && env -u DISPLAY "$program" --bsp "$G/maps/$m.bsp" --aas "$G/maps/$m.aas" \
            --levelshot "$G/levelshots/$m.jpg" --textures "$G/textures" --name "$m" \
            --description "$m" --modes ffa --yes >"../$m.out" 2>"../$m.err") || status=$?
        printf '%s: exit %s, ' "$m" "$status"
        python3 "$here/oacmp_same.py" "$out/$4/work/$m/$m.pk3" "$dir/$m/$m.pk3" || true
    done
    ;;
unread)
    dir=$out/$2
    rm -rf "$dir"
    mkdir -p "$dir"
    program=$(realpath "$3")
    for m in "${maps[@]}"; do
        mkdir -p "$dir/$m"
        (cd "$dir/$m" && env -u DISPLAY "$program" --bsp "$G/maps/$m.bsp" --aas "$G/maps/$m.aas" \
            --levelshot "$G/levelshots/$m.jpg" --textures "$G/textures" --name "$m" \
            --description "$m" --modes ffa --yes >"../$m.out" 2>"../$m.err") || true
        python3 "$here/oacmp_unread.py" "$share" "$m" "$dir/$m/$m.pk3"
    done | tee "$dir/unread.txt" | awk '{ s += $2; i += $3 }
        END { printf "%d maps: %d scripts and %d images the engine would not read\n", NR, s, i }'
    ;;
table)
    python3 "$here/oacmp_table.py" "$out/$2" "$out/release" "$out/noise.json"
    ;;
*)
    sed -n '2,12p' "$0"
    exit 2
    ;;
esac
