"""The built program driven with the keyboard, as a user would: fill the form with the sample map,
Execute, read the package back, Quit with Yes.
Run under an X server: e2e.py PROGRAM SOURCE_DIR"""
import os, shutil, subprocess, sys, tempfile, time, zipfile

PROGRAM, SOURCE = sys.argv[1:3]
# The sample's files, by their place in its folder, which is their place in the package too.
# Not textures/crateyard/crate_rusty.tga, which the map does not use.
FILES = """textures/crateyard/crate_metal.tga textures/crateyard/crate_wood.tga
textures/crateyard/yard_floor.tga textures/crateyard/yard_wall.tga maps/crateyard.bsp
maps/crateyard.aas levelshots/crateyard.jpg scripts/crateyard.shader sound/crateyard/hum.wav
""".split() + ["env/crateyard/yard_%s.tga" % side for side in ("rt", "bk", "lf", "ft", "up", "dn")]
FORM = ["textures", FILES[4], FILES[5], FILES[6]]  # in the sample; then map name and description
NAME, DESCRIPTION, CHECKED = "crateyard", 'Crate "Yard"', ["FFA", "Tourney"]
# Past the description, Tab reaches the four browse buttons, then the modes.
TABS = ["URL"] * 4 + ["FFA", "TDM", "CTF", "Single", "Tourney", "CA", "1v1", "2v2"]
ARENA = (b'{\r\nmap "crateyard"\r\nbots "phobos"\r\nlongname "Crate \'Yard\'"\r\nfraglimit 20\r\n'
         b'timelimit 60\r\ntype "ffa tourney "\r\n}\r\n')
ORDER = ["textures", "env", "sound", "maps", "levelshots", "scripts", "mapcrate"]


def xdotool(*args):  # a search that finds nothing prints nothing
    return subprocess.run(["xdotool", *args], capture_output=True, text=True,
                          timeout=60).stdout.split()


def wait_for(what, condition, trouble=lambda: None):
    deadline = time.monotonic() + 60
    while not (found := condition()):
        assert not trouble() and time.monotonic() < deadline, (trouble() or "timeout", what)
        time.sleep(0.05)
    return found


with tempfile.TemporaryDirectory() as work:
    sample = shutil.copytree(os.path.join(SOURCE, "samples", NAME), os.path.join(work, "sample"))
    # Should a check fail, xvfb-run ends the X server and with it the program.
    # No game, whatever is installed (MAPCRATE_GAME_DIR empty): the sample uses none of its
    # files, so no question comes up.
    program = subprocess.Popen([PROGRAM], cwd=work, stdout=subprocess.DEVNULL,
                               env=dict(os.environ, MAPCRATE_GAME_DIR=""))
    # Without a window manager the program's windows are the root's children.
    shown = lambda *match: xdotool("search", "--maxdepth", "1", "--onlyvisible", *match)
    window = shown("--sync", "--name", r"^Mapcrate v0\.1$")[0]
    dialogs = lambda: [w for w in shown("--class", "^mapcrate$") if w != window]
    xdotool("windowfocus", "--sync", window)
    # The first entry has the focus, and Tab walks the form in reading order.
    for text in [os.path.join(sample, f) for f in FORM] + [NAME, DESCRIPTION]:
        xdotool("type", "--delay", "0", text)
        xdotool("key", "Tab")
    for widget in TABS:
        xdotool("key", *(["space"] if widget in CHECKED else []), "Tab")
    xdotool("key", "alt+e")
    pk3 = os.path.join(work, NAME + ".pk3")
    wait_for(pk3, lambda: os.path.exists(pk3), lambda: dialogs() and "a dialog came up")

    assert subprocess.run(["unzip", "-tqq", pk3]).returncode == 0
    with zipfile.ZipFile(pk3) as z:
        names, ranks = z.namelist(), [ORDER.index(n.split("/")[0]) for n in z.namelist()]
        assert sorted(names) == sorted(FILES + ["scripts/crateyard.arena", "mapcrate"]), names
        assert ranks == sorted(ranks) and z.testzip() is None, names
        assert names.index("scripts/crateyard.arena") < names.index("scripts/crateyard.shader")
        assert z.read("scripts/crateyard.arena") == ARENA, z.read("scripts/crateyard.arena")
        for name in FILES:
            assert z.read(name) == open(os.path.join(sample, name), "rb").read(), name

    xdotool("key", "alt+q")
    xdotool("windowfocus", "--sync", wait_for("the quit question", dialogs)[0])
    xdotool("key", "alt+y")
    assert program.wait(60) == 0
    kept = sorted(os.listdir(work))  # staging left nothing, and Quit removed nothing
    assert kept == ["crateyard.pk3", "sample"], kept
print("packed the sample and quit")
