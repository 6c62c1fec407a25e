#!/usr/bin/env python3
"""Writes the menu emblem: a 13 x 13, 24-bit, uncompressed BMP of a blue disc on white.

Usage: make_emblem.py OUTPUT.bmp
"""
import struct
import sys

SIZE = 13
WHITE = (255, 255, 255)
BLUE = (0x1E, 0x5A, 0xC8)       # the disc (R, G, B)
RIM = (0x0B, 0x2E, 0x78)        # its darker rim
HIGHLIGHT = (0x9C, 0xC4, 0xF4)  # a glint up and to the left


def pixel(x, y):
    # Centre of the pixel relative to the centre of the picture.
    cx, cy = x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2
    d2 = cx * cx + cy * cy
    if d2 > 6.3 ** 2:
        return WHITE
    if d2 > 5.2 ** 2:
        return RIM
    gx, gy = cx + 1.8, cy + 1.8
    if gx * gx + gy * gy < 1.6 ** 2:
        return HIGHLIGHT
    return BLUE


def emblem():
    stride = (SIZE * 3 + 3) & ~3
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up, as BMP stores rows
        row = bytearray()
        for x in range(SIZE):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return header + info + bits


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as out:
        out.write(emblem())


if __name__ == "__main__":
    main()
