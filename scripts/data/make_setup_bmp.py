#!/usr/bin/python3
"""Draws data/setup.bmp, the start-up picture (488 x 291, 24 bits).

The lower band stays light and plain: the splash window writes its version and copyright
lines at x 12, y 232 and 248 and puts its progress bar at y 270 in black text over it.
Run from the repository root: /usr/bin/python3 scripts/data/make_setup_bmp.py
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

W, H = 488, 291
BAND = 222  # top of the light band

FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def font(name, size):
    try:
        return ImageFont.truetype(os.path.join(FONT_DIR, name), size)
    except OSError:
        return ImageFont.load_default()


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def vertical_gradient(draw, box, top, bottom):
    x0, y0, x1, y1 = box
    for y in range(y0, y1):
        draw.line([(x0, y), (x1 - 1, y)], fill=lerp(top, bottom, (y - y0) / max(1, y1 - y0 - 1)))


def button(img, box, top, bottom, caption, radius=10):
    """A web button: a rounded, shaded plate with a darker rim and a centred caption."""
    x0, y0, x1, y1 = box
    plate = Image.new("RGB", (x1 - x0, y1 - y0))
    vertical_gradient(ImageDraw.Draw(plate), (0, 0, x1 - x0, y1 - y0), top, bottom)
    mask = Image.new("L", plate.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, x1 - x0 - 1, y1 - y0 - 1], radius, fill=255)
    shadow = Image.new("L", plate.size, 0)
    ImageDraw.Draw(shadow).rounded_rectangle([0, 0, x1 - x0 - 1, y1 - y0 - 1], radius, fill=90)
    img.paste((20, 30, 60), (x0 + 3, y0 + 3), shadow)
    img.paste(plate, (x0, y0), mask)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([x0, y0, x1 - 1, y1 - 1], radius, outline=lerp(bottom, (0, 0, 0), 0.4))
    d.line([(x0 + radius, y0 + 2), (x1 - radius, y0 + 2)], fill=lerp(top, (255, 255, 255), 0.6))
    f = font("DejaVuSans-Bold.ttf", 13)
    tw = d.textlength(caption, font=f)
    d.text((x0 + (x1 - x0 - tw) / 2, y0 + (y1 - y0) / 2 - 8), caption, font=f, fill=(255, 255, 255))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "data/setup.bmp"
    img = Image.new("RGB", (W, H))
    d = ImageDraw.Draw(img)
    vertical_gradient(d, (0, 0, W, BAND), (34, 52, 110), (90, 130, 200))
    # A faint grid, as on the editing page.
    for x in range(0, W, 16):
        d.line([(x, 0), (x, BAND - 1)], fill=(70, 100, 170))
    for y in range(0, BAND, 16):
        d.line([(0, y), (W - 1, y)], fill=(70, 100, 170))
    vertical_gradient(d, (0, BAND, W, H), (236, 240, 248), (214, 222, 236))
    d.line([(0, BAND), (W - 1, BAND)], fill=(250, 200, 60))
    d.line([(0, BAND + 1), (W - 1, BAND + 1)], fill=(200, 140, 30))

    title = font("DejaVuSans-Bold.ttf", 46)
    d.text((26, 24), "Zelmora", font=title, fill=(16, 24, 60))
    d.text((24, 22), "Zelmora", font=title, fill=(255, 255, 255))
    d.text((28, 80), "web buttons and pages", font=font("DejaVuSans.ttf", 17), fill=(220, 232, 255))

    button(img, (28, 126, 148, 158), (255, 190, 80), (210, 110, 20), "Home")
    button(img, (160, 126, 280, 158), (120, 210, 120), (30, 130, 50), "Products")
    button(img, (292, 126, 412, 158), (230, 110, 170), (150, 30, 90), "Contact")
    button(img, (28, 172, 218, 204), (150, 200, 255), (40, 90, 200), "Download now", radius=16)
    # An elliptic badge at the right.
    d.ellipse([380, 16, 468, 104], fill=(250, 200, 60), outline=(160, 100, 10), width=3)
    small = font("DejaVuSans-Bold.ttf", 15)
    for i, line in enumerate(("Design", "Slice", "Publish")):
        tw = d.textlength(line, font=small)
        d.text((424 - tw / 2, 34 + 18 * i), line, font=small, fill=(90, 50, 0))

    img.save(out, "BMP")


if __name__ == "__main__":
    main()
