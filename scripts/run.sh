#!/usr/bin/env bash
# Builds Mapcrate and opens its window in the working folder work/, which
# holds the banner and a sample map to pack.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh build
mkdir -p work
cp data/mapc.png work/ 2>/dev/null || true
cd work
exec ../build/mapcrate
