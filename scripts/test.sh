#!/usr/bin/env bash
# Builds Mapcrate twice (with AddressSanitizer and UBSan, then plain) and
# runs every test in both builds.  Needs no display: the window tests
# start their own X server.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh build-asan -DMAPCRATE_SANITIZE=ON
(cd build-asan && ctest --output-on-failure -j2)

bash scripts/setup.sh build
cd build && ctest --output-on-failure -j2
