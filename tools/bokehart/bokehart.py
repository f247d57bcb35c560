#!/usr/bin/env python3
"""Draws VeluneFx's pictures: the about-box picture and a night scene with its distance map.

  bokehart.py about OUT.bin          the about picture: a 400 x 300 8-bit RGB TIFF
  bokehart.py scene OUT_FOLDER [W H] night.png, night-depth.png and night-pick.txt

The scene has small bright lights at several depths (street lamps and windows far away,
lanterns at the subject's depth, fairy lights close to the lens), a lit subject in the
middle distance and a ground plane. The depth map is grey, 0 nearest to the lens and 255
farthest, in the red channel as the effect reads it. night-pick.txt holds "X,Y", a point on
the subject for the focus pick. Everything is drawn from a fixed seed, so a build always
makes the same files.
"""
import math
import os
import random
import struct
import sys
import zlib


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


class Canvas:
    def __init__(self, w, h, fill):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def blend(self, x, y, colour, a):
        if 0 <= x < self.w and 0 <= y < self.h and a > 0:
            p = self.px[y * self.w + x]
            for c in range(3):
                p[c] = p[c] + (colour[c] - p[c]) * min(a, 1.0)

    def add(self, x, y, colour, a):
        if 0 <= x < self.w and 0 <= y < self.h and a > 0:
            p = self.px[y * self.w + x]
            for c in range(3):
                p[c] = min(255.0, p[c] + colour[c] * a)

    def disc(self, cx, cy, r, colour, a, additive=False, sides=0, rot=0.0):
        """Anti-aliased disc (or regular polygon with `sides` corners) of radius r."""
        put = self.add if additive else self.blend
        for y in range(int(cy - r - 1), int(cy + r + 2)):
            for x in range(int(cx - r - 1), int(cx + r + 2)):
                dx, dy = x + 0.5 - cx, y + 0.5 - cy
                d = math.hypot(dx, dy)
                if sides:
                    ang = math.atan2(dy, dx) - rot
                    sector = 2 * math.pi / sides
                    ang = (ang % sector) - sector / 2
                    d = d * math.cos(ang) / math.cos(sector / 2)
                cover = min(1.0, max(0.0, r - d + 0.5))
                put(x, y, colour, a * cover)

    def rows(self):
        for y in range(self.h):
            yield bytes(clamp8(v) for p in self.px[y * self.w:(y + 1) * self.w] for v in p)


def tiff_rgb(w, h, rows):
    """Little-endian, uncompressed, one strip, 8 bits per sample, RGB."""
    data = b"".join(rows)
    entries = []  # (tag, type, count, value or offset)
    n_entries = 11
    ifd_at = 8
    extra_at = ifd_at + 2 + n_entries * 12 + 4
    bits_at = extra_at
    res_at = bits_at + 6
    data_at = res_at + 16
    entries = [
        (256, 3, 1, w), (257, 3, 1, h), (258, 3, 3, bits_at), (259, 3, 1, 1), (262, 3, 1, 2),
        (273, 4, 1, data_at), (277, 3, 1, 3), (278, 3, 1, h), (279, 4, 1, len(data)),
        (282, 5, 1, res_at), (283, 5, 1, res_at + 8),
    ]
    out = bytearray(b"II*\0" + struct.pack("<I", ifd_at))
    out += struct.pack("<H", len(entries))
    for tag, typ, count, value in entries:
        if typ == 3 and count == 1:
            out += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            out += struct.pack("<HHII", tag, typ, count, value)
    out += struct.pack("<I", 0)
    out += struct.pack("<HHH", 8, 8, 8)
    out += struct.pack("<IIII", 72, 1, 72, 1)
    out += data
    return bytes(out)


