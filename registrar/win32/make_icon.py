#!/usr/bin/env python3
"""Writes parvane.ico: Parvane's icon, a butterfly on a clear ground, drawn here
pixel by pixel in 32x32 and 16x16, 24-bit colour with a transparency mask.

Run it again after changing the drawing: python3 make_icon.py
"""
import os
import struct

WING = (0x30, 0x80, 0xE8)   # orange-ish in BGR order: blue, green, red
EDGE = (0x20, 0x40, 0x90)
BODY = (0x30, 0x30, 0x30)


def pixel(x, y, size):
    """Colour at (x, y), y counted from the top, or None for transparent."""
    # Work in a 32-unit square whatever the size.
    u = (x + 0.5) * 32.0 / size
    v = (y + 0.5) * 32.0 / size
    if abs(u - 16) < 1.3 and 7 <= v <= 26:
        return BODY
    if 4 <= v <= 8 and abs(abs(u - 16) - (8 - v) * 0.8) < 0.8:
        return BODY  # antennae
    for side in (-1, 1):
        for cx, cy, rx, ry in ((16 + side * 8, 12, 7.5, 6.5), (16 + side * 6.5, 21.5, 5.5, 5)):
            d = ((u - cx) / rx) ** 2 + ((v - cy) / ry) ** 2
            if d <= 1.0:
                return EDGE if d > 0.7 else WING
    return None


def image(size):
    row_bytes = (size * 3 + 3) // 4 * 4
    mask_row_bytes = (size + 31) // 32 * 4
    colours = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bitmaps are stored bottom-up
        row = bytearray()
        bits = bytearray(mask_row_bytes)
        for x in range(size):
            colour = pixel(x, y, size)
            if colour is None:
                row += b"\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                row += bytes(colour)
        row += b"\0" * (row_bytes - len(row))
        colours += row
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(colours) + len(mask), 0, 0, 0, 0)
    return header + colours + mask


def main():
    images = [image(32), image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "parvane.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
