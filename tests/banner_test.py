"""The installed program, started from its menu entry as a desktop starts it (gio launch), in a home
without ~/Mapcrate: it runs in a new ~/Mapcrate, which holds no mapc.png, and its window shows the
installed banner, found pixel for pixel in the screen.
Run under an X server started with -fbdir FB_DIR: banner_test.py BUILD_DIR FB_DIR"""
import os, re, subprocess, sys, tempfile, time

BUILD, FB_DIR = sys.argv[1:3]


def rgb_rows(*command):
    """The rows of the picture a netpbm converter writes, as RGB bytes."""
    ppm = subprocess.run(command, capture_output=True, check=True).stdout
    size = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", ppm)
    stride = int(size[1]) * 3
    return [ppm[size.end() + y * stride:size.end() + (y + 1) * stride] for y in range(int(size[2]))]


def find(picture, screen):
    """Where picture lies in screen, pixel for pixel, or None."""
    first = picture[0]
    for y in range(len(screen) - len(picture) + 1):
        x = screen[y].find(first)
        while x >= 0:
            if x % 3 == 0 and all(screen[y + i][x:x + len(first)] == row for i, row in enumerate(picture)):
                return x // 3, y
            x = screen[y].find(first, x + 1)
    return None


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=60).stdout.split()


with tempfile.TemporaryDirectory() as tmp:
    prefix, home = os.path.join(tmp, "prefix"), os.path.join(tmp, "home")
    os.mkdir(home)
    subprocess.run(["cmake", "--install", BUILD, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
    banner = rgb_rows("pngtopnm", os.path.join(prefix, "share", "mapcrate", "mapc.png"))
    entry = os.path.join(prefix, "share", "applications", "mapcrate.desktop")
    subprocess.run(["gio", "launch", entry], check=True, cwd=tmp, env=dict(os.environ, HOME=home))
    window = xdotool("search", "--sync", "--maxdepth", "1", "--onlyvisible", "--name", r"^Mapcrate v0\.1$")[0]
    pid = int(xdotool("getwindowpid", window)[0])
    try:
        work = os.path.join(home, "Mapcrate")
        assert os.readlink("/proc/%d/cwd" % pid) == work, os.readlink("/proc/%d/cwd" % pid)
        assert os.readlink("/proc/%d/exe" % pid) == os.path.join(prefix, "bin", "mapcrate")
        assert os.listdir(work) == [], os.listdir(work)
        # The window is drawn a moment after it is mapped.
        deadline = time.monotonic() + 60
        while (where := find(banner, rgb_rows("xwdtopnm", os.path.join(FB_DIR, "Xvfb_screen0")))) is None:
            assert time.monotonic() < deadline, "the banner is not on the screen"
            time.sleep(0.2)
        print("banner found at", where)
    finally:
        os.kill(pid, 15)
