#!/usr/bin/env python3
"""Writes tobi.ico: one 32 x 32 image, 24-bit colour, a white "T" on a teal
tile with a darker rim. Run it again only to change the picture; the .ico is
kept in the repository so that the build needs no Python."""
import struct
import sys

SIZE = 32
RIM = (0x2F, 0x5D, 0x62)       # RGB
TILE_TOP = (0x3F, 0xA7, 0xA3)
TILE_BOTTOM = (0x24, 0x7A, 0x86)
LETTER = (0xFF, 0xFF, 0xFF)


def pixel(x, y):
    """Colour and transparency of one pixel, y counted from the top."""
    corner = 3
    dx = max(corner - x, x - (SIZE - 1 - corner), 0)
    dy = max(corner - y, y - (SIZE - 1 - corner), 0)
    if dx * dx + dy * dy > corner * corner:
        return (0, 0, 0), True
    if x in (0, SIZE - 1) or y in (0, SIZE - 1) or dx * dx + dy * dy > (corner - 1) ** 2:
        return RIM, False
    bar = 6 <= y <= 10 and 6 <= x <= 25
    stem = 6 <= y <= 26 and 13 <= x <= 18
    if bar or stem:
        return LETTER, False
    t = y / (SIZE - 1)
    return tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM)), False


def main(path):
    colour_rows = []
    mask_rows = []
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        row = bytearray()
        mask = 0
        for x in range(SIZE):
            (r, g, b), transparent = pixel(x, y)
            row += bytes((b, g, r))
            if transparent:
                mask |= 1 << (SIZE - 1 - x)
        colour_rows.append(bytes(row))
        mask_rows.append(struct.pack(">I", mask))
    image = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    image += b"".join(colour_rows) + b"".join(mask_rows)
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(header + entry + image)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "tobi.ico")
