"""The 24-bit BMP writer of the data scripts."""
import struct


def clamp(v):
    return max(0, min(255, int(round(v))))


def write_bmp(path, w, h, pixel):
    """A bottom-up 24-bit BMP; pixel(x, y) gives (r, g, b) for y measured from the top."""
    pad = (4 - (w * 3) % 4) % 4
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            row += bytes((clamp(b), clamp(g), clamp(r)))
        rows.append(bytes(row) + b"\0" * pad)
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)
