"""Times mapcrate-pack against zip on corpora, side by side.

Usage: pack_compare.py PACKER RUNS LABEL=DIR=TIME_TARGET [...]
In each corpus folder it runs `PACKER -o -9 out.pk3 FILES` and
`zip -9 -X -q out.zip FILES` (FILES: every file under DIR, sorted),
alternately, RUNS times each, and prints per corpus the median wall
times and their ratio, the archive sizes and their ratio, and the
packer's peak RSS, each beside its target.  Archives read back with
`unzip -t` before any figure is given.
"""
import os
import statistics
import subprocess
import sys
import time

SPLIT_ABOVE = 16 << 20  # the packer deflates larger files in pieces
RSS_TARGET_MIB = 64


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


def files_of(corpus):
    found = []
    for root, _, names in os.walk(corpus):
        for n in names:
            path = os.path.relpath(os.path.join(root, n), corpus)
            if path not in ("out.pk3", "out.zip"):
                found.append(path)
    return sorted(found)


def measure(packer, corpus, runs):
    files = files_of(corpus)
    pack_cmd = [packer, "-o", "-9", "out.pk3"] + files
    zip_cmd = ["zip", "-9", "-X", "-q", "out.zip"] + files
    pack_times, zip_times = [], []
    for _ in range(runs):
        pack_times.append(run(pack_cmd, corpus))
        # zip would update an existing archive instead of writing a new one.
        if os.path.exists(os.path.join(corpus, "out.zip")):
            os.unlink(os.path.join(corpus, "out.zip"))
        zip_times.append(run(zip_cmd, corpus))
    for archive in ("out.pk3", "out.zip"):
        if subprocess.run(["unzip", "-tq", archive], cwd=corpus,
                          stdout=subprocess.DEVNULL).returncode != 0:
            sys.exit("%s in %s does not read back" % (archive, corpus))
    sizes = [os.path.getsize(os.path.join(corpus, f)) for f in files]
    return {
        "files": len(files), "bytes": sum(sizes), "split": max(sizes) > SPLIT_ABOVE,
        "pack": statistics.median(pack_times), "zip": statistics.median(zip_times),
        "pack_size": os.path.getsize(os.path.join(corpus, "out.pk3")),
        "zip_size": os.path.getsize(os.path.join(corpus, "out.zip")),
        "rss": peak_rss_kib(pack_cmd, corpus) / 1024,
    }


def main():
    packer, runs = os.path.abspath(sys.argv[1]), int(sys.argv[2])
    corpora = [arg.split("=") for arg in sys.argv[3:]]
    print("cores: %d, load average before: %s" % (os.cpu_count(), open("/proc/loadavg").read().split()[0:3]))
    results = [measure(packer, d, runs) for _, d, _ in corpora]

    def verdict(ok):
        return "met" if ok else "MISSED"

    def line(title, cells):
        print("%-28s" % title + "".join("%-34s" % c for c in cells))

    line("", [label for label, _, _ in corpora])
    line("files, input MB", ["%d, %.1f" % (r["files"], r["bytes"] / 1e6) for r in results])
    line("zip -9 -X -q median s", ["%.3f" % r["zip"] for r in results])
    line("mapcrate-pack -o -9 med. s", ["%.3f" % r["pack"] for r in results])
    cells = []
    for r, (_, _, target) in zip(results, corpora):
        ratio = r["pack"] / r["zip"]
        cells.append("%.3f (<= %s) %s" % (ratio, target, verdict(ratio <= float(target))))
    line("time ratio", cells)
    line("zip archive bytes", ["%d" % r["zip_size"] for r in results])
    line("pk3 archive bytes", ["%d" % r["pack_size"] for r in results])
    cells = []
    for r in results:
        ratio, target = r["pack_size"] / r["zip_size"], 1.002 if r["split"] else 1.0
        cells.append("%.4f (<= %.3f) %s" % (ratio, target, verdict(ratio <= target)))
    line("size ratio", cells)
    line("packer peak RSS MiB", ["%.1f (<= %d) %s" % (r["rss"], RSS_TARGET_MIB,
                                                       verdict(r["rss"] <= RSS_TARGET_MIB))
                                 for r in results])
    print("runs: %d each, alternating; load average after: %s" % (
        runs, open("/proc/loadavg").read().split()[0:3]))


if __name__ == "__main__":
    main()
