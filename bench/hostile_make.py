"""Makes the hostile packages of the bounds benchmark in a folder: small
zips that claim or inflate to far more than they hold.  Overlapping entries
are several central-directory records pointing at one local entry.
Usage: hostile_make.py FOLDER [SHADERS_FULL]"""
import os
import struct
import sys
import zipfile
import zlib

out = sys.argv[1]
full = int(sys.argv[2]) if len(sys.argv) > 2 else 1500000


def level(entities_len):
    """The header of a level whose only lump, its entity text, follows."""
    header = b"IBSP" + struct.pack("<i", 46)
    offset = 8 + 17 * 8
    lumps = [(offset, 0)] * 17
    lumps[0] = (offset, entities_len)
    return header + b"".join(struct.pack("<ii", o, n) for o, n in lumps)


def deflated(pieces):
    """Deflates an iterable of byte strings: raw data, CRC, size."""
    z = zlib.compressobj(9, zlib.DEFLATED, -15)
    data, crc, size = [], 0, 0
    for p in pieces:
        crc = zlib.crc32(p, crc)
        size += len(p)
        data.append(z.compress(p))
    data.append(z.flush())
    return b"".join(data), crc, size


def overlapping(path, names, pieces):
    """A zip whose entries, one per name, all point at one local entry."""
    data, crc, size = deflated(pieces)
    assert len({len(n) for n in names}) == 1  # the library compares lengths
    first = names[0].encode()
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0x21, crc, len(data), size,
                        len(first), 0) + first
    central = b""
    for n in names:
        n = n.encode()
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0x21, crc,
                               len(data), size, len(n), 0, 0, 0, 0, 0, 0) + n
    body = local + data
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(names), len(names), len(central),
                      len(body), 0)
    with open(path, "wb") as f:
        f.write(body + central + end)


def repeat(unit, total):
    """unit repeated to exactly total bytes, a MiB at a time."""
    chunk = unit * ((1 << 20) // len(unit) + 1)
    left = total
    while left > 0:
        n = min(left, 1 << 20)
        yield chunk[:n]
        left -= n


def write_zip(path, entries):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            z.writestr(name, data)


os.makedirs(out + "/game/baseoa", exist_ok=True)
os.makedirs(out + "/home/.openarena/baseoa", exist_ok=True)
write_zip(out + "/game/baseoa/pak0.pk3", [("textures/base/floor.tga", b"T" * 18)])

# Row 1: a small zip whose directory claims entries of 2 GB, deflated into
# a few bytes each.
write_zip(out + "/row1.pk3", [("maps/r1.bsp", b"x"), ("scripts/r1.shader", b"x"),
                              ("models/r1.md3", b"x")])
raw = bytearray(open(out + "/row1.pk3", "rb").read())
# The compressed size, in every directory record and local header.
for signature, field in ((b"PK\x01\x02", 20), (b"PK\x03\x04", 18)):
    at = raw.find(signature)
    while at >= 0:
        raw[at + field:at + field + 4] = struct.pack("<I", 0x7FFFFFF0)
        at = raw.find(signature, at + 4)
open(out + "/row1.pk3", "wb").write(bytes(raw))

# Row 2: four entries, each a 1 GiB level (its header, then entity text).
text = b'{ "classname" "target_speaker" "noise" "sound/r2/hum.wav" }\n'
size = (1 << 30) - (8 + 17 * 8)
overlapping(out + "/row2.pk3", ["maps/r2m%d.bsp" % i for i in range(4)],
            [level(size)] + list(repeat(text, size)))

# Rows 3 and 4: eight entries, each a 16 MiB script of empty shaders.
overlapping(out + "/row3.pk3", ["scripts/r3s%d.shader" % i for i in range(8)],
            repeat(b"textures/r3/e { }\n", 16 << 20))
os.link(out + "/row3.pk3", out + "/home/.openarena/baseoa/zz_row4.pk3")


def distinct(total):
    """Empty shaders of names all different, cut to exactly total bytes."""
    lines = (b"textures/r3/e%07d { }\n" % i for i in range(total // 20 + 1))
    yield b"".join(lines)[:total]


# Row 3 again, each of its 700,000 shaders named differently (1.7 MB).
overlapping(out + "/row3d.pk3", ["scripts/r3s%d.shader" % i for i in range(8)],
            distinct(16 << 20))
# Row 4's author: a level drawing that shader, from a script of their own.
os.makedirs(out + "/author/maps", exist_ok=True)
os.makedirs(out + "/author/scripts", exist_ok=True)
os.makedirs(out + "/author/textures/r4", exist_ok=True)
names = b"textures/r3/e".ljust(64, b"\0") + bytes(8)
header = b"IBSP" + struct.pack("<i", 46)
lumps = [(8 + 17 * 8, 0)] * 17
lumps[1] = (8 + 17 * 8, len(names))
open(out + "/author/maps/r4.bsp", "wb").write(
    header + b"".join(struct.pack("<ii", o, n) for o, n in lumps) + names)
open(out + "/author/scripts/r4.shader", "w").write(
    "textures/r3/e\n{\n\t{ map textures/r4/e.tga }\n}\n")
open(out + "/author/textures/r4/e.tga", "wb").write(b"E" * 18)


# Row 5: a package of n shaders in scripts of 150,000, and another pk3 in
# the game folder defining every other one of them otherwise.
def shaders(n, other):
    scripts = []
    for start in range(0, n, 150000):
        lines = []
        for i in range(start, min(n, start + 150000)):
            image = "b" if other and i % 2 else "a"
            lines.append("textures/r5/s%07d\n{\n\t{ map textures/r5/%s.tga }\n}\n" % (i, image))
        scripts.append(("scripts/r5_%02d.shader" % (start // 150000), "".join(lines)))
    return scripts


for n, name in ((160000, "row5"), (full, "row5full")):
    os.makedirs(out + "/" + name + "/baseoa", exist_ok=True)
    write_zip(out + "/" + name + "/baseoa/pak0.pk3", [("textures/base/floor.tga", b"T")])
    write_zip(out + "/" + name + "/baseoa/zz_other.pk3", shaders(n, True))
    write_zip(out + "/" + name + ".pk3", shaders(n, False) + [("textures/r5/a.tga", b"A")])

# Row 6: a 64 MiB model named by 40 entities of one level.
surface = (b"IDP3" + bytes(72) + struct.pack("<i", 1) + bytes(12) + struct.pack("<i", 108) +
           bytes(8) + struct.pack("<i", 108 + 68))
model = (b"IDP3" + struct.pack("<i", 15) + bytes(76) + struct.pack("<i", 1) + bytes(12) +
         struct.pack("<i", 108) + bytes(4) + surface + b"textures/r6/skin".ljust(68, b"\0"))
model += bytes((64 << 20) - len(model))
# Each entity spells the path with other capitals: one entry all the same.
def spelling(i):
    return "".join(c.upper() if i >> k & 1 else c for k, c in enumerate("models/r6/big.md3"))


ents = b"".join(b'{ "classname" "misc_gamemodel" "model" "%s" }\n' % spelling(i).encode()
                for i in range(40))
lvl = level(len(ents)) + ents
write_zip(out + "/row6.pk3", [("maps/r6.bsp", lvl), ("models/r6/big.md3", model)])

# Row 7: 10,000 entries maps/m00000.bsp ... maps/m09999.bsp over one level.
small = b'{ "classname" "worldspawn" }\n{ "classname" "info_player_deathmatch" }\n'
overlapping(out + "/row7.pk3", ["maps/m%05d.bsp" % i for i in range(10000)],
            [level(len(small)) + small])
