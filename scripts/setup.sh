#!/usr/bin/env bash
# Installs what Mapcrate needs from Debian's packages (only when something
# is missing) and builds it.
# Usage: scripts/setup.sh [BUILD_DIR [CMAKE_ARGS...]]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake make pkg-config
  libgtk2.0-dev libminizip-dev zlib1g-dev libgtest-dev
  libdeflate-dev nettle-dev libjpeg62-turbo-dev nlohmann-json3-dev
  xvfb xauth xdotool fonts-dejavu-core
  unzip zip python3 p7zip-full libarchive-tools
  desktop-file-utils dpkg-dev file groff-base libglib2.0-bin libjpeg-turbo-progs netpbm
  gettext locales
)

source scripts/need_packages.sh
need_packages "${packages[@]}"

build=${1:-build}
shift || true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
