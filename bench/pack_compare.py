"""Times mapcrate-pack against Info-ZIP zip on the same files.

Usage: pack_compare.py PACKER CORPUS_DIR [RUNS]
Runs `PACKER -o -9 out.pk3 FILES` and `zip -9 -X -q out.zip FILES` in
CORPUS_DIR, alternately, RUNS times each (5 by default), and prints the
median wall times, their ratio, the archive sizes and the packer's peak
RSS, each next to its target.  For reference it also times zlib alone
with the packer's deflate settings on the same files.
"""
import os
import statistics
import subprocess
import sys
import time
import zlib


def run(cmd, cwd):
    start = time.perf_counter()
    if subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL).returncode != 0:
        sys.exit("failed: %s" % " ".join(cmd[:4]))
    return time.perf_counter() - start


def peak_rss_kib(cmd, cwd):
    # Measured by /usr/bin/time: a child forked from Python would carry
    # Python's own peak into its figure.
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, cwd=cwd,
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return int(out.stderr.strip().splitlines()[-1])


def zlib_alone(files, cwd):
    """Seconds zlib takes for the same deflate settings, without any zip."""
    start = time.perf_counter()
    for name in files:
        z = zlib.compressobj(9, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY)
        with open(os.path.join(cwd, name), "rb") as f:
            while chunk := f.read(16384):
                z.compress(chunk)
        z.flush()
    return time.perf_counter() - start


def main():
    packer, corpus = os.path.abspath(sys.argv[1]), sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    textures = sorted(os.listdir(os.path.join(corpus, "textures")))
    files = ["level.bsp"] + ["textures/" + t for t in textures]
    pack_cmd = [packer, "-o", "-9", "out.pk3"] + files
    zip_cmd = ["zip", "-9", "-X", "-q", "out.zip"] + files

    pack_times, zip_times, zlib_times = [], [], []
    for _ in range(runs):
        pack_times.append(run(pack_cmd, corpus))
        # zip would update an existing archive instead of writing a new one.
        if os.path.exists(os.path.join(corpus, "out.zip")):
            os.unlink(os.path.join(corpus, "out.zip"))
        zip_times.append(run(zip_cmd, corpus))
        zlib_times.append(zlib_alone(files, corpus))
    rss = peak_rss_kib(pack_cmd, corpus)

    pack_med, zip_med = statistics.median(pack_times), statistics.median(zip_times)
    pack_size = os.path.getsize(os.path.join(corpus, "out.pk3"))
    zip_size = os.path.getsize(os.path.join(corpus, "out.zip"))
    time_ratio, size_ratio = pack_med / zip_med, pack_size / zip_size
    rss_mib = rss / 1024

    def verdict(ok):
        return "met" if ok else "MISSED"

    print("files: %d, input bytes: %d, runs: %d each" % (
        len(files), sum(os.path.getsize(os.path.join(corpus, f)) for f in files), runs))
    print("%-28s %14s %14s" % ("", "mapcrate-pack -o -9", "zip -9 -X -q"))
    print("%-28s %14.3f %14.3f" % ("median wall time (s)", pack_med, zip_med))
    print("%-28s %14d %14d" % ("archive size (bytes)", pack_size, zip_size))
    print("%-28s %14.3f   (ratio to zip %.3f: the floor for the packer)" % (
        "zlib alone, same settings", statistics.median(zlib_times),
        statistics.median(zlib_times) / zip_med))
    print("time ratio  %.3f   (target <= 0.85)   %s" % (time_ratio, verdict(time_ratio <= 0.85)))
    print("size ratio  %.4f  (target within 0.5%%: 0.995..1.005)   %s" % (
        size_ratio, verdict(abs(size_ratio - 1) <= 0.005)))
    print("peak RSS    %.1f MiB  (target <= 16 MiB)   %s" % (rss_mib, verdict(rss_mib <= 16)))


if __name__ == "__main__":
    main()
