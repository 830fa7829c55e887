#!/usr/bin/env bash
# Retakes docs/window.png and docs/written.png: the built window under
# xvfb-run, in a folder holding the banner, captured with ImageMagick's
# import; then the sample map packed through it, and the written package's
# dialog captured.
# Usage: scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}

if ! command -v import >/dev/null || ! command -v xdotool >/dev/null || ! command -v xvfb-run >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends imagemagick xdotool xvfb xauth >/dev/null
fi
[ -x "$build/mapcrate" ] || bash scripts/setup.sh "$build"
[ -f data/mapc.png ] || python3 data/make_banner.py

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp data/mapc.png "$work/"
mkdir -p docs
cp -r samples/crateyard "$work/sample"
# Inside the server: start the program, wait for its window, move the
# pointer out of the way, capture; type the sample's form, Execute, wait
# for the written package's dialog (untitled, as the messages are; no
# game, so no question), capture it, and end the program.
MAPCRATE_GAME_DIR='' xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  (cd "$1" && exec "$2" >/dev/null 2>&1) &
  program=$!
  trap "kill $program 2>/dev/null || true" EXIT
  shown() { xdotool search --maxdepth 1 --onlyvisible "$@" || true; }
  window=$(shown --sync --name "^Mapcrate v0\.1$" | head -n1)
  xdotool mousemove 1000 750
  sleep 1
  import -window "$window" "$3"
  xdotool windowfocus --sync "$window"
  for text in "$1/sample/textures" "$1/sample/maps/crateyard.bsp" "$1/sample/maps/crateyard.aas" \
    "$1/sample/levelshots/crateyard.jpg" crateyard "Crate Yard"; do
    xdotool type --delay 0 "$text"
    xdotool key Tab
  done
  # The four browse buttons, then FFA and Tourney among the modes.
  for widget in URL URL URL URL FFA TDM CTF Single Tourney; do
    case $widget in FFA | Tourney) xdotool key space Tab ;; *) xdotool key Tab ;; esac
  done
  xdotool key alt+e
  for _ in $(seq 600); do
    for d in $(shown --class "^mapcrate$"); do
      [ "$d" != "$window" ] && [ -z "$(xdotool getwindowname "$d")" ] && dialog=$d
    done
    [ -n "${dialog:-}" ] && break
    sleep 0.1
  done
  [ -n "${dialog:-}" ] || { echo "no written package dialog" >&2; exit 1; }
  sleep 1
  import -window "$dialog" "$4"' _ "$work" "$root/$build/mapcrate" docs/window.png docs/written.png
echo "wrote docs/window.png and docs/written.png"
