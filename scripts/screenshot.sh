#!/usr/bin/env bash
# Retakes docs/window.png: the built window under a private Xvfb, in a
# folder holding the banner, captured with ImageMagick's import.
# Usage: scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}

if ! command -v import >/dev/null || ! command -v xdotool >/dev/null || ! command -v Xvfb >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends imagemagick xdotool xvfb xauth >/dev/null
fi
[ -x "$build/mapcrate" ] || bash scripts/setup.sh "$build"
[ -f data/mapc.png ] || python3 data/make_banner.py

work=$(mktemp -d)
exec 3> "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $program $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s "$work/displayfd" ] && break
  sleep 0.1
done
export DISPLAY=:$(head -n1 "$work/displayfd")

cp data/mapc.png "$work/"
(cd "$work" && exec "$root/$build/mapcrate" >/dev/null 2>&1) &
program=$!
window=$(xdotool search --sync --name '^Mapcrate v0\.1$' | head -n1)
xdotool mousemove 1000 750
sleep 1
mkdir -p docs
import -window "$window" docs/window.png
echo "wrote docs/window.png"
