"""Writes the sample map "crateyard" that the README packs, laid out as an
author's game folder.

Usage: make_sample.py [DIR]     (default: the crateyard folder beside this script)

DIR/maps/crateyard.bsp          a closed room the engine loads (IBSP version 46):
                                six wall brushes around one open leaf, the faces
                                seen from inside drawn with the textures
                                textures/crateyard/<texture> and .../yard_glow, the
                                ceiling with the sky .../yard_sky; the spawn points
                                of every game mode, two items and a target_speaker
                                that plays sound/crateyard/hum.wav
DIR/maps/crateyard.aas          its bots' map (EAAS version 5, made for this very
                                BSP): two convex areas that reach each other
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
import struct
import math
import subprocess
import sys
import wave

TEXTURES = ("crate_metal", "crate_wood", "yard_floor", "yard_wall")
SHADERS = TEXTURES + ("yard_glow", "yard_sky")
# Surface flags the compiler gives the shaders' surfaceparms (nomarks; sky,
# noimpact, nolightmap); every shader here is solid (contents 1).
SURFACE_FLAGS = {"yard_glow": 0x20, "yard_sky": 0x4 | 0x10 | 0x100}

# The room inside its six walls, 16 units thick: x, y, z from LOW to HIGH.
LOW, HIGH, WALL = (-512, -256, 0), (768, 512, 320), 16
# The spawn points each game mode looks for, and the rest of the yard.
ENTITIES = [
    {"classname": "worldspawn", "message": "Crate Yard"},
    {"classname": "info_player_deathmatch", "origin": "0 0 24", "angle": "90"},
    {"classname": "info_player_deathmatch", "origin": "512 256 24", "angle": "180"},
    {"classname": "info_player_deathmatch", "origin": "-384 384 24", "angle": "0"},
    {"classname": "info_player_deathmatch", "origin": "640 -128 24", "angle": "90"},
    {"classname": "info_player_intermission", "origin": "128 128 256", "angle": "45"},
    {"classname": "team_CTF_redplayer", "origin": "-384 -128 24", "angle": "0"},
    {"classname": "team_CTF_redspawn", "origin": "-384 0 24", "angle": "0"},
    {"classname": "team_CTF_redspawn", "origin": "-256 256 24", "angle": "0"},
    {"classname": "team_CTF_blueplayer", "origin": "640 384 24", "angle": "180"},
    {"classname": "team_CTF_bluespawn", "origin": "640 0 24", "angle": "180"},
    {"classname": "team_CTF_bluespawn", "origin": "384 -128 24", "angle": "180"},
    {"classname": "team_CTF_redflag", "origin": "-448 128 24"},
    {"classname": "team_CTF_blueflag", "origin": "704 128 24"},
    {"classname": "team_CTF_neutralflag", "origin": "128 384 24"},
    {"classname": "item_armor_shard", "origin": "256 128 16"},
    {"classname": "weapon_shotgun", "origin": "-256 64 16"},
    {"classname": "target_speaker", "origin": "256 256 64", "noise": "sound/crateyard/hum.wav",
     "spawnflags": "1"},
]


def entities_bytes():
    return "".join("{\n" + "".join('"%s" "%s"\n' % kv for kv in e.items()) + "}\n"
                   for e in ENTITIES).encode() + b"\x00"


def plane_list():
    """A function giving the index of a plane, each stored beside its flip as
    the compiler does, and the list of the planes' bytes."""
    index, data = {}, []

    def plane(axis, sign, dist):
        if (axis, sign, dist) not in index:
            for s in (sign, -sign):
                normal = [0.0, 0.0, 0.0]
                normal[axis] = float(s)
                index[(axis, s, dist * s * sign)] = len(data)
                data.append(struct.pack("<4f", *normal, dist * s * sign))
        return index[(axis, sign, dist)]
    return plane, data


