"""Counts what a map package carries that the engine never reads from it: shader scripts whose
definitions of the map's shaders all lose to another script's, and images that no definition the
engine takes names.  The package is read as a player installs it, in the home folder, searched
before the game's own archives.

Usage: oacmp_unread.py GAME_DIR MAP PACKAGE
Prints: MAP unread-scripts unread-images, then the names.

The engine lists each scripts/*.shader name once, from the first place searched, the places in
search order and each archive's entries in their order; it joins the texts from the end of that
list and takes the first definition of a shader.  Written apart from Mapcrate's code.
"""
import sys
import zipfile

import oacmp_check as oc


def is_script(p):
    return p.startswith("scripts/") and p.endswith(".shader") and p.count("/") == 1


def engine_table(sources):
    """shader name -> (script, images) of the definition the engine takes; sources by priority."""
    order, text = [], {}
    for src in sources:
        with zipfile.ZipFile(src) as z:
            for info in z.infolist():
                p = oc.game_path(info.filename)
                if is_script(p) and p not in text:
                    order.append(p)
                    text[p] = z.read(info).decode("latin-1")
    table = {}
    for p in reversed(order):
        for name, defs in oc.parse_shader_script(text[p]).items():
            table.setdefault(name, (p, defs[0]))
    return table


def main():
    game_dir, name, pk3 = sys.argv[1:4]
    paks = oc.game_paks(game_dir)
    world = oc.make_world(paks + [pk3])
    table = engine_table([pk3] + paks[::-1])
    bsp = world["maps/%s.bsp" % name][4]()
    lumps = oc.bsp_lumps(bsp)
    sounds, models = oc.entity_refs(oc.entities(lumps[0].split(b"\0", 1)[0].decode("latin-1")))
    shaders, used, read_scripts = set(oc.bsp_shaders(lumps)), set(), set()
    for m in models:
        for f in oc.find_model(world, m):
            used.add(f)
            shaders |= oc.md3_shaders(world[f][4]())
    for sh in shaders:
        key = oc.strip_ext(oc.game_path(sh))
        if key in table:
            script, images = table[key]
            read_scripts.add(script)
            for kind, ref in images:
                used |= set(oc.find_image(world, ref) if kind == "image" else
                            [p for p in [oc.game_path(ref)] if p in world])
        else:
            used |= set(oc.find_image(world, sh))
    entries = oc.open_source(pk3)
    scripts = sorted(p for p in entries if is_script(p) and p not in read_scripts)
    images = sorted(p for p in entries if p.endswith(oc.IMAGE_EXTS) and p not in used
                    and not p.startswith("levelshots/"))
    print("%s %d %d %s" % (name, len(scripts), len(images), " ".join(scripts + images)))


if __name__ == "__main__":
    main()
