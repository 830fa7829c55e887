"""Writes the sample map "crateyard" that the README packs, laid out as an
author's game folder.

Usage: make_sample.py [DIR]     (default: the crateyard folder beside this script)

DIR/maps/crateyard.bsp          a small compiled level (IBSP version 46: a lump
                                directory, entities with a target_speaker that
                                plays sound/crateyard/hum.wav, the shader names
                                textures/crateyard/<texture>, .../yard_glow and
                                .../yard_sky)
DIR/maps/crateyard.aas          its bot-navigation file (EAAS version 5, header
                                checksum matching the BSP)
DIR/levelshots/crateyard.jpg    the 128x128 24-bit baseline JPEG levelshot (drawn
                                here, encoded by cjpeg, from
                                Debian's libjpeg-turbo-progs)
DIR/textures/crateyard/         four 64x64 24-bit TGA textures the level uses, and
                                crate_rusty.tga, which it does not use
DIR/env/crateyard/              the sky box yard_rt/_bk/_lf/_ft/_up/_dn.tga (16x16)
DIR/sound/crateyard/hum.wav     a quarter second of hum (8-bit mono WAV)
DIR/scripts/crateyard.shader    the shaders yard_glow, drawn from yard_floor.tga,
                                and yard_sky, whose box lies in env/crateyard/
Everything is deterministic, so a second run writes the same files.
"""
import os
import random
import struct
import math
import subprocess
import sys
import wave

LUMPS = 17
TEXTURES = ("crate_metal", "crate_wood", "yard_floor", "yard_wall")


def bsp_bytes(rng):
    entities = (
        b'{\n"classname" "worldspawn"\n"message" "Crate Yard"\n"music" ""\n}\n'
        b'{\n"classname" "info_player_deathmatch"\n"origin" "0 0 24"\n"angle" "90"\n}\n'
        b'{\n"classname" "info_player_deathmatch"\n"origin" "512 256 24"\n"angle" "180"\n}\n'
        b'{\n"classname" "item_armor_shard"\n"origin" "256 128 16"\n}\n'
        b'{\n"classname" "weapon_shotgun"\n"origin" "-256 64 16"\n}\n'
        b'{\n"classname" "target_speaker"\n"origin" "256 256 64"\n'
        b'"noise" "sound/crateyard/hum.wav"\n"spawnflags" "1"\n}\n\x00'
    )
    shaders = b"".join(struct.pack("<64sii", ("textures/crateyard/" + name).encode(), 0, 1)
                       for name in TEXTURES + ("yard_glow", "yard_sky"))
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


def md4(data):
    """MD4 (RFC 1320); hashlib lacks it under OpenSSL 3."""
    def rol(x, n):
        return ((x << n) | (x >> (32 - n))) & 0xFFFFFFFF
    msg = data + b"\x80" + bytes(-(len(data) + 9) % 64) + struct.pack("<Q", len(data) * 8)
    h = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]
    for at in range(0, len(msg), 64):
        x = struct.unpack("<16I", msg[at:at + 64])
        a, b, c, d = h
        for i in range(16):
            k, s = i, (3, 7, 11, 19)[i % 4]
            a, b, c, d = d, rol((a + ((b & c) | (~b & d)) + x[k]) & 0xFFFFFFFF, s), b, c
        for i in range(16):
            k, s = (i % 4) * 4 + i // 4, (3, 5, 9, 13)[i % 4]
            a, b, c, d = d, rol((a + ((b & c) | (b & d) | (c & d)) + x[k] + 0x5A827999)
                                & 0xFFFFFFFF, s), b, c
        for i in range(16):
            k, s = (0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15)[i], (3, 9, 11, 15)[i % 4]
            a, b, c, d = d, rol((a + (b ^ c ^ d) + x[k] + 0x6ED9EBA1) & 0xFFFFFFFF, s), b, c
        h = [(v + w) & 0xFFFFFFFF for v, w in zip(h, (a, b, c, d))]
    return struct.pack("<4I", *h)