def walls():
    """The six wall boxes (mins, maxs), each with the shader its room side shows:
    west, east, south, north, floor, ceiling."""
    out = []
    for axis in range(3):
        for side in (0, 1):
            mins = [LOW[i] - WALL for i in range(3)]
            maxs = [HIGH[i] + WALL for i in range(3)]
            if side == 0:
                maxs[axis] = LOW[axis]
            else:
                mins[axis] = HIGH[axis]
            shader = ("crate_metal", "crate_wood", "yard_wall", "yard_wall", "yard_floor",
                      "yard_sky")[axis * 2 + side]
            out.append((mins, maxs, SHADERS.index(shader)))
    return out


def quad(corner, u, v, normal):
    """Four corners of a face from a corner and two edges, in the order the
    renderer draws as facing along normal (clockwise seen from there)."""
    p = [corner, [corner[i] + u[i] for i in range(3)],
         [corner[i] + u[i] + v[i] for i in range(3)], [corner[i] + v[i] for i in range(3)]]
    cross = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    return p if sum(c * n for c, n in zip(cross, normal)) < 0 else p[::-1]


def room_faces():
    """(shader, corners, normal) of every face seen from inside the room: a
    wall, and the floor in three strips, the middle one lit by yard_glow."""
    size = [HIGH[i] - LOW[i] for i in range(3)]
    faces = []
    for axis in range(3):
        u_axis, v_axis = [a for a in range(3) if a != axis]
        for side in (0, 1):
            normal = [0, 0, 0]
            normal[axis] = 1 if side == 0 else -1
            corner = list(LOW)
            corner[axis] = (LOW, HIGH)[side][axis]
            u, v = [0, 0, 0], [0, 0, 0]
            u[u_axis], v[v_axis] = size[u_axis], size[v_axis]
            shader = walls()[axis * 2 + side][2]
            if axis == 2 and side == 0:
                for x0, x1, name in ((LOW[0], 64, "yard_floor"), (64, 192, "yard_glow"),
                                     (192, HIGH[0], "yard_floor")):
                    faces.append((SHADERS.index(name),
                                  quad([x0, LOW[1], 0], [x1 - x0, 0, 0], v, normal), normal))
            else:
                faces.append((shader, quad(corner, u, v, normal), normal))
    return faces


def lump_file(bodies):
    offset = 8 + 17 * 8
    directory, data = b"", b""
    for body in bodies:
        directory += struct.pack("<ii", offset + len(data), len(body))
        data += body + bytes(-len(body) % 4)
    return b"IBSP" + struct.pack("<i", 46) + directory + data


