#!/usr/bin/env python3
"""Writes the files that lie beside the program: the textures in data/Images/, the template
library data/library.zlm and the start-up page data/projects/splash.zlm.

Everything is computed here (no picture or project comes from elsewhere), with the standard
library only, and the output is deterministic: run it again and git sees no change.
Usage: scripts/data/make-data.py [data-folder]   (default: the repository's data/)
"""
import math
import os
import random
import sys
import urllib.parse

from bmp24 import clamp, write_bmp

SIZE = 96  # textures are square tiles of this side


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Noise:
    """Tileable value noise on a grid of `cells` per side."""

    def __init__(self, seed, cells):
        rnd = random.Random(seed)
        self.cells = cells
        self.v = [[rnd.random() for _ in range(cells)] for _ in range(cells)]

    def at(self, x, y):
        c = self.cells
        fx, fy = x * c / SIZE, y * c / SIZE
        x0, y0 = int(fx) % c, int(fy) % c
        x1, y1 = (x0 + 1) % c, (y0 + 1) % c
        tx, ty = fx - int(fx), fy - int(fy)
        tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)
        a = self.v[y0][x0] + (self.v[y0][x1] - self.v[y0][x0]) * tx
        b = self.v[y1][x0] + (self.v[y1][x1] - self.v[y1][x0]) * tx
        return a + (b - a) * ty


def fractal(seed, octaves=4):
    layers = [Noise(seed + i, 4 << i) for i in range(octaves)]
    total = sum(1 / (1 << i) for i in range(octaves))

    def f(x, y):
        return sum(n.at(x, y) / (1 << i) for i, n in enumerate(layers)) / total

    return f


def wood(x, y, n=fractal(11)):
    ring = math.sin((x / SIZE * 2 * math.pi * 6) + n(x, y) * 9) * 0.5 + 0.5
    return mix((150, 96, 52), (206, 150, 92), ring * 0.8 + n(x, y) * 0.2)


def marble(x, y, n=fractal(23)):
    vein = abs(math.sin((x + y) / SIZE * 2 * math.pi * 2 + n(x, y) * 7))
    return mix((90, 96, 110), (238, 236, 230), vein ** 0.35)


def metal(x, y, streak=Noise(31, 48), n=fractal(37)):
    # Brushed: fine horizontal streaks over a soft vertical sheen.
    s = streak.at(y * 7 % SIZE, 0)
    sheen = 0.5 + 0.5 * math.cos(y / SIZE * 2 * math.pi)
    v = 150 + 60 * sheen + 30 * (s - 0.5) + 10 * (n(x, y) - 0.5)
    return (v, v + 4, v + 10)


