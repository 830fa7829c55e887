"""Loads a map in the game client and collects the console's warnings for missing shaders,
images and sounds.

Usage: oacmp_client.py GAME_LIB_DIR MAP PACKAGE|- LOG
GAME_LIB_DIR is the game's folder with its pak*.pk3 and its native game libraries
(/usr/lib/openarena/baseoa).  The client runs with a base path of its own whose baseoa holds
links to the game's pak*.pk3 and libraries only, plus PACKAGE under its own name ("-": none),
and a home path of its own.  It starts the map, runs 150 frames at 30 per second and quits;
the run is bounded by a timeout.  Prints one JSON line: loaded or not, and the warnings.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

ENGINE = "/usr/lib/ioquake3/ioquake3"
PATTERNS = [
    ("shader", re.compile(r"Couldn't find image file for shader (.+)")),
    ("stage image", re.compile(r"WARNING: could not find texture '(.+)' in shader '(.+)'")),
    ("sound", re.compile(r"WARNING: could not find (.+) - using default")),
    ("music", re.compile(r"WARNING: couldn't open music file (.+)")),
]


def warnings(text):
    found = []
    for line in text.splitlines():
        line = re.sub(r"\^[0-9]", "", line).strip()
        for kind, pat in PATTERNS:
            m = pat.search(line)
            if m:
                found.append("%s: %s" % (kind, " in ".join(m.groups())))
    return found


def run(lib_dir, name, package, log):
    root = tempfile.mkdtemp(prefix="oacmp_client_")
    try:
        base = os.path.join(root, "base", "baseoa")
        os.makedirs(base)
        for f in os.listdir(lib_dir):
            low = f.lower()
            if (low.startswith("pak") and low.endswith(".pk3")) or low.endswith(".so") \
                    or os.path.isdir(os.path.join(lib_dir, f)):
                os.symlink(os.path.realpath(os.path.join(lib_dir, f)), os.path.join(base, f))
        if package != "-":
            os.symlink(os.path.abspath(package), os.path.join(base, os.path.basename(package)))
        cmd = ["timeout", "-k", "5", "150", "xvfb-run", "-a", "-s", "-screen 0 640x480x24",
               ENGINE, "+set", "com_basegame", "baseoa",
               "+set", "fs_basepath", os.path.join(root, "base"),
               "+set", "fs_homepath", os.path.join(root, "home"), "+set", "com_homepath", "h",
               "+set", "developer", "1", "+set", "cl_renderer", "opengl1", "+set", "r_mode", "0",
               "+set", "r_fullscreen", "0", "+set", "com_legacyprotocol", "71",
               "+set", "com_protocol", "71", "+set", "cl_motd", "0", "+set", "sv_pure", "0",
               "+set", "net_enabled", "0", "+set", "com_maxfps", "30",
               "+map", name, "+wait", "150", "+quit"]
        env = dict(os.environ, SDL_AUDIODRIVER="dummy", LIBGL_ALWAYS_SOFTWARE="1")
        r = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        text = r.stdout.decode("latin-1")
        with open(log, "w") as f:
            f.write(text)
        searched = re.findall(r"^(\S+\.pk3) \(\d+ files\)", text, re.M)
        return {"map": name, "package": package, "status": r.returncode,
                "loaded": ("CM_LoadMap( maps/%s.bsp, 1 )" % name) in text
                and "CL_InitCGame" in text,
                "archives": [os.path.basename(s) for s in dict.fromkeys(searched)],
                "warnings": sorted(set(warnings(text)))}
    finally:
        shutil.rmtree(root)


if __name__ == "__main__":
    print(json.dumps(run(*sys.argv[1:5])))
