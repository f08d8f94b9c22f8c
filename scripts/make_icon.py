#!/usr/bin/env python3
"""Draws the program's icon (a bound book with a quill) and writes resources/quillbinder.ico
with a 32x32 and a 16x16 image of 16 colours. Run again after changing the picture."""
import math
import os
import struct
import sys

# The standard 16-colour palette, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, LIGHT, YELLOW, BLUE, WHITE, OLIVE = 0, 4, 8, 7, 11, 12, 15, 3
CLEAR = None


def near_segment(px, py, ax, ay, bx, by):
    """Distance of (px, py) from the segment a-b and the position along it (0..1)."""
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy)), t


def pixel(x, y):
    """Colour at a point of the 32x32 drawing (continuous coordinates, y downwards)."""
    # Quill on top: a shaft from the nib (9, 27) to the tip (29, 2) with a feather around it.
    d, t = near_segment(x, y, 9.0, 27.0, 29.0, 2.0)
    if t > 0.3:
        width = 4.2 * math.sin(math.pi * (t - 0.3) / 0.7) + 0.6
        if d < 0.7:
            return GREY
        if d < width - 0.9:
            return WHITE
        if d < width:
            return BLACK
    elif d < 0.9:
        return BLACK if t < 0.08 else OLIVE
    # Book: cover with spine and page edges, a yellow label on the cover.
    if 3 <= x < 24 and 5 <= y < 30:
        if x < 5.5:
            return BLACK if x < 3.5 or y < 5.5 or y >= 29 else NAVY
        if x >= 23 or y < 6 or y >= 29:
            return BLACK
        if 9 <= x < 20 and 10 <= y < 14:
            return BLACK if (x < 10 or x >= 19 or y < 11 or y >= 13) else YELLOW
        return BLUE
    if 24 <= x < 27 and 7 <= y < 29:
        if x >= 26 or y >= 28:
            return BLACK
        return WHITE if int(y) % 2 == 0 else LIGHT
    return CLEAR


def image(size):
    scale = 32.0 / size
    rows = []
    for row in range(size):
        rows.append([pixel((col + 0.5) * scale, (row + 0.5) * scale) for col in range(size)])
    return rows


def dib(rows):
    """A BITMAPINFOHEADER, palette, 4-bit XOR plane and 1-bit AND plane, bottom-up."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor = bytearray()
    andmask = bytearray()
    and_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):
        line = bytearray()
        for col in range(0, size, 2):
            hi = row[col] or 0
            lo = row[col + 1] or 0
            line.append((hi << 4) | lo)
        while len(line) % 4:
            line.append(0)
        xor += line
        mask = bytearray(and_stride)
        for col, colour in enumerate(row):
            if colour is CLEAR:
                mask[col // 8] |= 0x80 >> (col % 8)
        andmask += mask
    return header + palette + bytes(xor) + bytes(andmask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "resources", "quillbinder.ico")
    images = [dib(image(32)), dib(image(16))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in zip((32, 16), images):
        data += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