def bsp_checksum(bsp):
    """The game's checksum of a level: its MD4 digest's four words XORed, signed."""
    a, b, c, d = struct.unpack("<4I", md4(bsp))
    return struct.unpack("<i", struct.pack("<I", a ^ b ^ c ^ d))[0]


def aas_bytes(rng, bsp):
    areas = b"".join(struct.pack("<6f2i", *(rng.uniform(-1024, 1024) for _ in range(6)),
                                 rng.randrange(8), rng.randrange(64)) for _ in range(128))
    # 14 lumps after the checksum; only the areas (lump 7) hold anything.
    lumps = [(124, 0)] * 7 + [(124, len(areas))] + [(124 + len(areas), 0)] * 6
    header = struct.pack("<i", bsp_checksum(bsp)) + b"".join(struct.pack("<ii", *l) for l in lumps)
    # Version 5 stores these 116 bytes scrambled.
    header = bytes(byte ^ ((i * 119) & 0xFF) for i, byte in enumerate(header))
    return b"EAAS" + struct.pack("<i", 5) + header + areas


SHADER = """// The yard's lamps: the floor's tiles, lit from below.
textures/crateyard/yard_glow
{
	qer_editorimage textures/crateyard/yard_floor.tga
	surfaceparm nomarks
	q3map_surfacelight 200
	{
		map textures/crateyard/yard_floor.tga
		rgbGen identity
	}
	{
		map $lightmap
		blendFunc GL_DST_COLOR GL_ZERO
	}
}

// The sky over the yard: a box of six images in env/crateyard/.
textures/crateyard/yard_sky
{
	qer_editorimage env/crateyard/yard_ft.tga
	surfaceparm sky
	surfaceparm noimpact
	surfaceparm nolightmap
	skyParms env/crateyard/yard 512 -
}
"""


def tga_bytes(pixel, side=64):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, side, side, 24, 0)
    return header + b"".join(bytes(pixel(x, y)) for y in range(side) for x in range(side))


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


def rust(x, y):
    return (40, 70 + (x * y) % 30, 150 + (x + 3 * y) % 40)


def sky(x, y):
    return (230, 170 + y * 2, 120 + y * 4)


def write_hum(path):
    """A quarter second of a 110 Hz hum, 8-bit mono at 11025 Hz."""
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(1)
        w.setframerate(11025)
        w.writeframes(bytes(128 + int(60 * math.sin(2 * math.pi * 110 * i / 11025))
                            for i in range(11025 // 4)))


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
    for folder in ("maps", "levelshots", "textures/crateyard", "scripts", "env/crateyard",
                   "sound/crateyard"):
        os.makedirs(os.path.join(out, folder), exist_ok=True)
    bsp = bsp_bytes(rng)
    with open(os.path.join(out, "maps", "crateyard.bsp"), "wb") as f:
        f.write(bsp)
    with open(os.path.join(out, "maps", "crateyard.aas"), "wb") as f:
        f.write(aas_bytes(rng, bsp))
    for name, pixel in zip(TEXTURES, (metal, wood, floor, wall)):
        with open(os.path.join(out, "textures", "crateyard", name + ".tga"), "wb") as f:
            f.write(tga_bytes(pixel))
    with open(os.path.join(out, "textures", "crateyard", "crate_rusty.tga"), "wb") as f:
        f.write(tga_bytes(rust))
    for side in ("rt", "bk", "lf", "ft", "up", "dn"):
        with open(os.path.join(out, "env", "crateyard", "yard_%s.tga" % side), "wb") as f:
            f.write(tga_bytes(sky, 16))
    write_hum(os.path.join(out, "sound", "crateyard", "hum.wav"))
    with open(os.path.join(out, "scripts", "crateyard.shader"), "w", newline="\n") as f:
        f.write(SHADER)
    with open(os.path.join(out, "levelshots", "crateyard.jpg"), "wb") as f:
        subprocess.run(["cjpeg", "-quality", "90"], input=levelshot_ppm(), stdout=f, check=True)


if __name__ == "__main__":
    main()
