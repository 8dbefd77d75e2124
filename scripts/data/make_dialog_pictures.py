#!/usr/bin/env python3
"""Writes the pictures of the dialogs: the banner wash data/Wash.bmp, the bulb of the tips
window data/bulb.bmp, the application icon data/Zelmora.ico, and the same icon drawn at the
sizes of the desktop's icon theme, data/icons/hicolor/<n>x<n>/apps/zelmora.png.

Everything is computed here with the standard library; the output is deterministic.
Usage: scripts/data/make_dialog_pictures.py [data-folder]   (default: the repository's data/)
"""
import math
import os
import struct
import sys
import zlib

from bmp24 import clamp, write_bmp


def wash(x, y):
    """A light grey wash: brighter to the right, with two slow diagonal ripples. The banner
    takes only its lightness, so it stays grey here."""
    t = x / 639.0
    v = 168 + 72 * t
    v += 10 * math.sin((x + 2.5 * y) / 37.0) + 6 * math.sin((x - 4 * y) / 83.0 + 1.3)
    v -= 18 * (1 - y / 39.0) ** 3  # a soft shade under the dialog's edge
    return v, v, v


def bulb(x, y):
    """A lit bulb on the button-shadow grey of the tips window's strip."""
    bg = (128, 128, 128)
    cx, cy, r = 23.5, 20.0, 15.0
    d = math.hypot(x - cx, y - cy)
    # the glow around the glass
    glow = max(0.0, 1 - (d - r) / 7.0) if d > r else 0.0
    col = tuple(b + (255 - b) * 0.35 * glow * glow for b in bg)
    neck_top, neck_bottom = 33, 42
    in_neck = neck_top <= y < neck_bottom and abs(x - cx) <= 8.5 - (y - neck_top) * 0.35
    if d <= r or in_neck:
        # yellow glass lit from the upper left
        hl = math.hypot(x - (cx - 5), y - (cy - 6)) / (r * 1.6)
        k = max(0.0, 1 - hl)
        col = (235 + 20 * k, 200 + 55 * k, 40 + 170 * k * k)
        if d > r - 1.2 and not in_neck:
            col = tuple(c * 0.8 for c in col)
    if neck_bottom <= y < 53 and abs(x - cx) <= 6.5:
        # the screw base: grey bands
        band = (y - neck_bottom) % 3
        shade = 1 - abs(x - cx) / 9.0
        v = (150, 185, 120)[band] * (0.6 + 0.4 * shade)
        col = (v, v, v + 8)
    if 53 <= y < 56 and abs(x - cx) <= 3.5:
        col = (70, 70, 75)
    return col


def icon_pixel(x, y):
    """A rounded blue button with a light diagonal stroke: (r, g, b, a)."""
    inset, rad = 1.5, 7.0
    qx = max(abs(x + 0.5 - 16) - (16 - inset - rad), 0)
    qy = max(abs(y + 0.5 - 16) - (16 - inset - rad), 0)
    dist = math.hypot(qx, qy) - rad
    a = clamp(255 * min(1.0, max(0.0, 0.5 - dist)))
    if a == 0:
        return 0, 0, 0, 0
    t = y / 31.0
    r, g, b = 40 + 60 * (1 - t), 90 + 80 * (1 - t), 200 + 40 * (1 - t)
    if dist > -1.5:  # a darker rim
        r, g, b = r * 0.6, g * 0.6, b * 0.7
    # a "Z" of three strokes
    top = 9 <= y <= 11 and 9 <= x <= 22
    bottom = 20 <= y <= 22 and 9 <= x <= 22
    diag = 11 < y < 20 and abs((22 - x) - (y - 11) * 13 / 9.0) <= 1.6
    if top or bottom or diag:
        r, g, b = 250, 250, 235
    return clamp(r), clamp(g), clamp(b), a


def write_ico(path):
    w = h = 32
    xor = bytearray()
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        bits = 0
        row_mask = bytearray(4)
        for x in range(w):
            r, g, b, a = icon_pixel(x, y)
            xor += bytes((b, g, r, a))
            if a == 0:
                row_mask[x // 8] |= 0x80 >> (x % 8)
        mask += row_mask
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = info + bytes(xor) + bytes(mask)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(header + entry + image)


def icon_sample(u, v):
    """The icon's shape as a point sample at (u, v) of its 32-unit square: (r, g, b, a), the
    same drawing as icon_pixel with hard edges, for smoothing by supersampling."""
    inset, rad = 1.5, 7.0
    qx = max(abs(u - 16) - (16 - inset - rad), 0)
    qy = max(abs(v - 16) - (16 - inset - rad), 0)
    dist = math.hypot(qx, qy) - rad
    if dist > 0:
        return 0.0, 0.0, 0.0, 0.0
    t = min(v, 31.0) / 31.0
    r, g, b = 40 + 60 * (1 - t), 90 + 80 * (1 - t), 200 + 40 * (1 - t)
    if dist > -1.5:
        r, g, b = r * 0.6, g * 0.6, b * 0.7
    top = 9 <= v < 12 and 9 <= u < 23
    bottom = 20 <= v < 23 and 9 <= u < 23
    diag = 11 < v < 21 and 9 <= u < 23 and abs(u - (23 - (v - 11.5) * 14 / 9.0)) <= 2.0
    if top or bottom or diag:
        r, g, b = 250, 250, 235
    return r, g, b, 255.0


def icon_rgba(size):
    """The icon at size x size pixels, each the mean of a grid of samples (colours weighted by
    their cover, so that the edges blend into transparency and not into black)."""
    n = max(2, 128 // size)
    scale = 32.0 / size
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            sr = sg = sb = sa = 0.0
            for j in range(n):
                for i in range(n):
                    r, g, b, a = icon_sample((x + (i + 0.5) / n) * scale, (y + (j + 0.5) / n) * scale)
                    sr += r * a
                    sg += g * a
                    sb += b * a
                    sa += a
            if sa == 0:
                row += bytes(4)
            else:
                row += bytes((clamp(sr / sa), clamp(sg / sa), clamp(sb / sa), clamp(sa / (n * n))))
        rows.append(bytes(row))
    return rows


def write_png(path, size, rows):
    """An 8-bit RGBA PNG, without a time stamp so that the output stays the same."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + r for r in rows)
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)


# The sizes at which desktops look for an application's icon in the hicolor theme.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "data")
    write_bmp(os.path.join(out, "Wash.bmp"), 640, 40, wash)
    write_bmp(os.path.join(out, "bulb.bmp"), 48, 57, bulb)
    write_ico(os.path.join(out, "Zelmora.ico"))
    for size in ICON_SIZES:
        folder = os.path.join(out, "icons", "hicolor", f"{size}x{size}", "apps")
        write_png(os.path.join(folder, "zelmora.png"), size, icon_rgba(size))


if __name__ == "__main__":
    main()
