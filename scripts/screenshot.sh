#!/usr/bin/env bash
# Retakes docs/window.png: the built window under xvfb-run, in a folder
# holding the banner, captured with ImageMagick's import.
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
# Inside the server: start the program, wait for its window, move the
# pointer out of the way, capture, and end the program.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  (cd "$1" && exec "$2" >/dev/null 2>&1) &
  program=$!
  window=$(xdotool search --sync --name "^Mapcrate v0\.1$" | head -n1)
  xdotool mousemove 1000 750
  sleep 1
  import -window "$window" "$3"
  kill $program' _ "$work" "$root/$build/mapcrate" docs/window.png
echo "wrote docs/window.png"
