"""Writes the benchmark corpus into a folder.

Usage: make_corpus.py DIR
DIR/level.bsp: 64 MiB of level-like data behind a compiled level's header
(so that Execute asks nothing), alternating stretches of repetitive
structures, noisy floats and random bytes (mixed compressibility).  DIR/textures/: 500 files of 2 to 40 KiB.
"""
import array
import os
import random
import struct
import sys


def level_chunk(rng, size):
    kind = rng.randrange(3)
    if kind == 0:  # repetitive records, like lumps of brush data
        rec = struct.pack("<6f2i", *[rng.uniform(-4096, 4096) for _ in range(6)],
                          rng.randrange(64), rng.randrange(1024))
        return (rec * (size // len(rec) + 1))[:size]
    if kind == 1:  # noisy vertex floats, partly compressible
        gauss = rng.gauss
        floats = array.array("f", [round(gauss(0, 512), 1) for _ in range(size // 4)])
        if sys.byteorder != "little":
            floats.byteswap()
        return floats.tobytes()
    return rng.randbytes(size)  # lightmap-like noise


def main():
    out = sys.argv[1]
    rng = random.Random(1234)
    os.makedirs(os.path.join(out, "textures"), exist_ok=True)
    with open(os.path.join(out, "level.bsp"), "wb") as f:
        header = b"IBSP" + struct.pack("<i", 46) + bytes(17 * 8)  # every lump empty
        f.write(header)
        left = (64 << 20) - len(header)
        while left > 0:
            n = min(left, rng.randrange(16 << 10, 256 << 10))
            f.write(level_chunk(rng, n))
            left -= n
    for i in range(500):
        size = rng.randrange(2 << 10, 40 << 10)
        half = rng.randbytes(size // 2)
        body = (half + bytes(size - len(half)))  # half noise, half padding
        with open(os.path.join(out, "textures", "tex%03d.tga" % i), "wb") as f:
            f.write(body)


if __name__ == "__main__":
    main()
