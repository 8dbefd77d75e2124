#!/usr/bin/env python3
"""Writes the clip-art gallery beside the program: data/Gallery/<category>/<name>.png.

Every picture is computed here from simple shapes (no artwork comes from elsewhere), with the
standard library only; the output is deterministic, so running it again changes nothing.
Usage: scripts/data/make_gallery.py [data-folder]   (default: the repository's data/)
"""
import math
import os
import struct
import sys
import zlib

SIZE = 64   # pixels per side
SUB = 4     # samples per pixel per axis, for smooth edges


def write_png(path, w, h, rows):
    """An 8-bit RGB PNG; rows is a list of h byte strings of w*3 bytes."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + r for r in rows)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def polygon(points):
    """Inside test of a polygon (even-odd rule) in unit coordinates."""
    def inside(x, y):
        c = False
        n = len(points)
        for i in range(n):
            x1, y1 = points[i]
            x2, y2 = points[(i + 1) % n]
            if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
                c = not c
        return c
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def rotate(points, quarter_turns):
    out = points
    for _ in range(quarter_turns):
        out = [(1 - y, x) for x, y in out]
    return out


ARROW = [(0.12, 0.38), (0.55, 0.38), (0.55, 0.16), (0.9, 0.5), (0.55, 0.84), (0.55, 0.62),
         (0.12, 0.62)]


def star(n=5, outer=0.42, inner=0.18):
    pts = []
    for i in range(2 * n):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / n
        pts.append((0.5 + r * math.cos(a), 0.53 + r * math.sin(a)))
    return polygon(pts)


def heart():
    def inside(x, y):
        u, v = (x - 0.5) * 2.6, (0.55 - y) * 2.6
        return (u * u + v * v - 1) ** 3 - u * u * v ** 3 <= 0
    return inside


HOUSE = union(polygon([(0.5, 0.12), (0.9, 0.48), (0.1, 0.48)]),
              minus(polygon([(0.22, 0.46), (0.78, 0.46), (0.78, 0.86), (0.22, 0.86)]),
                    polygon([(0.43, 0.62), (0.57, 0.62), (0.57, 0.86), (0.43, 0.86)])))
ENVELOPE = minus(polygon([(0.1, 0.25), (0.9, 0.25), (0.9, 0.75), (0.1, 0.75)]),
                 union(polygon([(0.16, 0.25), (0.84, 0.25), (0.5, 0.52)]),
                       polygon([(0.14, 0.7), (0.4, 0.5), (0.43, 0.53), (0.2, 0.71)]),
                       polygon([(0.86, 0.7), (0.6, 0.5), (0.57, 0.53), (0.8, 0.71)])))
CHECK = polygon([(0.12, 0.52), (0.24, 0.4), (0.42, 0.58), (0.78, 0.18), (0.9, 0.3),
                 (0.42, 0.82)])
CROSS = union(polygon([(0.2, 0.12), (0.88, 0.8), (0.8, 0.88), (0.12, 0.2)]),
              polygon([(0.8, 0.12), (0.88, 0.2), (0.2, 0.88), (0.12, 0.8)]))
RING = minus(circle(0.5, 0.5, 0.4), circle(0.5, 0.5, 0.22))
DIAMOND = polygon([(0.5, 0.08), (0.88, 0.5), (0.5, 0.92), (0.12, 0.5)])

# category, name, shape, top colour, bottom colour (a vertical gradient inside the shape)
PICTURES = [
    ("Arrows", "Right", polygon(ARROW), (60, 160, 255), (10, 60, 170)),
    ("Arrows", "Down", polygon(rotate(ARROW, 1)), (60, 160, 255), (10, 60, 170)),
    ("Arrows", "Left", polygon(rotate(ARROW, 2)), (60, 160, 255), (10, 60, 170)),
    ("Arrows", "Up", polygon(rotate(ARROW, 3)), (60, 160, 255), (10, 60, 170)),
    ("Shapes", "Star", star(), (255, 220, 60), (220, 120, 0)),
    ("Shapes", "Heart", heart(), (255, 90, 110), (170, 0, 40)),
    ("Shapes", "Diamond", DIAMOND, (120, 230, 220), (0, 120, 130)),
    ("Shapes", "Ring", RING, (170, 120, 255), (70, 20, 160)),
    ("Symbols", "Home", HOUSE, (240, 130, 70), (150, 60, 20)),
    ("Symbols", "Mail", ENVELOPE, (110, 110, 120), (30, 30, 40)),
    ("Symbols", "Check", CHECK, (90, 220, 90), (0, 120, 30)),
    ("Symbols", "Cross", CROSS, (255, 90, 70), (160, 20, 10)),
]


def render(shape, top, bottom):
    rows = []
    for py in range(SIZE):
        row = bytearray()
        t = py / (SIZE - 1)
        colour = [top[i] + (bottom[i] - top[i]) * t for i in range(3)]
        for px in range(SIZE):
            hits = 0
            for sy in range(SUB):
                for sx in range(SUB):
                    if shape((px + (sx + 0.5) / SUB) / SIZE, (py + (sy + 0.5) / SUB) / SIZE):
                        hits += 1
            a = hits / (SUB * SUB)
            row += bytes(int(round(255 + (c - 255) * a)) for c in colour)
        rows.append(bytes(row))
    return rows


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    data = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "data")
    for category, name, shape, top, bottom in PICTURES:
        folder = os.path.join(data, "Gallery", category)
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, name + ".png"), SIZE, SIZE, render(shape, top, bottom))


if __name__ == "__main__":
    main()
