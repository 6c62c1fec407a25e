#!/usr/bin/env python3
"""Draws Kestrane's icon: 16, 32 and 48 pixels, each at 16 colours, 256 colours and 32-bit colour.

usage: make_icon.py OUTPUT.ico

A teal rounded square with a white "launch" triangle. Standard library only; the output is
the same byte for byte on every run.
"""
import struct
import sys

SIZES = (16, 32, 48)
DEPTHS = (4, 8, 32)
SUPERSAMPLE = 4

BACKGROUND_TOP = (32, 150, 160)
BACKGROUND_BOTTOM = (14, 78, 96)
BORDER = (8, 48, 60)
MARK = (255, 255, 255)

# The sixteen colours every Windows display has.
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette_256():
    """A 6x6x6 colour cube, then a ramp of greys and of the icon's own teals."""
    levels = (0, 51, 102, 153, 204, 255)
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    colours += [(v, v, v) for v in range(8, 248, 10)][:24]
    while len(colours) < 256:
        t = (len(colours) - 240) / 15.0
        colours.append(mix(BACKGROUND_BOTTOM, BACKGROUND_TOP, t))
    return colours


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def inside_rounded_square(x, y, size, inset, radius):
    lo, hi = inset, size - inset
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_triangle(x, y, size):
    # Pointing right, centred a little right of the middle so it looks balanced.
    ax, ay = 0.36 * size, 0.26 * size
    bx, by = 0.36 * size, 0.74 * size
    cx, cy = 0.74 * size, 0.50 * size

    def side(px, py, qx, qy):
        return (qx - px) * (y - py) - (qy - py) * (x - px)

    s1, s2, s3 = side(ax, ay, bx, by), side(bx, by, cx, cy), side(cx, cy, ax, ay)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def sample(x, y, size):
    """Colour and coverage (0 or 1) of one point of the drawing."""
    radius = size * 0.22
    if not inside_rounded_square(x, y, size, 0.5, radius):
        return (0, 0, 0), 0.0
    if inside_triangle(x, y, size):
        return MARK, 1.0
    if not inside_rounded_square(x, y, size, 0.5 + max(1.0, size / 24.0), radius - 1.0):
        return BORDER, 1.0
    return mix(BACKGROUND_TOP, BACKGROUND_BOTTOM, y / size), 1.0


def render(size):
    """Rows top to bottom of (r, g, b, a), antialiased by supersampling."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    colour, cover = sample(px + (sx + 0.5) / n, py + (sy + 0.5) / n, size)
                    r += colour[0] * cover
                    g += colour[1] * cover
                    b += colour[2] * cover
                    a += cover
            if a:
                row.append((int(round(r / a)), int(round(g / a)), int(round(b / a)), int(round(255 * a / (n * n)))))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((c - p) ** 2 for c, p in zip(colour, palette[i])))


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def pack_indices(indices, bits):
    out = bytearray()
    per_byte = 8 // bits
    for i in range(0, len(indices), per_byte):
        value = 0
        for j, index in enumerate(indices[i:i + per_byte]):
            value |= index << (8 - bits * (j + 1))
        out.append(value)
    return bytes(out)


def and_mask(rows):
    """1 bit per pixel, set where the pixel is transparent; rows bottom-up."""
    data = b""
    for row in reversed(rows):
        bits = [1 if pixel[3] < 128 else 0 for pixel in row]
        data += padded(pack_indices(bits, 1))
    return data


def image(size, depth):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0, 0, 0, 0, 0, 0)
    if depth == 32:
        pixels = b"".join(
            struct.pack("<BBBB", b, g, r, a) for row in reversed(rows) for (r, g, b, a) in row)
        return header + pixels + and_mask(rows)
    palette = VGA_PALETTE if depth == 4 else palette_256()
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    bits = b""
    for row in reversed(rows):
        indices = [nearest(p[:3], palette) if p[3] >= 128 else 0 for p in row]
        bits += padded(pack_indices(indices, depth))
    return header + table + bits + and_mask(rows)


def icon():
    images = [(size, depth, image(size, depth)) for size in SIZES for depth in DEPTHS]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, depth, data in images:
        colours = 16 if depth == 4 else 0
        directory += struct.pack("<BBBBHHII", size, size, colours, 0, 1, depth, len(data), offset)
        offset += len(data)
    return directory + b"".join(data for _, _, data in images)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    with open(sys.argv[1], "wb") as out:
        out.write(icon())
    return 0


if __name__ == "__main__":
    sys.exit(main())
