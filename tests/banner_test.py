"""The installed program, started from its menu entry as a desktop starts it (gio launch), in a home
without ~/Mapcrate: it runs in a new ~/Mapcrate, which holds no mapc.png, and its window shows the
installed banner, found pixel for pixel in the screen.
Run under an X server started with -fbdir FB_DIR: banner_test.py BUILD_DIR FB_DIR"""
import os, struct, subprocess, sys, tempfile, time

BUILD, FB_DIR = sys.argv[1:3]


def png_rgb_rows(path, scratch):
    """The rows of an RGB PNG, three bytes a pixel, as gdk-pixbuf-pixdata decodes it (raw, big-endian)."""
    subprocess.run(["gdk-pixbuf-pixdata", path, scratch], check=True)
    data = open(scratch, "rb").read()
    kind, stride, width, height = struct.unpack(">4I", data[8:24])
    assert kind == 0x01010001, "not raw 8-bit RGB"
    return [data[24 + y * stride:24 + y * stride + width * 3] for y in range(height)]


def screen_rgb_rows():
    """The screen's rows as RGB bytes, read from Xvfb's framebuffer file (an XWD image)."""
    data = open(os.path.join(FB_DIR, "Xvfb_screen0"), "rb").read()
    h = struct.unpack(">25I", data[:100])
    header, width, height, order, bpp, stride, ncolours = h[0], h[4], h[5], h[7], h[11], h[12], h[19]
    assert bpp == 32 and h[14:17] == (0xFF0000, 0xFF00, 0xFF), "expected a 24-bit TrueColor screen"
    start = header + ncolours * 12
    rows = []
    for y in range(height):
        line = data[start + y * stride:start + y * stride + width * 4]
        # Least significant byte first: blue, green, red, pad.
        b, g, r = (line[0::4], line[1::4], line[2::4]) if order == 0 else (line[3::4], line[2::4], line[1::4])
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = r, g, b
        rows.append(bytes(rgb))
    return rows


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
    banner = png_rgb_rows(os.path.join(prefix, "share", "mapcrate", "mapc.png"), os.path.join(tmp, "banner"))
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
        while (where := find(banner, screen_rgb_rows())) is None:
            assert time.monotonic() < deadline, "the banner is not on the screen"
            time.sleep(0.2)
        print("banner found at", where)
    finally:
        os.kill(pid, 15)