def png(w, h, rows, channels):
    colour_type = {3: 2, 4: 6}[channels]
    raw = b"".join(b"\0" + r for r in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    head = struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def about_picture():
    """Out-of-focus city lights at dusk: soft iris-shaped discs over a deep blue sky."""
    w, h = 400, 300
    rnd = random.Random(5600)
    c = Canvas(w, h, (0, 0, 0))
    for y in range(h):
        t = y / (h - 1)
        top, bottom = (10, 14, 40), (70, 40, 60)
        row = [top[k] + (bottom[k] - top[k]) * t for k in range(3)]
        for x in range(w):
            c.px[y * w + x] = list(row)
    palette = [(255, 196, 110), (255, 150, 80), (140, 190, 255), (255, 240, 200), (220, 120, 200)]
    for _ in range(70):
        r = rnd.uniform(8, 34)
        col = palette[rnd.randrange(len(palette))]
        c.disc(rnd.uniform(0, w), rnd.uniform(20, h), r, col, rnd.uniform(0.18, 0.45), additive=True,
               sides=6, rot=0.3)
    for _ in range(40):
        col = palette[rnd.randrange(len(palette))]
        c.disc(rnd.uniform(0, w), rnd.uniform(0, h), rnd.uniform(1.0, 2.5), col, 1.0)
    return w, h, c


def night_scene(w, h):
    """The picture and the depth map of one night scene, and the subject's centre."""
    rnd = random.Random(4022)
    pic = Canvas(w, h, (0, 0, 0))
    depth = Canvas(w, h, (255, 255, 255))
    horizon = int(h * 0.55)
    s = w / 640.0

    # Sky and far skyline (farthest), ground plane from the horizon towards the lens.
    for y in range(h):
        for x in range(w):
            if y < horizon:
                t = y / horizon
                pic.px[y * w + x] = [8 + 14 * t, 10 + 16 * t, 30 + 30 * t]
                depth.px[y * w + x] = [255, 255, 255]
            else:
                t = (y - horizon) / max(1, h - 1 - horizon)
                pic.px[y * w + x] = [26 - 12 * t, 24 - 10 * t, 30 - 12 * t]
                d = 230 - 200 * t
                depth.px[y * w + x] = [d, d, d]
    # Buildings on the skyline with lit windows, far away.
    x = 0
    while x < w:
        bw = int(rnd.uniform(30, 70) * s)
        bh = int(rnd.uniform(0.12, 0.35) * h)
        for yy in range(horizon - bh, horizon):
            for xx in range(x, min(w, x + bw - int(3 * s))):
                pic.px[yy * w + xx] = [18, 18, 26]
                depth.px[yy * w + xx] = [235, 235, 235]
        for yy in range(horizon - bh + int(6 * s), horizon - 4, max(2, int(9 * s))):
            for xx in range(x + int(4 * s), min(w, x + bw - int(6 * s)), max(2, int(8 * s))):
                if rnd.random() < 0.35:
                    col = (255, 220, 150) if rnd.random() < 0.7 else (180, 210, 255)
                    for k in range(max(1, int(2 * s))):
                        for j in range(max(1, int(2 * s))):
                            pic.blend(xx + k, yy + j, col, 1.0)
        x += bw
    # Street lamps along the road at several depths: small, very bright points.
    for i in range(9):
        t = i / 8.0
        lx = int(w * (0.06 + 0.88 * t))
        ly = int(horizon + (h - horizon) * (0.05 + 0.25 * abs(t - 0.5)))
        dv = clamp8(225 - 90 * (1 - abs(t - 0.5) * 2) * 0.6)
        r = (1.5 + 2.0 * (1 - abs(t - 0.5))) * s
        pic.disc(lx, ly - 14 * s, r, (255, 210, 140), 1.0)
        depth.disc(lx, ly - 14 * s, r + 1, (dv, dv, dv), 1.0)

    # The subject: a figure holding a lantern, in the middle distance.
    sx, sy = int(w * 0.5), int(horizon + (h - horizon) * 0.45)
    body_h = int(h * 0.32)
    subject_depth = 120
    for yy in range(sy - body_h, sy):
        t = (yy - (sy - body_h)) / body_h
        half = (10 + 16 * t) * s if t > 0.25 else 9 * s
        for xx in range(int(sx - half), int(sx + half) + 1):
            if 0 <= xx < w and 0 <= yy < h:
                shade = 60 + 50 * math.cos((xx - sx) / (half + 1))
                pic.px[yy * w + xx] = [shade * 1.0, shade * 0.75, shade * 0.6]
                depth.px[yy * w + xx] = [subject_depth] * 3
    head_r = 10 * s
    pic.disc(sx, sy - body_h - head_r + 2, head_r, (150, 112, 90), 1.0)
    depth.disc(sx, sy - body_h - head_r + 2, head_r, (subject_depth,) * 3, 1.0)
    for lx, ly in ((sx + 30 * s, sy - body_h * 0.45), (sx - 70 * s, sy - body_h * 0.2), (sx + 90 * s, sy - 8 * s)):
        pic.disc(lx, ly, 3.0 * s, (255, 235, 190), 1.0)
        pic.disc(lx, ly, 6.0 * s, (255, 170, 80), 0.35, additive=True)
        depth.disc(lx, ly, 6.0 * s, (subject_depth + 4,) * 3, 1.0)

    # Fairy lights on a string close to the lens, across the top.
    for i in range(24):
        t = i / 23.0
        fx = w * t
        fy = h * (0.08 + 0.10 * math.sin(t * math.pi))
        col = [(255, 80, 60), (80, 255, 120), (90, 140, 255), (255, 220, 90)][i % 4]
        pic.disc(fx, fy, 2.0 * s, col, 1.0)
        depth.disc(fx, fy, 2.5 * s, (18, 18, 18), 1.0)
    # A few out-of-focus leaves at the bottom corners, nearest of all.
    for cx, cy in ((w * 0.04, h * 0.93), (w * 0.96, h * 0.9)):
        pic.disc(cx, cy, 26 * s, (10, 22, 12), 1.0)
        depth.disc(cx, cy, 26 * s, (6, 6, 6), 1.0)

    def rgba(rows):
        for r in rows:
            out = bytearray()
            for i in range(0, len(r), 3):
                out += r[i:i + 3] + b"\xff"
            yield bytes(out)

    return png(w, h, rgba(pic.rows()), 4), png(w, h, depth.rows(), 3), (sx, sy - body_h // 2)


def main(argv):
    if len(argv) >= 3 and argv[1] == "about":
        w, h, c = about_picture()
        os.makedirs(os.path.dirname(os.path.abspath(argv[2])), exist_ok=True)
        with open(argv[2], "wb") as f:
            f.write(tiff_rgb(w, h, c.rows()))
        return 0
    if len(argv) in (3, 5) and argv[1] == "scene":
        w, h = (int(argv[3]), int(argv[4])) if len(argv) == 5 else (640, 360)
        if w < 64 or h < 64:
            print("bokehart: the scene needs at least 64 x 64 pixels", file=sys.stderr)
            return 2
        picture, depth, pick = night_scene(w, h)
        os.makedirs(argv[2], exist_ok=True)
        with open(os.path.join(argv[2], "night.png"), "wb") as f:
            f.write(picture)
        with open(os.path.join(argv[2], "night-depth.png"), "wb") as f:
            f.write(depth)
        with open(os.path.join(argv[2], "night-pick.txt"), "w") as f:
            f.write("%d,%d\n" % pick)
        return 0
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