def bsp_bytes():
    """A closed room the engine loads: one open leaf inside six solid ones."""
    shaders = b"".join(struct.pack("<64sii", ("textures/crateyard/" + name).encode(),
                                   SURFACE_FLAGS.get(name, 0), 1) for name in SHADERS)
    plane, planes = plane_list()
    brushes, sides = b"", b""
    for n, (mins, maxs, shader) in enumerate(walls()):
        # Sides in the order the engine bounds a brush by: -x +x -y +y -z +z.
        brushes += struct.pack("<3i", n * 6, 6, shader)
        for axis in range(3):
            sides += struct.pack("<2i", plane(axis, -1, -mins[axis]), shader)
            sides += struct.pack("<2i", plane(axis, 1, maxs[axis]), shader)
    world = ([LOW[i] - WALL for i in range(3)], [HIGH[i] + WALL for i in range(3)])
    # Node k cuts along the room side of wall k: in front lies the rest of
    # the room, behind it the solid leaf k + 1; leaf 0 is the room.
    nodes = b""
    for k, (mins, maxs, _) in enumerate(walls()):
        axis, side = k // 2, k % 2
        facing = plane(axis, 1, LOW[axis]) if side == 0 else plane(axis, -1, -HIGH[axis])
        inside = k + 1 if k < 5 else -1
        nodes += struct.pack("<3i6i", facing, inside, -(k + 2), *world[0], *world[1])
    faces = room_faces()
    leafs = struct.pack("<2i3i3i4i", 0, 0, *LOW, *HIGH, 0, len(faces), 0, 6)
    for _ in range(6):
        leafs += struct.pack("<2i3i3i4i", -1, -1, *world[0], *world[1], 0, 0, 0, 6)
    leaf_surfaces = b"".join(struct.pack("<i", i) for i in range(len(faces)))
    leaf_brushes = b"".join(struct.pack("<i", i) for i in range(6))
    models = struct.pack("<6f4i", *world[0], *world[1], 0, len(faces), 0, 6)
    verts, indexes, surfaces = b"", b"", b""
    for n, (shader, corners, normal) in enumerate(faces):
        lit = SHADERS[shader] != "yard_sky"
        for p in corners:
            s, t = [p[i] / 128.0 for i in range(3) if normal[i] == 0]
            verts += struct.pack("<3f2f2f3f4B", *p, s, -t, 0.5, 0.5, *normal, 255, 255, 255, 255)
        indexes += struct.pack("<6i", 0, 1, 2, 0, 2, 3)
        surfaces += struct.pack("<12i12f2i", shader, -1, 1, n * 4, 4, n * 6, 6, 0 if lit else -1,
                                0, 0, 1, 1, *corners[0], *(0.0,) * 6, *normal, 0, 0)
    # One grey lightmap for every lit face, and an even light grid.
    lightmap = bytes((160,)) * (128 * 128 * 3)
    grid = [(64, 64, 128)[i] for i in range(3)]
    points = 1
    for i in range(3):
        points *= (math.floor(world[1][i] / grid[i]) - math.ceil(world[0][i] / grid[i])) + 1
    light_grid = bytes((96, 96, 96, 160, 160, 160, 0, 0)) * points
    return lump_file([entities_bytes(), shaders, b"".join(planes), nodes, leafs, leaf_surfaces,
                      leaf_brushes, models, brushes, sides, verts, indexes, b"", surfaces,
                      lightmap, light_grid, b""])


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


