"""Execute, validation and browsing, driven through the built window.

Each test starts the program under its own Xvfb in a fresh working folder
(driver.Session), fills the form with real clicks and typed keys, and then
looks at what the program left in that folder and wrote on stdout.
"""
import os
import shutil
import subprocess
import time
import unittest
import zipfile

import driver
from driver import (BROWSE, ENTRIES, ENTRY_AAS, ENTRY_BSP, ENTRY_DESCRIPTION, ENTRY_LEVELSHOT,
                    ENTRY_MAP_NAME, ENTRY_TEXTURES, MODE_BUTTONS, Session)

SAMPLE = os.path.join(os.environ.get("MAPCRATE_SOURCE_DIR", "../.."), "samples", "crateyard")

CREDITS = (b"pk3 creer avec Mapcrate v0.1\r\nhttp://mapcrate.example.org/\r\n\r\n"
           b"Mapcrate (c) 2026 son auteur\r\n\r\n\r\nMerci a l'auteur de minizip\r\n"
           b"https://www.zlib.net/")
STAGING = ["levelshots", "maps", "scripts", "textures"]


def arena(name, description, types):
    return ('{\r\nmap "%s"\r\nbots "phobos"\r\nlongname "%s"\r\nfraglimit 20\r\n'
            'timelimit 60\r\ntype "%s"\r\n}\r\n' % (name, description, types)).encode()


class Form:
    """The form of a running session, as a user fills it."""

    def __init__(self, session):
        self.s = session
        self.work = session.workdir

    def fill(self, textures="", bsp="", aas="", levelshot="", name="", description="",
             modes=()):
        for entry, text in zip(ENTRIES, (textures, bsp, aas, levelshot, name, description)):
            if text:
                self.s.type_into(entry, text)
        for m in modes:
            self.s.click(MODE_BUTTONS[m])

    def execute(self, name, answer=None, timeout=120):
        """Presses Execute and waits until <name>.pk3 is (re)written.
        answer: keys for the game-mode question, if one is expected."""
        pk3 = os.path.join(self.work, name + ".pk3")
        before = os.stat(pk3) if os.path.exists(pk3) else None
        self.press("alt+e")
        if answer:
            q = self.s.wait_dialog()
            assert q is not None, "no game-mode question"
            self.s.answer(q, answer)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(pk3):
                now = os.stat(pk3)
                if before is None or (now.st_ino, now.st_mtime_ns) != (before.st_ino,
                                                                       before.st_mtime_ns):
                    break
            time.sleep(0.1)
        else:
            raise AssertionError(name + ".pk3 not written")
        # The packer renames a finished archive into place; let the handler end.
        time.sleep(0.5)
        return pk3

    def refused(self, keys="Return"):
        """Presses Execute, expects one dialog, answers it; returns whether a
        single dialog came and went."""
        self.press("alt+e")
        d = self.s.wait_dialog()
        if d is None:
            return False
        self.s.answer(d, keys)
        return self.s.wait_no_dialog() and self.s.running()

    def press(self, mnemonic):
        """Presses a button of the window by its mnemonic (alt+e Execute,
        alt+q Quit), as a user at the keyboard does."""
        self.s.focus(self.s.window)
        self.s.key(mnemonic)

    def stdout(self):
        self.s._out.flush()
        return self.s.output()[0]

    def listing(self):
        return sorted(n for n in os.listdir(self.work) if n not in ("mapc.png", "src"))


