#!/usr/bin/env python3
"""Draws the installer's bitmaps and its link cursor.

  drawres.py OUTDIR

Writes tile.bmp (117), option.bmp (128), exit.bmp (203), picture.bmp (213), install.bmp (219),
close.bmp (220) as 24-bit Windows bitmaps and hand.cur (120), a 32 x 32 monochrome cursor.
"""
import os
import struct
import sys

# 5 x 7 capitals for the button labels and the picture's lettering.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    " ": ["00000"] * 7,
}

TILE = (236, 226, 204)          # warm paper
BUTTON_FACE = (52, 88, 148)
BUTTON_LIGHT = (132, 164, 214)
BUTTON_DARK = (20, 34, 64)
INK = (24, 40, 84)


class Canvas:
    def __init__(self, w, h, colour):
        self.w, self.h = w, h
        self.px = [[colour] * w for _ in range(h)]

    def set(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, colour)

    def text(self, x, y, s, colour, scale=1):
        for ch in s:
            for gy, row in enumerate(GLYPHS[ch]):
                for gx, bit in enumerate(row):
                    if bit == "1":
                        self.rect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale, y + (gy + 1) * scale, colour)
            x += 6 * scale

    def bmp(self, path):
        stride = (self.w * 3 + 3) & ~3
        rows = []
        for y in reversed(range(self.h)):
            row = bytearray()
            for r, g, b in self.px[y]:
                row += bytes((b, g, r))
            row += b"\0" * (stride - len(row))
            rows.append(bytes(row))
        data = b"".join(rows)
        header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + data)


def text_width(s, scale=1):
    return (6 * len(s) - 1) * scale


def tile():
    c = Canvas(57, 82, TILE)
    seed = 12345
    for y in range(82):
        for x in range(57):
            seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
            d = (seed >> 16) % 7 - 3
            if (x + 2 * y) % 19 == 0:
                d -= 5  # a faint weave
            c.set(x, y, tuple(max(0, min(255, v + d)) for v in TILE))
    return c


def button(label):
    c = Canvas(58, 20, BUTTON_FACE)
    c.rect(0, 0, 58, 1, BUTTON_LIGHT)
    c.rect(0, 0, 1, 20, BUTTON_LIGHT)
    c.rect(0, 19, 58, 20, BUTTON_DARK)
    c.rect(57, 0, 58, 20, BUTTON_DARK)
    c.text((58 - text_width(label)) // 2, 7, label, (255, 255, 255))
    return c


def option():
    c = Canvas(52, 13, TILE)
    for state in range(4):
        x0 = state * 13
        pressed = state in (1, 3)
        c.rect(x0, 0, x0 + 13, 13, (64, 64, 64))
        c.rect(x0 + 1, 1, x0 + 12, 12, (192, 192, 192) if pressed else (255, 255, 255))
        if state >= 2:
            for i, (dx, dy) in enumerate([(3, 6), (4, 7), (5, 8), (6, 7), (7, 6), (8, 5), (9, 4)]):
                c.rect(x0 + dx, dy, x0 + dx + 1, dy + 2, (0, 0, 0))
    return c


def picture():
    c = Canvas(170, 106, (255, 255, 255))
    for y in range(106):
        for x in range(170):
            t = y / 105
            c.set(x, y, (int(250 - 40 * t), int(248 - 24 * t), 255))
    # A lens: rings around a bright centre.
    cx, cy = 34, 44
    for y in range(106):
        for x in range(170):
            r2 = (x - cx) ** 2 + (y - cy) ** 2
            if r2 < 26 ** 2:
                ring = int(r2 ** 0.5) // 5
                shade = 70 + ring * 30
                c.set(x, y, (shade // 2, shade // 2 + 20, min(255, shade + 60)))
    c.rect(0, 0, 170, 1, INK)
    c.rect(0, 105, 170, 106, INK)
    c.rect(0, 0, 1, 106, INK)
    c.rect(169, 0, 170, 106, INK)
    c.text(72, 56, "PLUGINS", (60, 90, 150), 1)
    c.text(8, 80, "BRANNOCK", INK, 2)
    return c


HAND = [
    "....XX..........",
    "...X..X.........",
    "...X..X.........",
    "...X..X.........",
    "...X..XXX.......",
    "...X..X..XXX....",
    "...X..X..X..XX..",
    "XX.X..X..X..X.X.",
    "X.XX........X..X",
    "X..X...........X",
    ".X.............X",
    ".X.............X",
    "..X............X",
    "..X...........X.",
    "...X..........X.",
    "...X.........X..",
    "....X........X..",
    "....XXXXXXXXXX..",
]


def cursor(path):
    # X is the outline (black), inside the outline is white, the rest transparent.
    size = 32
    xor = [[0] * size for _ in range(size)]
    andm = [[1] * size for _ in range(size)]
    for y, row in enumerate(HAND):
        inside = [False] * len(row)
        xs = [i for i, ch in enumerate(row) if ch == "X"]
        if xs:
            for i in range(xs[0], xs[-1] + 1):
                inside[i] = True
        for x, ch in enumerate(row):
            if ch == "X":
                andm[y][x] = 0
                xor[y][x] = 0
            elif inside[x] and y > 0:
                andm[y][x] = 0
                xor[y][x] = 1

    def mask(m):
        out = bytearray()
        for y in reversed(range(size)):
            for byte in range(size // 8):
                v = 0
                for bit in range(8):
                    v = (v << 1) | m[y][byte * 8 + bit]
                out.append(v)
        return bytes(out)

    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = info + palette + mask(xor) + mask(andm)
    hotspot = (5, 0)
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + image)


def main():
    if len(sys.argv) != 2:
        print("usage: drawres.py OUTDIR", file=sys.stderr)
        return 2
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    tile().bmp(os.path.join(out, "tile.bmp"))
    option().bmp(os.path.join(out, "option.bmp"))
    button("EXIT").bmp(os.path.join(out, "exit.bmp"))
    button("INSTALL").bmp(os.path.join(out, "install.bmp"))
    button("CLOSE").bmp(os.path.join(out, "close.bmp"))
    picture().bmp(os.path.join(out, "picture.bmp"))
    cursor(os.path.join(out, "hand.cur"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
