# Sourced by the bench scripts, from the checkout's root.
# bench_build DIR TARGET...: builds the targets in DIR, or, with DIR empty,
# sets up and builds build-bench first; sets build to the folder used.  The
# build's output is shown only when it fails.
source scripts/need_packages.sh

bench_build() {
  local dir=$1 log
  shift
  log=$(mktemp /tmp/mapcrate-bench-build-XXXXXX.log)
  build=${dir:-build-bench}
  if [ -z "$dir" ]; then
    bash scripts/setup.sh "$build" >"$log" 2>&1 || { cat "$log"; rm -f "$log"; exit 1; }
  fi
  cmake --build "$build" --target "$@" >"$log" 2>&1 || { cat "$log"; rm -f "$log"; exit 1; }
  rm -f "$log"
}

# bench_program DIR: the machine's cores and load, then mapcrate built as
# bench_build builds it; sets program to its absolute path.
bench_program() {
  echo "cores: $(nproc), load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  bench_build "$1" mapcrate
  program=$(realpath "$build/mapcrate")
}

# oacmp_author: the community volume of Debian's openarena-oacmp1 unzipped
# as its author keeps it, in $G under a temporary folder $tmp removed at
# exit; sets game (OpenArena's own paks) and volume (the package).
oacmp_author() {
  need_packages openarena-data openarena-oacmp1
  game=/usr/share/games/openarena/baseoa
  volume=$(dpkg -L openarena-oacmp1 | grep '/baseoa/.*\.pk3$' | head -n 1)
  tmp=$(mktemp -d /tmp/mapcrate-bench-XXXXXX)
  trap 'rm -rf "$tmp"' EXIT
  G=$tmp/G
  unzip -q "$volume" -d "$G"
}
