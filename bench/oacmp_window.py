"""Packs maps through Mapcrate's window, typed with xdotool as a user would, one fresh working
folder and one fresh window per map.  Every question is answered Yes and logged.

Usage (under an X server): oacmp_window.py PROGRAM GAME_FOLDER OUT_DIR MAP...
For each MAP: OUT_DIR/MAP/ is the working folder (it gets MAP.pk3), OUT_DIR/MAP.log the
terminal's output, and OUT_DIR/MAP.dialogs the number of dialogs answered.
"""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xdo import TABS, shown, xdotool  # noqa: E402

PROGRAM, G, OUT = sys.argv[1:4]
MAPS = sys.argv[4:]


def pack(name):
    work = os.path.join(OUT, name)
    os.makedirs(work)
    log = open(os.path.join(OUT, name + ".log"), "wb")
    program = subprocess.Popen([PROGRAM], cwd=work, stdout=log, stderr=subprocess.STDOUT)
    try:
        window = shown("--sync", "--name", r"^Mapcrate v0\.1$")[0]
        xdotool("windowfocus", "--sync", window)
        form = [os.path.join(G, "textures"), os.path.join(G, "maps", name + ".bsp"),
                os.path.join(G, "maps", name + ".aas"),
                os.path.join(G, "levelshots", name + ".jpg"), name, name]
        for text in form:
            xdotool("type", "--delay", "0", text)
            xdotool("key", "Tab")
        for widget in TABS:
            xdotool("key", *(["space"] if widget == "FFA" else []), "Tab")
        xdotool("key", "alt+e")
        pk3 = os.path.join(work, name + ".pk3")
        answered = set()
        deadline = time.monotonic() + float(os.environ.get("OACMP_PACK_TIMEOUT", "600"))
        while not os.path.exists(pk3):
            if time.monotonic() > deadline or program.poll() is not None:
                raise RuntimeError("no package for " + name)
            dialogs = [w for w in shown("--class", "^%s$" % re.escape(os.path.basename(PROGRAM)))
                       if w != window]
            for d in [d for d in dialogs if d not in answered]:
                title = subprocess.run(["xdotool", "getwindowname", d], capture_output=True,
                                       text=True).stdout.strip()
                print("%s: dialog %r answered Yes" % (name, title), flush=True)
                xdotool("windowfocus", "--sync", d)
                xdotool("key", "alt+y")
                answered.add(d)
                time.sleep(0.5)
            time.sleep(0.2)
        with open(os.path.join(OUT, name + ".dialogs"), "w") as f:
            f.write("%d\n" % len(answered))
        print("%s: %s, %d dialogs" % (name, pk3, len(answered)), flush=True)
    finally:
        program.terminate()
        program.wait(30)
        log.close()


for m in MAPS:
    pack(m)
