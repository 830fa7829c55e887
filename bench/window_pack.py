"""Side by side, RUNS times: the command line packs a map, then the real window packs the same map,
typed with xdotool, Execute run off the toolkit's thread under its progress dialog.  The window's
time runs from Execute's key sent to the package in place (the written package's dialog follows);
questions, if any, are answered Yes and counted.  Prints each run and the medians.

Usage (under an X server): window_pack.py PROGRAM WORK_DIR RUNS TEXTURES BSP AAS LEVELSHOT MAP
An AAS of "-" leaves that field empty.
The game's folder is MAPCRATE_GAME_DIR, given to the command line as --game.
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xdo import TABS, shown, xdotool  # noqa: E402

PROGRAM, WORK, RUNS = sys.argv[1], sys.argv[2], int(sys.argv[3])
TEXTURES, BSP, AAS, LEVELSHOT, MAP = sys.argv[4:9]
GAME = os.environ["MAPCRATE_GAME_DIR"]


def fresh(where):
    shutil.rmtree(where, ignore_errors=True)
    os.makedirs(where)
    return where


def entries(pk3):
    return subprocess.run(["unzip", "-Z1", pk3], capture_output=True, text=True,
                          check=True).stdout.split("\n")


def command_line(work):
    args = [PROGRAM, "--textures", TEXTURES, "--bsp", BSP] + (["--aas", AAS] if AAS != "-" else [])
    args += ["--levelshot", LEVELSHOT, "--name", MAP, "--description", MAP, "--modes", "ctf", "--game", GAME, "--yes",
            "--quiet"]
    start = time.monotonic()
    subprocess.run(args, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    return time.monotonic() - start


def window(work):
    program = subprocess.Popen([PROGRAM], cwd=work, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        main = shown("--sync", "--name", r"^Mapcrate v0\.1$")[0]
        xdotool("windowfocus", "--sync", main)
        for text in [TEXTURES, BSP, AAS, LEVELSHOT, MAP, MAP]:
            if text != "-":
                xdotool("type", "--delay", "0", text)
            xdotool("key", "Tab")
        for widget in TABS:
            xdotool("key", *(["space"] if widget == "CTF" else []), "Tab")
        pk3 = os.path.join(work, MAP + ".pk3")
        answered = set()
        # From the key's sending: xdotool's own start is not the window's.
        xdotool("key", "alt+e")
        start = time.monotonic()
        # The file is cheap to watch; the dialogs only between its looks.
        deadline, look = start + 600, start
        while not os.path.exists(pk3):
            now = time.monotonic()
            if now > deadline or program.poll() is not None:
                raise RuntimeError("the window wrote no package")
            if now - look > 0.5:
                look = now
                # The questions have no title; the progress dialog has one.
                for d in shown("--class", "^mapcrate$"):
                    if d != main and d not in answered and not xdotool("getwindowname", d):
                        xdotool("windowfocus", "--sync", d)
                        xdotool("key", "alt+y")
                        answered.add(d)
            time.sleep(0.005)
        secs = time.monotonic() - start
        # The written package's dialog: untitled, and not a question answered before.
        deadline = time.monotonic() + 60
        while not [d for d in shown("--class", "^mapcrate$")
                   if d != main and d not in answered and not xdotool("getwindowname", d)]:
            if time.monotonic() > deadline:
                raise RuntimeError("no dialog for the written package")
            time.sleep(0.05)
        return secs, len(answered)
    finally:
        program.terminate()
        program.wait(30)


cli, win = [], []
for i in range(1, RUNS + 1):
    cli.append(command_line(fresh(os.path.join(WORK, "cli"))))
    print("run %d: command line %.3f s" % (i, cli[-1]), flush=True)
    secs, questions = window(fresh(os.path.join(WORK, "window")))
    win.append(secs)
    print("run %d: window %.3f s (%d questions answered)" % (i, secs, questions), flush=True)
    a, b = (entries(os.path.join(WORK, w, MAP + ".pk3")) for w in ("cli", "window"))
    if a != b:
        sys.exit("the window's package lists other entries than the command line's")

c, w = statistics.median(cli), statistics.median(win)
print("package of %s: %d entries, a pk3 of %d bytes" % (MAP, len(a) - 1,
                                                os.path.getsize(os.path.join(WORK, "cli", MAP + ".pk3"))))
print("median command line %.3f s, median window %.3f s" % (c, w))
print("window / command line %.3f (target <= 1.10): %s" % (w / c, "met" if w / c <= 1.10 else "MISSED"))
