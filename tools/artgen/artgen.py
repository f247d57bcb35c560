#!/usr/bin/env python3
"""Draws Coralin's artwork: the about-box splash, the slider track and thumb bitmaps and the
four dialog cursors, as BMP and CUR files.

  artgen.py OUT_FOLDER          write every file
  artgen.py --check FOLDER      exit 1 naming each file that differs from a fresh drawing

The drawing is deterministic so the files kept beside the resource description can be
checked against the tool in the tests.
"""
import math
import os
import struct
import sys

# The house palette the other plug-ins' about boxes use: deep blue, teal, warm white.
NAVY = (24, 40, 86)
TEAL = (32, 128, 140)
CREAM = (248, 244, 232)
FACE = (212, 208, 200)
SHADOW = (128, 128, 128)
HILITE = (255, 255, 255)
DARK = (64, 64, 64)


class Canvas:
    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x, y, w, h, c):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, c)

    def bevel(self, x, y, w, h, raised=True):
        top, bottom = (HILITE, SHADOW) if raised else (SHADOW, HILITE)
        for xx in range(x, x + w):
            self.put(xx, y, top)
            self.put(xx, y + h - 1, bottom)
        for yy in range(y, y + h):
            self.put(x, yy, top)
            self.put(x + w - 1, yy, bottom)

    def bmp(self):
        """24-bit bottom-up BMP file bytes."""
        stride = (self.w * 3 + 3) & ~3
        rows = bytearray()
        for y in range(self.h - 1, -1, -1):
            row = bytearray()
            for r, g, b in self.px[y]:
                row += bytes((b, g, r))
            row += b"\0" * (stride - len(row))
            rows += row
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
        head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
        return head + info + bytes(rows)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def splash():
    """470 x 316: the about box's client is 472 x 318 and the splash sits at (1, 1)."""
    c = Canvas(470, 316, CREAM)
    for y in range(316):
        t = y / 315
        for x in range(470):
            c.px[y][x] = lerp(NAVY, TEAL, min(1.0, t * 0.8 + x / 470 * 0.2))
    # A coral branch: a recursive fan of strokes, the product's emblem.
    def branch(x, y, angle, length, depth):
        if depth == 0 or length < 3:
            return
        x2 = x + length * math.cos(angle)
        y2 = y - length * math.sin(angle)
        steps = int(length * 2) + 1
        width = max(1, depth // 2)
        for s in range(steps + 1):
            px = x + (x2 - x) * s / steps
            py = y + (y2 - y) * s / steps
            c.rect(int(px) - width // 2, int(py) - width // 2, width, width, (250, 128, 96))
        branch(x2, y2, angle + 0.42, length * 0.72, depth - 1)
        branch(x2, y2, angle - 0.38, length * 0.68, depth - 1)
    branch(120, 290, math.pi / 2, 70, 8)
    # Light band across the lower third for the product text the dialog draws over it.
    c.rect(0, 236, 470, 2, CREAM)
    c.rect(0, 312, 470, 4, CREAM)
    c.bevel(0, 0, 470, 316, raised=False)
    return c


def track():
    """333 x 31: the slider placeholder; thumb travel runs from x 14 to x 314."""
    c = Canvas(333, 31, FACE)
    c.bevel(12, 18, 309, 4, raised=False)
    c.rect(13, 19, 307, 2, DARK)
    for i in range(11):
        x = 18 + i * 30
        c.rect(x, 24, 1, 4 if i % 5 == 0 else 2, SHADOW)
    return c


def thumb(pressed):
    """9 x 17 thumb; the pressed state is sunken and tinted."""
    c = Canvas(9, 17, TEAL if pressed else FACE)
    c.bevel(0, 0, 9, 17, raised=not pressed)
    c.rect(4, 4, 1, 9, SHADOW if not pressed else HILITE)
    return c


def cursor(kind):
    """32 x 32 monochrome cursor file. kind: zoom-in, zoom-out, hand, grab."""
    ink = [[None] * 32 for _ in range(32)]  # None transparent, 0 black, 1 white

    def dot(x, y, v):
        if 0 <= x < 32 and 0 <= y < 32:
            ink[y][x] = v

    if kind in ("zoom-in", "zoom-out"):
        cx, cy, r = 12, 12, 8
        for y in range(32):
            for x in range(32):
                d = math.hypot(x - cx, y - cy)
                if d <= r - 1.5:
                    dot(x, y, 1)
                elif d <= r + 0.5:
                    dot(x, y, 0)
        for i in range(9):
            for w in range(3):
                dot(18 + i + w, 18 + i, 0)
        for i in range(-4, 5):
            dot(cx + i, cy, 0)
            if kind == "zoom-in":
                dot(cx, cy + i, 0)
        hot = (cx, cy)
    else:
        # An open hand for panning, a closed one while dragging.
        fingers = [(8, 4), (12, 2), (16, 3), (20, 6)] if kind == "hand" else [(8, 10), (12, 9), (16, 9), (20, 10)]
        for fx, fy in fingers:
            for y in range(fy, 16):
                for x in range(fx, fx + 4):
                    dot(x, y, 0 if x in (fx, fx + 3) or y == fy else 1)
        for y in range(14, 26):
            for x in range(7, 25):
                edge = x in (7, 24) or y == 25
                dot(x, y, 0 if edge else 1)
        if kind == "hand":
            for i in range(6):
                dot(4 + i, 12 + i, 0)
                dot(5 + i, 12 + i, 1)
        hot = (15, 15)
    xor = bytearray()
    andm = bytearray()
    for y in range(31, -1, -1):
        xb = ab = 0
        xrow, arow = bytearray(), bytearray()
        for x in range(32):
            v = ink[y][x]
            xb = (xb << 1) | (1 if v == 1 else 0)
            ab = (ab << 1) | (1 if v is None else 0)
            if x % 8 == 7:
                xrow.append(xb)
                arow.append(ab)
                xb = ab = 0
        xor += xrow
        andm += arow
    info = struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 1, 0, len(xor) + len(andm), 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + palette + bytes(xor) + bytes(andm)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", 32, 32, 0, 0, hot[0], hot[1], len(image), 6 + 16)
    return header + entry + image


def artwork():
    return {
        "splash.bmp": splash().bmp(),
        "slider_track.bmp": track().bmp(),
        "slider_thumb.bmp": thumb(False).bmp(),
        "slider_thumb_pressed.bmp": thumb(True).bmp(),
        "zoom_in.cur": cursor("zoom-in"),
        "zoom_out.cur": cursor("zoom-out"),
        "hand.cur": cursor("hand"),
        "grab.cur": cursor("grab"),
    }


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        bad = 0
        for name, data in artwork().items():
            path = os.path.join(argv[2], name)
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                print(f"artgen: {path} differs from the drawing; run artgen.py {argv[2]}", file=sys.stderr)
                bad = 1
        return bad
    if len(argv) != 2:
        print("usage: artgen.py OUT_FOLDER | --check FOLDER", file=sys.stderr)
        return 2
    try:
        os.makedirs(argv[1], exist_ok=True)
        for name, data in artwork().items():
            with open(os.path.join(argv[1], name), "wb") as f:
                f.write(data)
    except OSError as e:
        print(f"artgen: cannot write {argv[1]}: {e.strerror}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