class ExecuteCase(unittest.TestCase):
    def setUp(self):
        self.s = Session()
        self.addCleanup(self.s.close)
        self.form = Form(self.s)
        self.work = self.s.workdir
        # Sources under names a user has: spaces, accented letters.
        src = os.path.join(self.work, "src")
        self.tex = os.path.join(src, "mes textures")
        self.bsp = os.path.join(src, "ma carte", "crate yard.bsp")
        self.aas = os.path.join(src, "donn\u00e9es", "b\u00f4t.aas")
        self.shot = os.path.join(src, "levelshot.jpg")
        shutil.copytree(os.path.join(SAMPLE, "textures"), self.tex)
        os.makedirs(os.path.dirname(self.bsp))
        os.makedirs(os.path.dirname(self.aas))
        shutil.copy(os.path.join(SAMPLE, "crateyard.bsp"), self.bsp)
        shutil.copy(os.path.join(SAMPLE, "crateyard.aas"), self.aas)
        shutil.copy(os.path.join(SAMPLE, "levelshot.jpg"), self.shot)

    def read(self, *parts):
        with open(os.path.join(self.work, *parts), "rb") as f:
            return f.read()

    def expected_entries(self, dirs):
        names = []
        for d in dirs:
            for n in os.listdir(os.path.join(self.work, d)):
                if os.path.isfile(os.path.join(self.work, d, n)):
                    names.append(d + "/" + n)
        return names + ["mapcrate"]

    def check_archive(self, pk3, dirs):
        self.assertEqual(subprocess.run(["unzip", "-t", "-q", pk3],
                                        stdout=subprocess.DEVNULL).returncode, 0)
        with zipfile.ZipFile(pk3) as z:
            self.assertIsNone(z.testzip())
            infos = z.infolist()
            self.assertEqual([i.filename for i in infos], self.expected_entries(dirs))
            for i in infos:
                self.assertEqual(i.compress_type, zipfile.ZIP_DEFLATED, i.filename)
                self.assertEqual(z.read(i), self.read(i.filename), i.filename)
            return [i.filename for i in infos]

    def test_whole_form_packs_the_map(self):
        self.form.fill(textures=self.tex, bsp=self.bsp, aas=self.aas, levelshot=self.shot,
                       name="crateyard", description="Cour aux caisses \u00e9t\u00e9",
                       modes=(0, 2, 7))
        pk3 = self.form.execute("crateyard")
        self.assertEqual(self.form.listing(), sorted(["crateyard.pk3", "mapcrate"] + STAGING))
        self.assertEqual(sorted(os.listdir(os.path.join(self.work, "maps"))),
                         ["crateyard.aas", "crateyard.bsp"])
        self.assertEqual(self.read("maps", "crateyard.bsp"), open(self.bsp, "rb").read())
        self.assertEqual(self.read("maps", "crateyard.aas"), open(self.aas, "rb").read())
        self.assertEqual(self.read("levelshots", "crateyard.jpg"), open(self.shot, "rb").read())
        self.assertEqual(sorted(os.listdir(os.path.join(self.work, "textures"))),
                         sorted(os.listdir(self.tex)))
        names = self.check_archive(pk3, ["textures", "maps", "levelshots", "scripts"])
        self.assertEqual(len(names), 4 + 2 + 1 + 1 + 1)
        self.assertEqual(self.read("scripts", "crateyard.arena"),
                         arena("crateyard", "Cour aux caisses \u00e9t\u00e9", "ffa ctf 2v2 "))
        self.assertEqual(self.read("mapcrate"), CREDITS)
        self.assertEqual(self.s.windows(), [self.s.window], "a dialog after a good Execute")

        out = self.form.stdout()
        for line in (b"Creation du dossier : maps/\n\n", b"Creation du dossier : textures/\n\n",
                     b"Creation du dossier : levelshots/\n\n",
                     b"Creation du dossier : scripts/\n\n",
                     b"Creation du fichier : scripts/crateyard.arena\n\n",
                     ("Copie du fichier crate yard.bsp vers le dossier : crateyard/maps/\n :cp \"%s\""
                      " \"maps/crateyard.bsp\"\n\n" % self.bsp).encode(),
                     ("Copie du fichier b\u00f4t.aas vers le dossier : crateyard/maps/\n").encode(),
                     b"creating crateyard.pk3\n"):
            self.assertIn(line, out)
        self.assertLess(out.index(b"Creation du dossier : maps/"), out.index(b"creating"))

    def test_each_refusal_shows_a_message_and_creates_nothing(self):
        missing = os.path.join(self.work, "src", "absent.bsp")
        folder = os.path.dirname(self.bsp)
        cases = [
            ("textures folder is a file", dict(textures=self.shot, bsp=self.bsp, name="m")),
            ("BSP missing", dict(bsp=missing, name="m")),
            ("BSP is a folder", dict(bsp=folder, name="m")),
            ("AAS is a folder", dict(bsp=self.bsp, aas=folder, name="m")),
            ("levelshot missing", dict(bsp=self.bsp, levelshot=missing, name="m")),
            ("map name empty", dict(bsp=self.bsp)),
            ("BSP empty", dict(aas=self.aas, name="m")),
            ("map name leaves the folder", dict(bsp=self.bsp, name="../m")),
        ]
        self.s.click(MODE_BUTTONS[0])
        for what, fields in cases:
            with self.subTest(what):
                # Clear the form between cases by typing over every entry.
                for entry in ENTRIES:
                    self.s.type_into(entry, " ")
                    self.s.key("BackSpace")
                self.form.fill(**fields)
                self.assertTrue(self.form.refused(), what)
                self.assertEqual(self.form.listing(), [], what)
        self.assertNotIn(b"Creation", self.form.stdout())

    def test_no_game_mode_no_stops_yes_packs_with_no_type(self):
        self.form.fill(bsp=self.bsp, name="bare")
        self.assertTrue(self.form.refused("alt+n"))
        self.assertEqual(self.form.listing(), [])
        pk3 = self.form.execute("bare", answer="alt+y")
        self.assertEqual(self.read("scripts", "bare.arena"), arena("bare", "", ""))
        self.assertEqual(self.form.listing(), ["bare.pk3", "mapcrate", "maps", "scripts"])
        self.check_archive(pk3, ["maps", "scripts"])

    def browse(self, k, *choices):
        """Opens browse button k and types each choice into the dialog's name
        field; returns the number of messages shown and whether the dialog
        is gone at the end."""
        self.s.click(BROWSE[k])
        fs = self.s.wait_dialog()
        self.assertIsNotNone(fs)
        self.assertEqual(self.s.dialog_title(fs), "S\u00e9lectionnez un fichier")
        messages = 0
        for choice in choices:
            self.s.focus(fs)
            self.s.key("ctrl+a")
            self.s.xdotool("type", "--delay", 10, choice)
            self.s.key("Return")
            others = [w for w in self.s.windows() if w not in (self.s.window, fs)]
            if others:
                messages += 1
                self.s.answer(others[-1], "Return")
                time.sleep(0.3)
        return messages, fs not in self.s.windows()

    def test_browse_refuses_then_takes_a_file(self):
        # A folder is refused for the BSP, the file itself is taken.
        messages, gone = self.browse(1, os.path.dirname(self.bsp), self.bsp)
        self.assertEqual((messages, gone), (1, True))
        # A file is refused for the textures, then the folder is taken.
        messages, gone = self.browse(0, self.shot, self.tex)
        self.assertEqual((messages, gone), (1, True))
        # Cancel (Escape) keeps what the entry holds.
        self.s.click(BROWSE[2])
        fs = self.s.wait_dialog()
        self.s.answer(fs, "Escape")
        self.assertTrue(self.s.wait_no_dialog())
        self.s.type_into(ENTRY_MAP_NAME, "picked")
        self.s.click(MODE_BUTTONS[4])
        pk3 = self.form.execute("picked")
        self.assertEqual(self.read("maps", "picked.bsp"), open(self.bsp, "rb").read())
        self.assertEqual(sorted(os.listdir(os.path.join(self.work, "textures"))),
                         sorted(os.listdir(self.tex)))
        self.check_archive(pk3, ["textures", "maps", "scripts"])

    def test_execute_twice_then_another_map_then_quit(self):
        empty = os.path.join(self.work, "src", "empty textures")
        os.makedirs(os.path.join(empty, "only a folder"))
        self.form.fill(textures=empty, bsp=self.bsp, levelshot=self.shot, name="first",
                       modes=(1,))
        pk3 = self.form.execute("first")
        first = self.check_archive(pk3, ["textures", "maps", "levelshots", "scripts"])
        self.assertEqual(os.listdir(os.path.join(self.work, "textures")), [])
        # execute() waits for a new archive to replace the first one.
        self.form.execute("first")
        self.assertEqual(self.check_archive(pk3, ["textures", "maps", "levelshots", "scripts"]),
                         first)

        self.s.type_into(ENTRY_MAP_NAME, "second")
        pk3 = self.form.execute("second")
        names = self.check_archive(pk3, ["textures", "maps", "levelshots", "scripts"])
        for n in ("maps/first.bsp", "maps/second.bsp", "levelshots/first.jpg",
                  "levelshots/second.jpg", "scripts/first.arena", "scripts/second.arena"):
            self.assertIn(n, names)

        self.form.press("alt+q")
        q = self.s.wait_dialog()
        self.assertIsNotNone(q)
        self.s.answer(q, "alt+y")
        self.assertEqual(self.s.wait_exit(), 0)
        # The empty textures folder and the credits file go; the rest stays.
        self.assertEqual(self.form.listing(),
                         ["first.pk3", "levelshots", "maps", "scripts", "second.pk3"])


if __name__ == "__main__":
    unittest.main()
