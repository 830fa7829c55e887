"""The built program driven with the keyboard, as a user would: fill the form with the sample map,
Execute, find the package the command line packs and the dialog that says so, Quit with Yes.
Run under an X server: e2e.py PROGRAM SOURCE_DIR"""
import os, shutil, subprocess, sys, tempfile, time

PROGRAM, SOURCE = sys.argv[1:3]
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from outputs import package  # noqa: E402
# The sample's form, as the recorded command line packs it (tests/outputs/sample.txt).
FORM = ["textures", "maps/crateyard.bsp", "maps/crateyard.aas", "levelshots/crateyard.jpg"]
NAME, DESCRIPTION, CHECKED = "crateyard", "Crate Yard", ["FFA", "Tourney"]
# Past the description, Tab reaches the browse buttons and the levelshot's "Faire" (left off),
# then the modes.
TABS = ["URL"] * 3 + ["Faire", "URL"] + ["FFA", "TDM", "CTF", "Single", "Tourney", "CA", "1v1", "2v2"]


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
    # The messages have no title; the run's progress dialog has one.
    messages = lambda: [w for w in dialogs() if not "".join(xdotool("getwindowname", w))]
    xdotool("windowfocus", "--sync", window)
    # The first entry has the focus, and Tab walks the form in reading order.
    for text in [os.path.join(sample, f) for f in FORM] + [NAME, DESCRIPTION]:
        xdotool("type", "--delay", "0", text)
        xdotool("key", "Tab")
    for widget in TABS:
        xdotool("key", *(["space"] if widget in CHECKED else []), "Tab")
    xdotool("key", "alt+e")
    pk3 = os.path.join(work, NAME + ".pk3")
    said = wait_for("the package's dialog", messages)
    assert os.path.exists(pk3), pk3
    xdotool("windowfocus", "--sync", said[0])
    xdotool("key", "Return")
    wait_for("the dialog gone", lambda: not messages())

    # The very bytes the command line packs, entry for entry.
    entries = "\n".join(package(pk3))
    assert entries in open(os.path.join(SOURCE, "tests", "outputs", "sample.txt")).read(), entries

    xdotool("key", "alt+q")
    xdotool("windowfocus", "--sync", wait_for("the quit question", dialogs)[0])
    xdotool("key", "alt+y")
    assert program.wait(60) == 0
    kept = sorted(os.listdir(work))  # staging left nothing, and Quit removed nothing
    assert kept == ["crateyard.pk3", "sample"], kept
print("packed the sample and quit")
