"""Reads a map package together with the game's own archives, the way the engine looks files up,
and reports what the map uses against what the package and the game hold.

Usage:
  oacmp_check.py check --game DIR --release PK3 --map NAME --pk3 PACKAGE [--json OUT]
      Missing files (against the release), files the game ships, unused files, sizes.
  oacmp_check.py used --game DIR --world PK3_OR_FOLDER --map NAME
      One line per file the map uses, with where it was found (for building an author's folder).

This is a measurement tool written apart from Mapcrate's own code: it shares no reader with it.
"""
import argparse
import json
import os
import re
import struct
import sys
import zipfile

IMAGE_EXTS = (".tga", ".jpg", ".jpeg", ".png", ".pcx", ".bmp")  # the engine's image loaders
SOUND_EXTS = (".wav", ".ogg")
MODEL_EXTS = (".md3",)
SKY_SIDES = ("_rt", "_bk", "_lf", "_ft", "_up", "_dn")
ENGINE_IMAGES = ("$lightmap", "$whiteimage")


def game_path(name):
    return name.replace("\\", "/").lower()


def strip_ext(name):
    base, ext = os.path.splitext(name)
    return base if "/" not in ext else name


# --- a file system of archives and folders, searched like the engine's ------------------------

def open_source(path):
    """An index: lower-case game path -> (source, original name, size, crc, reader, stored size)."""
    index = {}
    if os.path.isdir(path):
        for root, _dirs, files in os.walk(path):
            for f in files:
                full = os.path.join(root, f)
                rel = os.path.relpath(full, path)
                size = os.path.getsize(full)
                index[game_path(rel)] = (path, rel, size, None,
                                         lambda full=full: open(full, "rb").read(), size)
        return index
    z = zipfile.ZipFile(path)
    for info in z.infolist():
        if info.filename.endswith("/"):
            continue
        index[game_path(info.filename)] = (path, info.filename, info.file_size, info.CRC,
                                           lambda z=z, info=info: z.read(info), info.compress_size)
    return index


def game_paks(game_dir):
    return sorted(os.path.join(game_dir, f) for f in os.listdir(game_dir)
                  if f.lower().startswith("pak") and f.lower().endswith(".pk3"))


def make_world(sources):
    """Later sources win, as the engine's search path puts a later-sorted pk3 first."""
    world = {}
    for s in sources:
        world.update(open_source(s))
    return world


# --- the level's own lumps ----------------------------------------------------------------

def bsp_lumps(data):
    if len(data) < 8 + 17 * 8 or data[:4] != b"IBSP":
        raise ValueError("not a compiled level")
    lumps = []
    for i in range(17):
        off, length = struct.unpack_from("<ii", data, 8 + i * 8)
        if off < 0 or length < 0 or off + length > len(data):
            lumps.append(b"")
        else:
            lumps.append(data[off:off + length])
    return lumps


def cstr(raw):
    return raw.split(b"\0", 1)[0].decode("latin-1")


