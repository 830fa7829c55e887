"""Writes the sample map "crateyard" that the README packs.

Usage: make_sample.py [DIR]     (default: the crateyard folder beside this script)

DIR/crateyard.bsp   a small compiled level (IBSP version 46 layout: a lump
                    directory, an entity lump and a few binary lumps)
DIR/crateyard.aas   its bot-navigation file (EAAS version 5 header and data)
DIR/levelshot.jpg   the 128x128 24-bit baseline JPEG levelshot (drawn here,
                    encoded by ImageMagick's convert)
DIR/textures/       four 64x64 24-bit TGA textures
Everything is deterministic, so a second run writes the same files.
"""
import os
import random
import struct
import subprocess
import sys

LUMPS = 17


def bsp_bytes(rng):
    entities = (
        b'{\n"classname" "worldspawn"\n"message" "Crate Yard"\n"music" ""\n}\n'
        b'{\n"classname" "info_player_deathmatch"\n"origin" "0 0 24"\n"angle" "90"\n}\n'
        b'{\n"classname" "info_player_deathmatch"\n"origin" "512 256 24"\n"angle" "180"\n}\n'
        b'{\n"classname" "item_armor_shard"\n"origin" "256 128 16"\n}\n'
        b'{\n"classname" "weapon_shotgun"\n"origin" "-256 64 16"\n}\n\x00'
    )
    shaders = b"".join(struct.pack("<64sii", name.encode(), 0, 1)
                       for name in ("textures/crate_wood", "textures/crate_metal",
                                    "textures/yard_floor", "textures/yard_wall"))
    planes = b"".join(struct.pack("<4f", *(rng.choice((-1.0, 0.0, 1.0)) for _ in range(3)),
                                  rng.randrange(-1024, 1024, 8)) for _ in range(96))
    verts = b"".join(struct.pack("<10f4B", *(rng.uniform(-1024, 1024) for _ in range(3)),
                                 *(rng.random() for _ in range(4)),
                                 *(rng.choice((-1.0, 0.0, 1.0)) for _ in range(3)),
                                 *(rng.randrange(256) for _ in range(4))) for _ in range(256))
    bodies = [entities, shaders, planes] + [b""] * 7 + [verts] + [b""] * 6
    offset = 8 + LUMPS * 8
    directory, data = b"", b""
    for body in bodies:
        directory += struct.pack("<ii", offset + len(data), len(body))
        data += body + bytes(-len(body) % 4)
    return b"IBSP" + struct.pack("<i", 46) + directory + data


def aas_bytes(rng):
    areas = b"".join(struct.pack("<6f2i", *(rng.uniform(-1024, 1024) for _ in range(6)),
                                 rng.randrange(8), rng.randrange(64)) for _ in range(128))
    return b"EAAS" + struct.pack("<ii", 5, 0x2A) + areas


def tga_bytes(pixel):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 64, 64, 24, 0)
    return header + b"".join(bytes(pixel(x, y)) for y in range(64) for x in range(64))


def wood(x, y):
    grain = (y * 7 + (x // 16) * 13) % 23
    edge = x % 32 < 3 or y % 64 < 3
    return (20, 40, 70) if edge else (40 + grain, 90 + grain * 2, 140 + grain * 2)


def metal(x, y):
    rivet = (x % 16 - 8) ** 2 + (y % 16 - 8) ** 2 < 5
    return (200, 200, 200) if rivet else (120 + (x + y) % 20,) * 3


def floor(x, y):
    return (90, 100, 105) if (x // 8 + y // 8) % 2 else (70, 78, 82)


def wall(x, y):
    mortar = y % 16 < 2 or (x + (y // 16) * 8) % 32 < 2
    return (180, 180, 170) if mortar else (60, 70, 150)


def levelshot_ppm():
    # Sky, a yard floor and three crates seen from a corner of the yard.
    rows = []
    for y in range(128):
        row = bytearray()
        for x in range(128):
            if y < 52:
                c = (110 + y, 150 + y, 230)
            else:
                c = (85, 90, 95) if ((x + 2 * y) // 12) % 2 else (70, 74, 78)
            for cx, cy, size in ((30, 70, 28), (70, 62, 22), (92, 80, 30)):
                if cx <= x < cx + size and cy <= y < cy + size:
                    border = min(x - cx, y - cy, cx + size - 1 - x, cy + size - 1 - y) < 2
                    c = (60, 40, 20) if border else (160, 110, 60)
            row += bytes(c)
        rows.append(bytes(row))
    return b"P6\n128 128\n255\n" + b"".join(rows)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(
        os.path.abspath(__file__)), "crateyard")
    rng = random.Random(46)
    os.makedirs(os.path.join(out, "textures"), exist_ok=True)
    with open(os.path.join(out, "crateyard.bsp"), "wb") as f:
        f.write(bsp_bytes(rng))
    with open(os.path.join(out, "crateyard.aas"), "wb") as f:
        f.write(aas_bytes(rng))
    for name, pixel in (("crate_wood", wood), ("crate_metal", metal),
                        ("yard_floor", floor), ("yard_wall", wall)):
        with open(os.path.join(out, "textures", name + ".tga"), "wb") as f:
            f.write(tga_bytes(pixel))
    subprocess.run(["convert", "ppm:-", "-strip", "-interlace", "none", "-type", "TrueColor",
                    "-quality", "90", "jpg:" + os.path.join(out, "levelshot.jpg")],
                   input=levelshot_ppm(), check=True)


if __name__ == "__main__":
    main()
