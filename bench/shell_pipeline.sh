# Sourced by the benchmarks: what Execute stands for, done by hand in the
# working directory (one cp per file, then zip -9 -X -q).  Needs $corpus.
shell_pipeline() {
  mkdir maps textures scripts
  for t in "$corpus"/textures/*; do cp "$t" textures/; done
  cp "$corpus/level.bsp" maps/bench.bsp
  printf '{\r\nmap "bench"\r\nbots "phobos"\r\nlongname "Bench map"\r\nfraglimit 20\r\ntimelimit 60\r\ntype "ffa "\r\n}\r\n' \
    >scripts/bench.arena
  printf 'pk3 creer avec Mapcrate v0.1\r\n' >mapcrate
  zip -9 -X -q bench.pk3 textures/* maps/* scripts/* mapcrate
}