def bsp_shaders(lumps):
    names = set()
    for lump in (lumps[1], lumps[12]):  # shaders and fogs: 72-byte records, name first
        for i in range(len(lump) // 72):
            n = cstr(lump[i * 72:i * 72 + 64])
            if n:
                names.add(n)
    return names


def entities(text):
    ents, cur = [], None
    for m in re.finditer(r'"([^"]*)"|([{}])', text):
        if m.group(2) == "{":
            cur = {}
        elif m.group(2) == "}":
            if cur is not None:
                ents.append(cur)
            cur = None
        elif cur is not None:
            cur.setdefault("_pending", []).append(m.group(1))
            if len(cur["_pending"]) == 2:
                k, v = cur.pop("_pending")
                cur.setdefault(k.lower(), v)
    return ents


def entity_refs(ents):
    """Sounds, music and models the entities name."""
    sounds, models = set(), set()
    for e in ents:
        noise = e.get("noise", "")
        if noise and not noise.startswith("*"):
            sounds.add(noise)
        if e.get("classname", "").lower() == "worldspawn":
            sounds.update(e.get("music", "").split())
        for key in ("model", "model2"):
            v = e.get(key, "")
            if key == "model" and e.get("classname", "").lower() == "misc_model":
                continue
            if v and not v.startswith("*"):
                models.add(v)
    return sounds, models


def md3_shaders(data):
    names = set()
    if len(data) < 108 or data[:4] != b"IDP3":
        return names
    nsurf, = struct.unpack_from("<i", data, 84)
    off, = struct.unpack_from("<i", data, 100)
    for _ in range(max(0, min(nsurf, 4096))):
        if off < 0 or off + 108 > len(data) or data[off:off + 4] != b"IDP3":
            break
        nshaders, = struct.unpack_from("<i", data, off + 76)
        sh_off, = struct.unpack_from("<i", data, off + 92)
        end, = struct.unpack_from("<i", data, off + 104)
        for j in range(max(0, min(nshaders, 4096))):
            p = off + sh_off + j * 68
            if p < off or p + 68 > len(data):
                break
            n = cstr(data[p:p + 64])
            if n:
                names.add(n)
        if end <= 0:
            break
        off += end
    return names


# --- shader scripts ----------------------------------------------------------------------

def script_tokens(text):
    """(token, line number) pairs, without comments; quotes removed."""
    toks = []
    i, n, line = 0, len(text), 0
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif c.isspace():
            i += 1
        elif text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            end = n if j < 0 else j + 2
            line += text.count("\n", i, end)
            i = end
        elif c == '"':
            j = text.find('"', i + 1)
            end = n if j < 0 else j
            toks.append((text[i + 1:end], line))
            i = end + 1
        elif c in "{}":
            toks.append((c, line))
            i += 1
        else:
            j = i
            while j < n and not text[j].isspace() and text[j] not in '{}"' \
                    and not text.startswith("//", j):
                j += 1
            toks.append((text[i:j], line))
            i = j
    return toks


def parse_shader_script(text):
    """shader name (lower-case, no extension) -> list of image references of its stages."""
    shaders, toks, i, n = {}, script_tokens(text), 0, 0
    n = len(toks)
    while i < n:
        name, _ = toks[i]
        if name in "{}" or i + 1 >= n or toks[i + 1][0] != "{":
            i += 1
            continue
        images, depth, i = [], 0, i + 1
        while i < n:
            tok, line = toks[i]
            if tok == "{":
                depth += 1
            elif tok == "}":
                depth -= 1
                if depth == 0:
                    i += 1
                    break
            else:
                key = tok.lower()
                args = []
                j = i + 1
                while j < n and toks[j][1] == line and toks[j][0] not in "{}":
                    args.append(toks[j][0])
                    j += 1
                if key in ("map", "clampmap") and args:
                    images.append(("image", args[0]))
                elif key == "animmap" and len(args) > 1:
                    images.extend(("image", a) for a in args[1:])
                elif key == "videomap" and args:
                    v = args[0]
                    if not game_path(v).startswith("video/"):
                        v = "video/" + v
                    images.append(("file", v))
                elif key == "skyparms":
                    for box in (args[0:1] + args[2:3]):
                        if box != "-":
                            images.extend(("image", box + s) for s in SKY_SIDES)
                i = j
                continue
            i += 1
        shaders.setdefault(strip_ext(game_path(name)), []).append(images)
    return shaders


def shader_table(world):
    """shader name -> list of (script path, images) for every definition in the world."""
    table = {}
    for path, entry in world.items():
        if path.startswith("scripts/") and path.endswith(".shader") and path.count("/") == 1:
            text = entry[4]().decode("latin-1")
            for name, defs in parse_shader_script(text).items():
                for images in defs:
                    table.setdefault(name, []).append((path, images))
    return table


# --- what a map uses ---------------------------------------------------------------------

def find_image(world, ref):
    stem = strip_ext(game_path(ref))
    return [stem + e for e in IMAGE_EXTS if stem + e in world]


def find_sound(world, ref):
    p = game_path(ref)
    tries = [p] + [strip_ext(p) + e for e in SOUND_EXTS] + [p + e for e in SOUND_EXTS]
    return [t for t in dict.fromkeys(tries) if t in world][:1]


def find_model(world, ref):
    p = game_path(ref)
    tries = [p] + [strip_ext(p) + e for e in MODEL_EXTS]
    return [t for t in dict.fromkeys(tries) if t in world][:1]


def map_uses(world, bsp_data):
    """A list of (kind, reference, files found) for everything the map uses, plus shader scripts."""
    lumps = bsp_lumps(bsp_data)
    text = lumps[0].split(b"\0", 1)[0].decode("latin-1")
    sounds, models = entity_refs(entities(text))
    uses, shaders = [], set(bsp_shaders(lumps))
    for s in sorted(sounds):
        uses.append(("sound", s, find_sound(world, s)))
    for m in sorted(models):
        found = find_model(world, m)
        uses.append(("model", m, found))
        for f in found:
            shaders |= md3_shaders(world[f][4]())
    table = shader_table(world)
    scripts = set()
    for sh in sorted(shaders, key=str.lower):
        key = strip_ext(game_path(sh))
        if key == "noshader":
            continue
        if key in table:
            uses.append(("script", sh, sorted({script for script, _i in table[key]})))
            for script, images in table[key]:
                scripts.add(script)
                for kind, ref in images:
                    r = game_path(ref)
                    if r in ENGINE_IMAGES or r.startswith("*") or r.startswith("$"):
                        continue
                    found = find_image(world, ref) if kind == "image" else \
                        [p for p in [game_path(ref)] if p in world]
                    uses.append(("image of " + sh, ref, found))
        else:
            uses.append(("shader image", sh, find_image(world, sh)))
    return uses, scripts


def used_files(uses):
    return {f for _k, _r, found in uses for f in found}


def missing_refs(uses):
    return {(k, strip_ext(game_path(r)) if k != "sound" else game_path(r))
            for k, r, found in uses if not found}


# --- the report --------------------------------------------------------------------------

def check(args):
    paks = game_paks(args.game)
    game = make_world(paks)
    name = args.map.lower()
    release_world = make_world(paks + [args.release])
    bsp = release_world["maps/%s.bsp" % name][4]()
    rel_uses, _ = map_uses(release_world, bsp)
    pkg_index = open_source(args.pk3)
    pkg_world = make_world(paks + [args.pk3])
    pkg_bsp_key = "maps/%s.bsp" % name
    if pkg_bsp_key not in pkg_index:
        sys.exit("%s holds no %s" % (args.pk3, pkg_bsp_key))
    pkg_uses, pkg_scripts = map_uses(pkg_world, pkg_index[pkg_bsp_key][4]())

    # A file is missing when the release world finds the reference and the package world does not.
    rel_found = {(k.split(" of ")[0], game_path(r)): f for k, r, f in rel_uses}
    missing, nowhere = [], []
    for k, r, found in pkg_uses:
        if found:
            continue
        if rel_found.get((k.split(" of ")[0], game_path(r))):
            missing.append(r)
        elif k == "shader image" and rel_found.get(("script", game_path(r))):
            continue  # its script is missing, and counted so
        else:
            nowhere.append(r)
    # References the release world draws through shaders the package world does not define.
    pkg_refs = {(k.split(" of ")[0], game_path(r)) for k, r, _f in pkg_uses}
    for (k, r), f in rel_found.items():
        if f and (k, r) not in pkg_refs and not any(x in pkg_world for x in f):
            missing.append(r if k != "script" else "script for " + r)

    used = used_files(pkg_uses) | pkg_scripts
    used_stems = {strip_ext(u) for u in used}
    own = {"maps/%s.bsp" % name, "maps/%s.aas" % name, "scripts/%s.arena" % name, "mapcrate"}
    entries = [p for p in pkg_index]
    shipped = sorted(p for p in entries if p in game)
    unused = []
    for p in entries:
        if p in own or p in used or p.startswith("levelshots/%s." % name):
            continue
        if p.startswith(("textures/", "env/", "models/", "sound/", "music/", "video/", "gfx/",
                         "sprites/")) and strip_ext(p) in used_stems:
            continue  # another format of an image the map uses
        unused.append(p)
    needed = [p for p in entries if p not in game and p not in unused]
    report = {
        "map": name,
        "package": args.pk3,
        "entries": len(entries),
        "size": os.path.getsize(args.pk3),
        "uncompressed": sum(e[2] for e in pkg_index.values()),
        "needed_uncompressed": sum(pkg_index[p][2] for p in needed),
        "needed_stored": sum(pkg_index[p][5] for p in needed),
        "used_files": len(used),
        "used_in_package": len([u for u in used if u in pkg_index]),
        "missing_vs_release": sorted(set(missing)),
        "missing_everywhere": sorted(set(nowhere)),
        "game_shipped": shipped,
        "game_shipped_same_bytes": len([p for p in shipped if pkg_index[p][3] is not None
                                        and pkg_index[p][3] == game[p][3]]),
        "unused": sorted(unused),
        "unused_by_top": {},
    }
    for p in unused:
        top = p.split("/")[0] if "/" in p else "(root)"
        report["unused_by_top"][top] = report["unused_by_top"].get(top, 0) + 1
    out = json.dumps(report, indent=1)
    if args.json:
        with open(args.json, "w") as f:
            f.write(out)
    print("%-10s entries %4d  size %10d  missing %d %s  game-shipped %d  unused %d %s" % (
        name, report["entries"], report["size"], len(report["missing_vs_release"]),
        report["missing_vs_release"][:4], len(shipped), len(unused), report["unused_by_top"]))


def used(args):
    paks = game_paks(args.game)
    world = make_world(paks + [args.world])
    bsp = world["maps/%s.bsp" % args.map.lower()][4]()
    uses, scripts = map_uses(world, bsp)
    for kind, ref, found in uses:
        print("%s\t%s\t%s" % (kind, ref, " ".join(
            "%s:%s" % (os.path.basename(world[f][0]), world[f][1]) for f in found) or "-"))
    for s in sorted(scripts):
        print("script\t%s\t%s:%s" % (s, os.path.basename(world[s][0]), world[s][1]))


def main():
    ap = argparse.ArgumentParser()
    sub = ap.add_subparsers(dest="cmd", required=True)
    c = sub.add_parser("check")
    c.add_argument("--game", required=True)
    c.add_argument("--release", required=True)
    c.add_argument("--map", required=True)
    c.add_argument("--pk3", required=True)
    c.add_argument("--json")
    u = sub.add_parser("used")
    u.add_argument("--game", required=True)
    u.add_argument("--world", required=True)
    u.add_argument("--map", required=True)
    args = ap.parse_args()
    {"check": check, "used": used}[args.cmd](args)


if __name__ == "__main__":
    main()
