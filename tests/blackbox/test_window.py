"""The built window driven with real input: Quit, its question, the frame's close."""

import os
import shutil
import tempfile
import unittest

import driver


def snapshot(root):
    """Every path under root with the bytes of each file."""
    seen = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for d in dirnames:
            seen[os.path.relpath(os.path.join(dirpath, d), root) + "/"] = None
        for f in filenames:
            p = os.path.join(dirpath, f)
            with open(p, "rb") as fh:
                seen[os.path.relpath(p, root)] = fh.read()
    return seen


class WindowTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="mapcrate-window-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        # What an earlier Execute leaves: one staging dir with a file, three empty, credits.
        for d in ("maps", "textures", "scripts", "levelshots"):
            os.mkdir(os.path.join(self.dir, d))
        with open(os.path.join(self.dir, "maps", "arena.bsp"), "wb") as f:
            f.write(b"IBSP")
        with open(os.path.join(self.dir, "mapcrate"), "wb") as f:
            f.write(b"credits\r\n")

    def start(self, **kw):
        s = driver.Session(workdir=self.dir, **kw)
        self.addCleanup(s.close)
        return s

    def quit_dialog(self, s):
        s.click(driver.QUIT)
        d = s.wait_dialog()
        self.assertIsNotNone(d, "no quit question")
        return d

    def test_quit_yes_ends_with_status_0_and_removes_only_empty_dirs_and_credits(self):
        s = self.start()
        s.answer(self.quit_dialog(s), "alt+y")
        self.assertEqual(s.wait_exit(), 0)
        self.assertEqual(sorted(os.listdir(self.dir)), ["mapc.png", "maps"])
        self.assertEqual(os.listdir(os.path.join(self.dir, "maps")), ["arena.bsp"])

    def test_quit_no_keeps_window_and_disk(self):
        s = self.start()
        before = snapshot(self.dir)
        s.answer(self.quit_dialog(s), "alt+n")
        self.assertTrue(s.wait_no_dialog(), "question still up")
        self.assertTrue(s.running())
        self.assertIn(s.window, s.windows())
        self.assertEqual(snapshot(self.dir), before)
        # Still answering: the question comes again.
        s.answer(self.quit_dialog(s), "alt+n")
        self.assertTrue(s.running())

    def test_question_closed_from_frame_counts_as_no(self):
        s = self.start()
        before = snapshot(self.dir)
        s.close_from_frame(self.quit_dialog(s))
        self.assertTrue(s.wait_no_dialog(), "question still up")
        self.assertTrue(s.running())
        self.assertEqual(snapshot(self.dir), before)

    def test_close_from_frame_ends_with_status_0_without_question_or_cleanup(self):
        s = self.start()
        before = snapshot(self.dir)
        s.close_from_frame()
        self.assertEqual(s.wait_exit(), 0)
        self.assertEqual(snapshot(self.dir), before)

    def test_quit_yes_in_the_programs_own_folder_keeps_the_program(self):
        # The credits file and the program share the name "mapcrate".
        os.remove(os.path.join(self.dir, "mapcrate"))
        program = os.path.join(self.dir, "mapcrate")
        shutil.copy2(os.environ["MAPCRATE"], program)
        s = self.start(program=program)
        s.answer(self.quit_dialog(s), "alt+y")
        self.assertEqual(s.wait_exit(), 0)
        self.assertTrue(os.access(program, os.X_OK), "Quit deleted the running program")
        self.assertFalse(os.path.exists(os.path.join(self.dir, "textures")))

    def test_opens_without_banner_and_dialogs_answer_with_return(self):
        s = self.start(copy_banner=False)
        for button in (driver.HELP, driver.INFO):
            s.click(button)
            d = s.wait_dialog()
            self.assertIsNotNone(d)
            s.answer(d, "Return")
            self.assertTrue(s.wait_no_dialog())
        self.assertTrue(s.running())
        self.assertFalse(os.path.exists(os.path.join(self.dir, "mapc.png")))


if __name__ == "__main__":
    unittest.main()
