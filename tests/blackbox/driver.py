"""Drives the built Mapcrate window as a user does, under a private Xvfb.

Environment: MAPCRATE (the built program), MAPCRATE_SOURCE_DIR (the source
tree, for data/mapc.png).  Needs Xvfb and xdotool.

    with Session() as s:            # Xvfb + program in a fresh working dir
        s.type_into(ENTRY_BSP, "/path/to/level.bsp")
        s.click(MODE_BUTTONS[0])     # "FFA"
        s.click(EXECUTE)
        d = s.wait_dialog()          # a new dialog window id, or None
        s.answer(d, "Return")        # OK; "alt+y" / "alt+n" for Yes / No
        status = s.wait_exit()

Widget positions come from the fixed layout: a homogeneous table of 8 rows
and 11 columns, each region a fixed fraction of the window, each of its
homogeneous boxes divided evenly.  A widget is a box (left, right, top,
bottom) in window fractions, turned into pixels from the window's real size.
"""

import ctypes
import ctypes.util
import os
import shutil
import subprocess
import tempfile
import time

COLS, ROWS = 11, 8


def _row_in_box(col0, col1, row0, row1, index, count):
    """Fraction box of child index of count in a homogeneous box spanning
    columns col0..col1 and rows row0..row1 of the table."""
    top = row0 / ROWS
    h = (row1 - row0) / ROWS / count
    return (col0 / COLS, col1 / COLS, top + index * h, top + (index + 1) * h)


