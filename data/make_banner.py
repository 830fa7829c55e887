#!/usr/bin/env python3
"""Draws data/mapc.png, the window's banner: a wooden crate on a night-blue
ground with the tool's name.  Pure Python (zlib + struct), no image library.
Sized for six of eleven columns and five of eight rows of a 480x480 window.
Also draws the menu icons data/icons/mapcrate-48.png and -128.png: the same
crate on a tile of the same ground."""

import os
import struct
import zlib

W, H = 256, 296

FONT = {  # 5x7 glyphs, one string per row
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "C": ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    " ": ["00000"] * 7,
}


def blank():
    img = []
    for y in range(H):
        t = y / (H - 1)
        row = [(int(20 + 30 * t), int(32 + 40 * t), int(70 + 50 * t))] * W
        img.append(row)
    return img


def inside(poly, x, y):
    hit = False
    n = len(poly)
    for i in range(n):
        x1, y1 = poly[i]
        x2, y2 = poly[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            hit = not hit
    return hit


def fill(img, poly, shade):
    H, W = len(img), len(img[0])
    xs = [p[0] for p in poly]
    ys = [p[1] for p in poly]
    for y in range(max(0, int(min(ys))), min(H, int(max(ys)) + 1)):
        for x in range(max(0, int(min(xs))), min(W, int(max(xs)) + 1)):
            if inside(poly, x + 0.5, y + 0.5):
                img[y][x] = shade(x, y)


def wood(base, plank_axis):
    def shade(x, y):
        u = plank_axis(x, y)
        grain = (u % 14)
        k = 0.72 if grain < 1.5 else 1.0 - 0.05 * ((x * 7 + y * 3) % 3)
        return tuple(min(255, int(c * k)) for c in base)
    return shade


def text(img, s, x0, y0, scale, colour):
    H, W = len(img), len(img[0])
    for ch in s:
        glyph = FONT[ch]
        for gy, bits in enumerate(glyph):
            for gx, b in enumerate(bits):
                if b == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            x, y = x0 + gx * scale + dx, y0 + gy * scale + dy
                            if 0 <= x < W and 0 <= y < H:
                                img[y][x] = colour
        x0 += 6 * scale


def text_width(s, scale):
    return len(s) * 6 * scale - scale


def crate(img, cx, top, s, label=True):
    """A crate seen from above a corner: top corner at (cx, top), edge s."""
    H, W = len(img), len(img[0])
    k = s / 70  # the banner's crate has an edge of 70
    hx, hy = s * 0.87, s * 0.5
    a = (cx, top)
    b = (cx + hx, top + hy)
    c = (cx, top + 2 * hy)
    d = (cx - hx, top + hy)
    # Shadow, then the three faces.
    fill(img, [(cx - hx - 10 * k, top + hy + s + 8 * k), (cx, top + 2 * hy + s + 4 * k),
               (cx + hx + 14 * k, top + hy + s + 8 * k), (cx, top + s + 24 * k)],
         lambda x, y: (14, 20, 40))
    fill(img, [a, b, c, d],
         wood((222, 170, 92), lambda x, y: ((x - cx) * 0.5 + (y - top)) / k))
    fill(img, [d, c, (c[0], c[1] + s), (d[0], d[1] + s)],
         wood((178, 124, 60), lambda x, y: (y - (x - d[0]) * hy / hx) / k))
    fill(img, [c, b, (b[0], b[1] + s), (c[0], c[1] + s)],
         wood((140, 94, 44), lambda x, y: (y + (x - c[0]) * hy / hx) / k))
    # Edges in dark brown.
    for p, q in ((a, b), (b, c), (c, d), (d, a), (d, (d[0], d[1] + s)), (c, (c[0], c[1] + s)),
                 (b, (b[0], b[1] + s)), ((d[0], d[1] + s), (c[0], c[1] + s)),
                 ((c[0], c[1] + s), (b[0], b[1] + s))):
        n = int(max(abs(q[0] - p[0]), abs(q[1] - p[1]))) + 1
        for i in range(n + 1):
            x = int(p[0] + (q[0] - p[0]) * i / n)
            y = int(p[1] + (q[1] - p[1]) * i / n)
            for dx in range(max(2, round(2 * k))):
                for dy in range(max(1, round(k))):
                    if 0 <= x + dx < W and 0 <= y + dy < H:
                        img[y + dy][x + dx] = (70, 42, 18)
    if label:
        t, scale = ".PK3", max(1, round(2 * k))
        text(img, t, int(cx - hx / 2 - text_width(t, scale) / 2) + 2,
             int(top + hy * 1.5 + s / 2 - 10 * k), scale, (250, 236, 200))


def draw():
    img = blank()
    # Stars.
    for i in range(60):
        x, y = (i * 97) % W, (i * 53) % 150
        img[y][x] = (200, 210, 230)
    crate(img, 128, 40, 70)
    name = "MAPCRATE"
    text(img, name, (W - text_width(name, 4)) // 2, 214, 4, (255, 208, 80))
    ver = "V0.1"
    text(img, ver, (W - text_width(ver, 2)) // 2, 258, 2, (200, 214, 240))
    return img


SUPERSAMPLE = 4


def icon(size):
    """RGBA rows: the crate on a rounded tile of the banner's ground."""
    n = size * SUPERSAMPLE
    img = [[(int(20 + 30 * y / (n - 1)), int(32 + 40 * y / (n - 1)), int(70 + 50 * y / (n - 1)))] * n
           for y in range(n)]
    s = n * 0.36
    crate(img, n / 2, n * 0.08, s, label=size >= 128)
    radius = n * 0.16
    out = []
    for y in range(size):
        row = []
        for x in range(size):
            acc, cover = [0, 0, 0], 0
            for sy in range(y * SUPERSAMPLE, (y + 1) * SUPERSAMPLE):
                for sx in range(x * SUPERSAMPLE, (x + 1) * SUPERSAMPLE):
                    # Distance outside the rounded corners: those samples are clear.
                    dx = max(radius - sx - 0.5, sx + 0.5 - (n - radius), 0)
                    dy = max(radius - sy - 0.5, sy + 0.5 - (n - radius), 0)
                    if dx * dx + dy * dy <= radius * radius:
                        cover += 1
                        acc = [a + c for a, c in zip(acc, img[sy][sx])]
            row.append(tuple(a // cover for a in acc) + (255 * cover // SUPERSAMPLE ** 2,)
                       if cover else (0, 0, 0, 0))
        out.append(row)
    return out


def png(img):
    H, W, channels = len(img), len(img[0]), len(img[0][0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in img)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2 if channels == 3 else 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "mapc.png"), "wb") as f:
        f.write(png(draw()))
    os.makedirs(os.path.join(here, "icons"), exist_ok=True)
    for size in (48, 128):
        with open(os.path.join(here, "icons", "mapcrate-%d.png" % size), "wb") as f:
            f.write(png(icon(size)))