def bricks(x, y, n=fractal(41)):
    bh, bw = 24, 48
    row = y // bh
    off = (bw // 2) * (row % 2)
    mortar = y % bh < 3 or (x + off) % bw < 3
    if mortar:
        return mix((196, 190, 178), (160, 156, 148), n(x, y))
    shade = Noise(43 + row, 2).v[0][((x + off) // bw) % 2] * 0.3
    return mix((160, 64, 44), (120, 44, 30), shade + n(x, y) * 0.4)


def water(x, y, n=fractal(53)):
    w = math.sin(x / SIZE * 2 * math.pi * 2 + n(x, y) * 5) * math.sin(y / SIZE * 2 * math.pi * 3)
    return mix((20, 80, 150), (110, 190, 230), 0.5 + 0.45 * w)


def paper(x, y, n=fractal(61)):
    v = 0.85 + 0.15 * n(x, y)
    return (250 * v, 244 * v, 224 * v)


def leaves(x, y, n=fractal(71)):
    v = n(x, y)
    return mix((24, 80, 28), (140, 200, 70), v ** 1.4)


def sky(x, y, n=fractal(83)):
    # Clouds over blue; the vertical fade wraps so that the tile repeats.
    base = mix((60, 120, 210), (150, 200, 250), 0.5 + 0.5 * math.cos(y / SIZE * 2 * math.pi))
    cloud = max(0.0, n(x, y) - 0.5) * 2
    return mix(base, (255, 255, 255), min(1.0, cloud * 1.6))


def gold(x, y, n=fractal(97)):
    sheen = 0.5 + 0.5 * math.sin((x - y) / SIZE * 2 * math.pi * 2)
    return mix((150, 110, 20), (255, 224, 120), sheen * 0.8 + n(x, y) * 0.2)


# The start page's banner is drawn at the size it is shown (BANNER), not stretched from a
# tile: a wide sky, deeper blue above, with clouds whose noise spans the banner's width once.
BANNER = (800, 120)


def sky_banner(x, y, n=fractal(89, octaves=6)):
    w, h = BANNER
    t = y / (h - 1)
    base = mix((46, 104, 196), (156, 204, 248), t ** 0.8)
    u, v = x * SIZE / w, y * SIZE / w
    cloud = max(0.0, n(u, v) - 0.46) * 3.0
    return mix(base, (255, 255, 255), min(1.0, cloud * (0.6 + 0.8 * t)))


TEXTURES = {
    "wood.bmp": wood, "marble.bmp": marble, "metal.bmp": metal, "bricks.bmp": bricks,
    "water.bmp": water, "paper.bmp": paper, "leaves.bmp": leaves, "sky.bmp": sky,
    "gold.bmp": gold,
}

# --- Project files -------------------------------------------------------------------------


def rgb(r, g, b):
    """A colour as the files store it: 0x00BBGGRR, signed decimal."""
    return r | (g << 8) | (b << 16)


STYLE_DEFAULT = dict(
    FontName="Verdana", FontColor=0, FontSize=10, FontBold=0, FontItalic=0, FontUnderline=0,
    FontStrikeOut=0, AlignX=2, AlignY=2, Shape=1, PenWidth=2, CurveSize=32, TextureMode=1,
    TextStyle=0, IsTransparent=0, IsAntialiased=0,
    Colors=[rgb(192, 192, 192), 0, rgb(128, 128, 128), rgb(192, 192, 192), rgb(255, 255, 255),
            0, 0, 0, 0, 0],
    TextureFileName="")

# Face, outer shadow, inner shadow, inner highlight, outer highlight, outline.
def palette(face, dark, mid, light, bright, outline=(0, 0, 0)):
    return [rgb(*face), rgb(*dark), rgb(*mid), rgb(*light), rgb(*bright), rgb(*outline),
            0, 0, 0, 0]


SILVER = palette((192, 192, 192), (0, 0, 0), (128, 128, 128), (223, 223, 223), (255, 255, 255))
BLUE = palette((70, 110, 200), (10, 20, 60), (40, 60, 130), (130, 160, 230), (200, 215, 255),
               (20, 40, 110))
GREEN = palette((70, 170, 90), (10, 50, 20), (40, 110, 50), (130, 210, 140), (210, 250, 210),
                (20, 90, 40))
RED = palette((200, 60, 50), (60, 10, 10), (130, 30, 25), (240, 130, 120), (255, 210, 200),
              (110, 20, 15))
ORANGE = palette((245, 150, 40), (90, 40, 0), (170, 90, 10), (255, 200, 120), (255, 235, 200),
                 (140, 70, 0))
PURPLE = palette((130, 80, 180), (30, 10, 60), (80, 40, 120), (180, 140, 220), (230, 210, 250),
                 (60, 20, 100))
DARK = palette((50, 54, 62), (0, 0, 0), (30, 32, 36), (90, 96, 108), (140, 146, 160),
               (200, 200, 210))

# The template library: name, shape, colours, texture, texture mode, font, size, bold, italic,
# font colour, pen width, curve size, antialiased, size of the sample object. The textures are
# seamless tiles, so the templates tile them (mode 2): shown at any size, they stay crisp.
TEMPLATES = [
    ("Classic Grey", 1, SILVER, "", 1, "Verdana", 10, 0, 0, (0, 0, 0), 2, 32, 0),
    ("Soft Mac", 2, SILVER, "", 1, "Verdana", 10, 0, 0, (0, 0, 0), 2, 32, 0),
    ("Folder Tab", 3, BLUE, "", 1, "Verdana", 10, 1, 0, (255, 255, 255), 2, 32, 0),
    ("Plain Box", 4, BLUE, "", 1, "Arial", 11, 1, 0, (255, 255, 255), 2, 32, 0),
    ("Pill Green", 5, GREEN, "", 1, "Verdana", 11, 1, 0, (255, 255, 255), 2, 24, 1),
    ("Round Orange", 5, ORANGE, "", 1, "Trebuchet MS", 11, 1, 0, (60, 30, 0), 1, 16, 1),
    ("Red Oval", 6, RED, "", 1, "Georgia", 12, 1, 0, (255, 255, 255), 2, 32, 1),
    ("Purple Ring", 7, PURPLE, "", 1, "Verdana", 10, 1, 0, (255, 255, 255), 4, 32, 1),
    ("Steel Ring", 8, SILVER, "", 1, "Verdana", 10, 1, 0, (0, 0, 0), 3, 32, 1),
    ("Arrow Left", 9, BLUE, "", 1, "Verdana", 9, 1, 0, (255, 255, 255), 1, 32, 1),
    ("Arrow Right", 10, BLUE, "", 1, "Verdana", 9, 1, 0, (255, 255, 255), 1, 32, 1),
    ("Star Badge", 17, ORANGE, "", 1, "Verdana", 9, 1, 0, (90, 30, 0), 1, 32, 1),
    ("Wood Panel", 1, SILVER, "wood.bmp", 2, "Georgia", 12, 1, 0, (255, 246, 220), 2, 32, 0),
    ("Marble Slab", 2, SILVER, "marble.bmp", 2, "Times New Roman", 13, 0, 1, (30, 30, 40), 2, 32, 0),
    ("Brushed Metal", 1, SILVER, "metal.bmp", 2, "Arial", 11, 1, 0, (20, 24, 40), 2, 32, 0),
    ("Brick Wall", 4, RED, "bricks.bmp", 2, "Impact", 14, 0, 0, (255, 255, 255), 2, 32, 0),
    ("Deep Water", 5, BLUE, "water.bmp", 2, "Verdana", 11, 1, 0, (255, 255, 255), 2, 20, 1),
    ("Old Paper", 3, SILVER, "paper.bmp", 2, "Courier New", 11, 0, 0, (70, 40, 10), 2, 32, 0),
    ("Spring Leaves", 6, GREEN, "leaves.bmp", 2, "Comic Sans MS", 11, 1, 0, (255, 255, 230), 2, 32, 1),
    ("Blue Sky", 5, BLUE, "sky.bmp", 2, "Verdana", 11, 1, 0, (20, 40, 90), 2, 28, 1),
    ("Gold Plate", 2, ORANGE, "gold.bmp", 2, "Georgia", 12, 1, 1, (70, 40, 0), 2, 32, 0),
    ("Night Mode", 4, DARK, "", 1, "Tahoma", 10, 1, 0, (230, 230, 240), 1, 32, 0),
    ("Plain Text", 0, SILVER, "", 1, "Verdana", 10, 0, 0, (0, 0, 0), 2, 32, 0),
]


def font_height(points):
    return -int(points * 96 / 72 + 0.5)


def url_encode(text):
    # The files' text encoding: '+' for a blank, %XX for the rest that is not plain.
    return urllib.parse.quote_plus(text, safe="")


def button_section(index, text, rect, link="", style_name="", **style):
    s = dict(STYLE_DEFAULT)
    s.update(style)
    left, top, right, bottom = rect
    lines = [f"[Button{index}]", "Group=", f"ButtonText={url_encode(text)}",
             f"LinkAddress={link}", f"StyleName={style_name}", f"RectLeft={left}",
             f"RectRight={right}", f"RectTop={top}", f"RectBottom={bottom}", "IsSelected=0"]
    for key in ("FontName", "FontColor", "FontSize"):
        lines.append(f"{key}={s[key]}")
    lines.append(f"FontHeight={font_height(s['FontSize'])}")
    for key in ("FontBold", "FontItalic", "FontUnderline", "FontStrikeOut", "AlignX", "AlignY",
                "Shape", "PenWidth", "CurveSize", "TextureMode", "TextStyle", "IsTransparent",
                "IsAntialiased"):
        lines.append(f"{key}={s[key]}")
    for i, c in enumerate(s["Colors"]):
        lines.append(f"Color{i}={c}")
    lines.append(f"TextureFileName={s['TextureFileName']}")
    return "\n".join(lines) + "\n"


def template_style(t):
    (name, shape, colours, texture, mode, font, size, bold, italic, fcol, pen, curve, aa) = t
    return dict(Shape=shape, Colors=colours, TextureFileName=texture, TextureMode=mode,
                FontName=font, FontSize=size, FontBold=bold, FontItalic=italic,
                FontColor=rgb(*fcol), PenWidth=pen, CurveSize=curve, IsAntialiased=aa,
                IsTransparent=1 if shape == 0 else 0)


def heading(count, width, height, bg, title):
    meta = f"[Base]\nTit={title}\n"
    return (f"[Heading]\nVersion=1.0\nBGColor={bg}\nLastSelected=-1\nNumOfButtons={count}\n"
            f"MetaInfo={url_encode(meta)}\nGridX=8\nGridY=8\nProjectWidth={width}\n"
            f"ProjectHeight={height}\n")


def library():
    sections = []
    for i, t in enumerate(TEMPLATES):
        y = 8 + i * 40
        sections.append(button_section(i, t[0], (8, y, 136, y + 32), style_name=t[0],
                                       **template_style(t)))
    return heading(len(TEMPLATES), 144, 8 + len(TEMPLATES) * 40, "clWhite",
                   "Template library") + "".join(sections)


def splash():
    by_name = {t[0]: t for t in TEMPLATES}
    objects = []

    def add(text, rect, template=None, link="", **extra):
        style = template_style(by_name[template]) if template else {}
        style.update(extra)
        objects.append((text, rect, link, template or "", style))

    white = rgb(255, 255, 255)
    add("", (0, 0) + BANNER, "Blue Sky", Shape=4, PenWidth=0, IsAntialiased=0,
        TextureFileName="sky-banner.bmp", TextureMode=1)
    add("Zelmora", (24, 18, 500, 74), "Plain Text", FontName="Georgia", FontSize=34,
        FontBold=1, FontColor=rgb(20, 40, 90), AlignX=0)
    add("Web buttons and small pages, drawn as you like them.", (28, 74, 600, 100),
        "Plain Text", FontName="Verdana", FontSize=12, FontItalic=1,
        FontColor=rgb(20, 40, 90), AlignX=0)
    add("Frames", (24, 140, 200, 164), "Plain Text", FontSize=12, FontBold=1, AlignX=0,
        FontColor=rgb(40, 40, 40))
    for i, name in enumerate(["Classic Grey", "Soft Mac", "Folder Tab", "Night Mode"]):
        x = 24 + i * 136
        add(name, (x, 172, x + 120, 204), name, link="#")
    add("Shapes", (24, 228, 200, 252), "Plain Text", FontSize=12, FontBold=1, AlignX=0,
        FontColor=rgb(40, 40, 40))
    shapes = [("Pill Green", 120, 36), ("Round Orange", 120, 36), ("Red Oval", 120, 44),
              ("Purple Ring", 56, 56), ("Steel Ring", 56, 56), ("Star Badge", 64, 64)]
    x = 24
    for name, w, h in shapes:
        add(name.split()[0] if w < 100 else name, (x, 260, x + w, 260 + h), name, link="#")
        x += w + 16
    add("Textures", (24, 344, 200, 368), "Plain Text", FontSize=12, FontBold=1, AlignX=0,
        FontColor=rgb(40, 40, 40))
    tex = ["Wood Panel", "Marble Slab", "Brushed Metal", "Brick Wall", "Deep Water",
           "Old Paper", "Spring Leaves", "Gold Plate"]
    for i, name in enumerate(tex):
        col, row = i % 4, i // 4
        x, y = 24 + col * 184, 376 + row * 56
        add(name, (x, y, x + 168, y + 44), name, link="#")
    add("Home", (24, 504, 104, 536), "Arrow Left", link="#")
    add("Next", (696, 504, 776, 536), "Arrow Right", link="#")
    add("Pick a style from the library on the right, then use Insert > New Button. "
        "Double-click an object to edit its text; File > Preview in Browser shows the page "
        "as HTML.", (120, 500, 680, 556), "Plain Text", Shape=23, FontSize=10,
        FontColor=rgb(60, 60, 60), IsTransparent=1)
    sections = [button_section(i, t, r, link, sn, **st)
                for i, (t, r, link, sn, st) in enumerate(objects)]
    return heading(len(objects), 800, 580, f"${rgb(244, 246, 250):08X}",
                   "Welcome") + "".join(sections)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "data")
    images = os.path.join(root, "Images")
    projects = os.path.join(root, "projects")
    os.makedirs(images, exist_ok=True)
    os.makedirs(projects, exist_ok=True)
    for name, fn in TEXTURES.items():
        write_bmp(os.path.join(images, name), SIZE, SIZE, fn)
    write_bmp(os.path.join(images, "sky-banner.bmp"), BANNER[0], BANNER[1], sky_banner)
    with open(os.path.join(root, "library.zlm"), "w", newline="\n") as f:
        f.write(library())
    with open(os.path.join(projects, "splash.zlm"), "w", newline="\n") as f:
        f.write(splash())


if __name__ == "__main__":
    main()
