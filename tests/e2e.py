"""The built program driven through its window with the keyboard: fill the
form with the sample map, Execute, read the package back, then Quit with Yes.

Usage (under an X server, e.g. xvfb-run): e2e.py PROGRAM SOURCE_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

PROGRAM, SOURCE = sys.argv[1], sys.argv[2]
# Where the sample's files lie inside its folder, and what each becomes.
FORM = ["textures", "maps/crateyard.bsp", "maps/crateyard.aas", "levelshots/crateyard.jpg"]
MAP, DESCRIPTION, MODES = "crateyard", "Crate Yard", ["FFA", "Tourney"]
TEXTURES = ["crate_metal.tga", "crate_wood.tga", "yard_floor.tga", "yard_wall.tga"]
STAGED = {"textures/crateyard/" + t: "textures/crateyard/" + t for t in TEXTURES}
STAGED.update({"maps/crateyard.bsp": FORM[1], "maps/crateyard.aas": FORM[2],
               "levelshots/crateyard.jpg": FORM[3],
               "scripts/crateyard.shader": "scripts/crateyard.shader"})
ARENA = (b'{\r\nmap "crateyard"\r\nbots "phobos"\r\nlongname "Crate Yard"\r\nfraglimit 20\r\n'
         b'timelimit 60\r\ntype "ffa tourney "\r\n}\r\n')
# Tab order past the description: the four browse buttons, then the modes.
MODE_ORDER = ["URL"] * 4 + ["FFA", "TDM", "CTF", "Single", "Tourney", "CA", "1v1", "2v2"]


def xdotool(*args):
    # A search that finds nothing ends with status 1 and no output.
    return subprocess.run(["xdotool", *args], capture_output=True, text=True,
                          timeout=60).stdout.split()


def wait_for(what, condition, trouble=lambda: None):
    deadline = time.monotonic() + 60
    while not (found := condition()):
        if trouble() or time.monotonic() > deadline:
            raise AssertionError("%s while waiting for %s" % (trouble() or "timed out", what))
        time.sleep(0.05)
    return found


class EndToEnd(unittest.TestCase):
    def test_pack_the_sample_then_quit(self):
        work = tempfile.mkdtemp(prefix="mapcrate-e2e-")
        self.addCleanup(shutil.rmtree, work)
        sample = os.path.join(work, "sample")
        shutil.copytree(os.path.join(SOURCE, "samples", MAP), sample)
        program = subprocess.Popen([PROGRAM], cwd=work)
        self.addCleanup(lambda: program.poll() is None and (program.kill(), program.wait()))
        # Without a window manager the program's windows are the root's children.
        shown = lambda *match: xdotool("search", "--maxdepth", "1", "--onlyvisible", *match)
        window = shown("--sync", "--name", r"^Mapcrate v0\.1$")[0]
        others = lambda: [w for w in shown("--class", "^mapcrate$") if w != window]
        xdotool("windowfocus", "--sync", window)
        # The first entry has the focus; Tab walks the form in reading order.
        for text in [os.path.join(sample, p) for p in FORM] + [MAP, DESCRIPTION]:
            xdotool("type", "--delay", "0", text)
            xdotool("key", "Tab")
        for mode in MODE_ORDER:
            if mode in MODES:
                xdotool("key", "space")
            xdotool("key", "Tab")
        xdotool("key", "alt+e")

        pk3 = os.path.join(work, MAP + ".pk3")
        wait_for(pk3, lambda: os.path.exists(pk3),
                 lambda: others() and "Execute showed a dialog (are the FORM paths right?)")
        self.assertEqual(subprocess.run(["unzip", "-tqq", pk3]).returncode, 0)
        with zipfile.ZipFile(pk3) as z:
            self.assertIsNone(z.testzip())
            names = z.namelist()
            self.assertEqual(set(names), set(STAGED) | {"scripts/crateyard.arena", "mapcrate"})
            self.assertEqual(len(names), len(set(names)))
            tops = [n.split("/")[0] for n in names]
            order = ["textures", "maps", "levelshots", "scripts", "mapcrate"]
            self.assertEqual(tops, sorted(tops, key=order.index))
            self.assertEqual(z.read("scripts/crateyard.arena"), ARENA)
            for entry, source in STAGED.items():
                with open(os.path.join(sample, source), "rb") as f:
                    self.assertEqual(z.read(entry), f.read(), entry)

        xdotool("key", "alt+q")
        question = wait_for("the quit question", others)[0]
        xdotool("windowfocus", "--sync", question)
        xdotool("key", "alt+y")
        self.assertEqual(program.wait(60), 0)
        self.assertEqual(sorted(os.listdir(work)), sorted(
            ["sample", MAP + ".pk3", "levelshots", "maps", "scripts", "textures"]))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
