#!/usr/bin/env bash
# Installs what Mapcrate needs from Debian's packages (only when something
# is missing) and builds it.
# Usage: scripts/setup.sh [BUILD_DIR [CMAKE_ARGS...]]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake make pkg-config
  libgtk2.0-dev libminizip-dev zlib1g-dev libgtest-dev
  libdeflate-dev nettle-dev libjpeg62-turbo-dev
  xvfb xauth xdotool fonts-dejavu-core
  unzip zip python3
  desktop-file-utils dpkg-dev file groff-base libglib2.0-bin libjpeg-turbo-progs netpbm
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=${1:-build}
shift || true
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
