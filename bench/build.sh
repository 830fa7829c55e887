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
