#!/usr/bin/env bash
# Builds Mapcrate twice (with AddressSanitizer and UBSan, then plain) and
# runs every test in both builds.  Needs no display: whatever opens a
# window runs under xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."

# The game's dedicated server, for the tests of --verify (it brings the
# game's data, about 440 MB), and a volume of community maps that the
# recorded outputs --check; the game's client and an X server for it, for
# the tests of --make-levelshot.
source scripts/need_packages.sh
need_packages openarena-server openarena-oacmp1 openarena xvfb

# The English texts are tested under en_US.UTF-8, which a clean machine lacks.
need_packages locales
if ! locale -a | grep -qx 'en_US\.utf8'; then
  sed -i 's/^# *\(en_US\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi

bash scripts/setup.sh build-asan -DMAPCRATE_SANITIZE=ON
(cd build-asan && ctest --output-on-failure -j2)

bash scripts/setup.sh build
cd build && ctest --output-on-failure -j2
