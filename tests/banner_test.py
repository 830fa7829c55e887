"""The installed program, started from its menu entry as a desktop starts it (gio launch), in a home
without ~/Mapcrate: it runs in a new ~/Mapcrate, which holds no mapc.png, and its window shows the
installed banner, found pixel for pixel in the screen.
Run under an X server started with -fbdir FB_DIR: banner_test.py BUILD_DIR FB_DIR"""
import os, struct, subprocess, sys, tempfile, time, zlib

BUILD, FB_DIR = sys.argv[1:3]


def png_rgb_rows(path):
    """The rows of an 8-bit RGB PNG as bytes, three per pixel."""
    data = open(path, "rb").read()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), "not 8-bit RGB"
        elif kind == b"IDAT":
            idat += body
        pos += length + 12
    raw, stride, rows, prev = zlib.decompress(idat), width * 3, [], bytes(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b, c = line[i - 3] if i >= 3 else 0, prev[i], prev[i - 3] if i >= 3 else 0
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            line[i] = (line[i] + (0, a, b, (a + b) // 2,
                                  a if pa <= pb and pa <= pc else b if pb <= pc else c)[kind]) & 255
        rows.append(bytes(line))
        prev = line
    return rows


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
    banner = png_rgb_rows(os.path.join(prefix, "share", "mapcrate", "mapc.png"))
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
