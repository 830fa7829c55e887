"""Builds a map author's game folder from the 13 community maps' release package.

Usage: oacmp_folder.py GAME_DIR RELEASE_PK3 OUT_DIR
OUT_DIR gets the release's files as they were before packing (maps, textures, shader scripts,
sounds), the game's own texture sets and shader scripts that the maps use, extracted beside them
as authors do to edit, and a 128x128 24-bit JPEG levelshot per map (cjpeg from the release's TGA).
It never holds a pak*.pk3: the game is found where it is installed.
"""
import os
import subprocess
import sys
import zipfile

import oacmp_check as oc


def extract(z, info, out):
    dest = os.path.join(out, info.filename)
    os.makedirs(os.path.dirname(dest), exist_ok=True)
    with open(dest, "wb") as f:
        f.write(z.read(info))


def main():
    game_dir, release, out = sys.argv[1:4]
    os.makedirs(out)
    with zipfile.ZipFile(release) as z:
        for info in z.infolist():
            if not info.filename.endswith("/"):
                extract(z, info, out)
    maps = sorted(n[:-4] for n in os.listdir(os.path.join(out, "maps")) if n.endswith(".bsp"))
    paks = oc.game_paks(game_dir)
    world = oc.make_world(paks + [release])
    game = oc.make_world(paks)
    sets, scripts = set(), set()
    for name in maps:
        uses, used_scripts = oc.map_uses(world, world["maps/%s.bsp" % name][4]())
        for f in oc.used_files(uses):
            if f.startswith("textures/") and f.count("/") >= 2 and world[f][0] != release:
                sets.add(f.split("/")[1])
        scripts |= {s for s in used_scripts if world[s][0] != release}
    taken = set()
    for pak in paks:  # later archives replace earlier ones, as in the game
        with zipfile.ZipFile(pak) as z:
            for info in z.infolist():
                p = oc.game_path(info.filename)
                if info.filename.endswith("/") or oc.game_path(info.filename) not in game:
                    continue
                if (p.startswith("textures/") and p.count("/") >= 2 and p.split("/")[1] in sets) \
                        or p in scripts:
                    extract(z, info, out)
                    taken.add(p)
    for name in maps:
        tga = os.path.join(out, "levelshots", name + ".tga")
        jpg = os.path.join(out, "levelshots", name + ".jpg")
        subprocess.run(["cjpeg", "-targa", "-quality", "90", "-outfile", jpg, tga], check=True)
    print("%d maps; %d game files from %d sets and %d shader scripts" % (
        len(maps), len(taken), len(sets), len(scripts)))
    print("maps: " + " ".join(maps))


if __name__ == "__main__":
    main()