# Entries: captions and entries alternate in one box of 12 children.
ENTRIES = [_row_in_box(6, 10, 0, 5, 2 * k + 1, 12) for k in range(6)]
ENTRY_TEXTURES, ENTRY_BSP, ENTRY_AAS, ENTRY_LEVELSHOT, ENTRY_MAP_NAME, ENTRY_DESCRIPTION = ENTRIES
# Browse buttons stand level with entries 0..3.
BROWSE = [_row_in_box(10, 11, 0, 5, 2 * k + 1, 12) for k in range(4)]
# Action frame: execute, help, separator, info, clear, quit.
_ACTIONS = [_row_in_box(6, 11, 5, 8, i, 6) for i in range(6)]
EXECUTE, HELP, _SEPARATOR, INFO, CLEAR, QUIT = _ACTIONS
# Check buttons do not expand: each sits at the top of its quarter and is
# only as wide as its label, so aim at the box of the mark near the left.
MODE_NAMES = ["FFA", "TDM", "CTF", "Single", "Tourney", "CA", "1v1", "2v2"]
MODE_BUTTONS = [_row_in_box(0 if i < 4 else 3, 1 if i < 4 else 4, 5, 8, i % 4, 4)
                for i in range(8)]


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def _send_delete(display, window):
    x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.POINTER(_XEvent)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open display " + display)
    try:
        ev = _XEvent()
        ev.xclient.type = 33  # ClientMessage
        ev.xclient.window = window
        ev.xclient.message_type = x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        ev.xclient.format = 32
        ev.xclient.l[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        ev.xclient.l[1] = 0  # CurrentTime
        x.XSendEvent(dpy, window, 0, 0, ctypes.byref(ev))
        x.XFlush(dpy)
    finally:
        x.XCloseDisplay(dpy)


def start_xvfb():
    """Starts Xvfb on a free display; returns (process, ":N").  -noreset:
    a server that resets when its last client leaves refuses connections
    meanwhile, so the program could miss it right after a query."""
    r, w = os.pipe()
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-noreset"],
        pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(w)
    number = b""
    with os.fdopen(r, "rb") as f:
        while not number.endswith(b"\n"):
            c = f.read(1)
            if not c:
                break
            number += c
    if not number.strip():
        proc.kill()
        proc.wait()
        raise RuntimeError("Xvfb did not start")
    return proc, ":" + number.decode().strip()


class Session:
    def __init__(self, workdir=None, copy_banner=True, program=None):
        self.program = program or os.environ["MAPCRATE"]
        self._own_dir = workdir is None
        self.workdir = workdir or tempfile.mkdtemp(prefix="mapcrate-bb-")
        self.xvfb, self.display = start_xvfb()
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("XAUTHORITY", None)
        if copy_banner:
            src = os.path.join(os.environ.get("MAPCRATE_SOURCE_DIR", ""), "data", "mapc.png")
            if os.path.exists(src):
                shutil.copy(src, os.path.join(self.workdir, "mapc.png"))
        self._out = tempfile.TemporaryFile()
        self._err = tempfile.TemporaryFile()
        self.proc = None
        try:
            info = subprocess.run(["xwininfo", "-root"], env=self.env, capture_output=True,
                                  text=True, timeout=20).stdout
            self.root = int(info.split("Window id:")[1].split()[0], 16)
            self.proc = subprocess.Popen([self.program], cwd=self.workdir, env=self.env,
                                         stdout=self._out, stderr=self._err)
            self.window = self._find_main_window()
        except Exception:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def xdotool(self, *args, check=True, timeout=20):
        r = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                           text=True, timeout=timeout)
        if check and r.returncode != 0:
            raise RuntimeError("xdotool %s: %s" % (" ".join(map(str, args)), r.stderr.strip()))
        return r.stdout

    def _find_main_window(self, timeout=20):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("program ended at start-up with status %d: %r" %
                                   (self.proc.returncode, self.output()[1][-2000:]))
            out = self.xdotool("search", "--maxdepth", 1, "--onlyvisible", "--pid",
                               self.proc.pid, "--name", "^Mapcrate v0\\.1$", check=False,
                               timeout=5)
            ids = [int(x) for x in out.split()]
            if ids:
                w = ids[0]
                # Wait until the window has its real size.
                for _ in range(50):
                    if self.geometry(w)[2] >= 100:
                        break
                    time.sleep(0.1)
                time.sleep(0.3)
                return w
            time.sleep(0.1)
        raise RuntimeError("window 'Mapcrate v0.1' not found")

    def geometry(self, w):
        """(x, y, width, height) of window w on the screen."""
        out = self.xdotool("getwindowgeometry", "--shell", w)
        v = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def dialog_title(self, w):
        return self.xdotool("getwindowname", w, check=False).rstrip("\n")

    def cell_point(self, widget, fx=0.5, fy=0.5):
        """Window-relative pixel inside a widget's fraction box."""
        _, _, width, height = self.geometry(self.window)
        left, right, top, bottom = widget
        return (int(width * (left + (right - left) * fx)),
                int(height * (top + (bottom - top) * fy)))

    def mode_point(self, i):
        """The check mark of game mode i.  Its frame's label takes a fixed
        height above the box, so the four rows start below it."""
        _, _, width, height = self.geometry(self.window)
        left = width * (0 if i < 4 else 3) / COLS
        top, bottom = height * 5 / ROWS, height
        label = 17
        row = (bottom - top - label - 2) / 4
        return int(left + 12), int(top + label + row * (i % 4 + 0.5))

    def click(self, widget, fx=0.5, fy=0.5):
        if widget in MODE_BUTTONS:
            x, y = self.mode_point(MODE_BUTTONS.index(widget))
        else:
            x, y = self.cell_point(widget, fx, fy)
        self.xdotool("mousemove", "--window", self.window, x, y)
        time.sleep(0.1)
        self.xdotool("click", 1)
        time.sleep(0.3)

    def focus(self, w):
        self.xdotool("windowfocus", "--sync", w, check=False)
        time.sleep(0.2)

    def key(self, *keys):
        self.xdotool("key", "--delay", 50, *keys)
        time.sleep(0.3)

    def type_into(self, entry, text):
        self.focus(self.window)
        self.click(entry)
        self.key("ctrl+a")
        self.xdotool("type", "--delay", 10, text)
        time.sleep(0.2)

    def windows(self):
        """Visible toplevel windows of the program."""
        if self.proc.poll() is not None:
            return []
        # Without a window manager the toplevels are the root's own children.
        out = self.xdotool("search", "--maxdepth", 1, "--onlyvisible", "--pid", self.proc.pid,
                           "--name", "", check=False, timeout=5)
        return [int(x) for x in out.split() if int(x) != self.root]

    def wait_dialog(self, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            others = [w for w in self.windows() if w != self.window]
            if others:
                time.sleep(0.3)
                return others[-1]
            time.sleep(0.1)
        return None

    def wait_no_dialog(self, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not [w for w in self.windows() if w != self.window]:
                return True
            time.sleep(0.1)
        return False

    def answer(self, w, *keys):
        self.focus(w)
        self.key(*keys)

    def close_from_frame(self, w=None):
        _send_delete(self.display, w if w is not None else self.window)
        time.sleep(0.2)

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=10):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        self._out.seek(0)
        self._err.seek(0)
        return self._out.read(), self._err.read()

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
            self.xvfb = None
        for f in (self._out, self._err):
            if not f.closed:
                f.close()
        if self._own_dir and os.path.isdir(self.workdir):
            shutil.rmtree(self.workdir, ignore_errors=True)
