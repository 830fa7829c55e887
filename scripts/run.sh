#!/usr/bin/env bash
# Builds Mapcrate and opens its window in the working folder work/, which
# holds the banner and the sample map "crateyard" (in work/sample/) to pack.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh build
# The sample is committed; it is drawn again only if its levelshot is gone.
if [ ! -f samples/crateyard/levelshots/crateyard.jpg ]; then
  python3 samples/make_sample.py
fi
mkdir -p work/sample
cp data/mapc.png work/ 2>/dev/null || echo "no data/mapc.png: the window shows a placeholder" >&2
cp -R samples/crateyard/. work/sample/
cd work
exec ../build/mapcrate