def aas_bytes(bsp):
    """The bots' map of the room: where a standing player's origin can be,
    cut in two convex areas at x = 128 so that each reaches the other by
    walking; one cluster, no portals.  Entry 0 of each list is the dummy the
    format keeps."""
    low = [LOW[0] + 15, LOW[1] + 15, LOW[2] + 24]
    high = [HIGH[0] - 15, HIGH[1] - 15, HIGH[2] - 32]
    cut = 128.0
    bboxes = (struct.pack("<2i6f", 2, 0, -15, -15, -24, 15, 15, 32)
              + struct.pack("<2i6f", 4, 0, -15, -15, -24, 15, 15, 8))
    planes, plane_index = [], {}

    def plane(axis, sign, dist):
        if (axis, sign, dist) not in plane_index:
            for s in (sign, -sign):
                plane_index[(axis, s, dist * s * sign)] = len(planes)
                normal = [0.0, 0.0, 0.0]
                normal[axis] = float(s)
                planes.append(struct.pack("<4fi", *normal, dist * s * sign, axis))
        return plane_index[(axis, sign, dist)]

    vertexes, vertex_index = [(0.0, 0.0, 0.0)], {}
    edges, edge_index = [(0, 0)], {}
    edge_list, faces, face_list = [], [struct.pack("<6i", 0, 0, 0, 0, 0, 0)], []

    def vertex(p):
        p = tuple(float(c) for c in p)
        if p not in vertex_index:
            vertex_index[p] = len(vertexes)
            vertexes.append(p)
        return vertex_index[p]

    def edge(a, b):
        if (b, a) in edge_index:
            return -edge_index[(b, a)]
        if (a, b) not in edge_index:
            edge_index[(a, b)] = len(edges)
            edges.append((a, b))
        return edge_index[(a, b)]

    def face(axis, sign, dist, corners, flags, front, back):
        # Corners counter-clockwise seen from the side the normal points to.
        ids = [vertex(c) for c in corners]
        first = len(edge_list)
        edge_list.extend(edge(ids[i], ids[(i + 1) % 4]) for i in range(4))
        faces.append(struct.pack("<6i", plane(axis, sign, dist), flags, 4, first, front, back))
        return len(faces) - 1

    def box_corners(axis, at, mins, maxs, sign):
        u, v = [a for a in range(3) if a != axis]
        points = []
        for cu, cv in ((0, 0), (1, 0), (1, 1), (0, 1)):
            p = [0.0, 0.0, 0.0]
            p[axis] = at
            p[u] = (mins[u], maxs[u])[cu]
            p[v] = (mins[v], maxs[v])[cv]
            points.append(p)
        # (u, v, axis) is right-handed, so this runs counter-clockwise seen from +axis.
        return points if sign > 0 else points[::-1]

    boxes = [(low, [cut, high[1], high[2]]), ([cut, low[1], low[2]], high)]
    shared = face(0, 1, cut, box_corners(0, cut, *boxes[1], 1), 0, 2, 1)
    areas, settings, reach = [bytes(48)], [bytes(28)], [bytes(44)]
    for n, (mins, maxs) in enumerate(boxes, start=1):
        first = len(face_list)
        face_list.append(shared if n == 2 else -shared)
        for axis in range(3):
            for sign, at in ((1, mins[axis]), (-1, maxs[axis])):
                if axis == 0 and at == cut:
                    continue
                flags = 1 | (4 if axis == 2 and sign == 1 else 0)  # solid; the floor is ground
                face_list.append(face(axis, sign, at * sign, box_corners(axis, at, mins, maxs, sign),
                                      flags, n, 0))
        center = [(mins[i] + maxs[i]) / 2 for i in range(3)]
        areas.append(struct.pack("<3i9f", n, len(face_list) - first, first, *mins, *maxs, *center))
        # Grounded, a standing or crouching player fits; cluster 1; one reachability.
        settings.append(struct.pack("<7i", 0, 1, 2 | 4, 1, n - 1, 1, n))
        other = 3 - n
        step = 4.0 if other == 2 else -4.0
        reach.append(struct.pack("<3i6fiH2x", other, shared, 0, cut - step, 128.0, low[2],
                                 cut + step, 128.0, low[2], 2, 100))
    # Nodes: five cuts along the room's sides, then the split; child 0 is
    # solid, a negative child an area.
    nodes = [bytes(12)]
    sides = [(0, 1, low[0]), (0, -1, -high[0]), (1, 1, low[1]), (1, -1, -high[1]),
             (2, 1, low[2]), (2, -1, -high[2])]
    for side in sides:
        nodes.append(struct.pack("<3i", plane(*side), len(nodes) + 1, 0))
    nodes.append(struct.pack("<3i", plane(0, 1, cut), -2, -1))
    bodies = [bboxes, b"".join(struct.pack("<3f", *v) for v in vertexes), b"".join(planes),
              b"".join(struct.pack("<2i", *e) for e in edges),
              b"".join(struct.pack("<i", e) for e in edge_list), b"".join(faces),
              b"".join(struct.pack("<i", f) for f in face_list), b"".join(areas),
              b"".join(settings), b"".join(reach), b"".join(nodes), bytes(20), bytes(4),
              bytes(16) + struct.pack("<4i", 2, 2, 0, 0)]
    offset, lumps = 8 + 4 + 14 * 8, b""
    for body in bodies:
        lumps += struct.pack("<ii", offset, len(body))
        offset += len(body)
    header = struct.pack("<i", bsp_checksum(bsp)) + lumps
    # Version 5 stores these 116 bytes scrambled.
    header = bytes(byte ^ ((i * 119) & 0xFF) for i, byte in enumerate(header))
    return b"EAAS" + struct.pack("<i", 5) + header + b"".join(bodies)


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
    for folder in ("maps", "levelshots", "textures/crateyard", "scripts", "env/crateyard",
                   "sound/crateyard"):
        os.makedirs(os.path.join(out, folder), exist_ok=True)
    bsp = bsp_bytes()
    with open(os.path.join(out, "maps", "crateyard.bsp"), "wb") as f:
        f.write(bsp)
    with open(os.path.join(out, "maps", "crateyard.aas"), "wb") as f:
        f.write(aas_bytes(bsp))
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
