#!/usr/bin/env python3
"""Draws the program's icon (a blue disc with a white downward arrow) into a .ico file.

Usage: make_icon.py <output.ico>
Sizes 16, 32 and 48, 32-bit colour with alpha, 4x4 supersampling for smooth edges.
"""
import struct
import sys


def coverage(size, x, y):
    """Returns (disc, arrow) coverage of pixel (x, y), each 0..1."""
    disc = arrow = 0
    n = 4
    for sy in range(n):
        for sx in range(n):
            u = (x + (sx + 0.5) / n) / size  # 0..1 across
            v = (y + (sy + 0.5) / n) / size  # 0..1 down
            du, dv = u - 0.5, v - 0.5
            if du * du + dv * dv <= 0.47 * 0.47:
                disc += 1
                shaft = abs(du) <= 0.09 and 0.18 <= v <= 0.56
                head = 0.50 <= v <= 0.80 and abs(du) <= (0.80 - v) * 0.95
                if shaft or head:
                    arrow += 1
    return disc / (n * n), arrow / (n * n)


def image(size):
    rows = []
    for y in range(size):
        row = bytearray()
        for x in range(size):
            disc, arrow = coverage(size, x, y)
            t = y / max(size - 1, 1)
            r, g, b = int(30 + 20 * t), int(136 - 50 * t), int(229 - 60 * t)
            if disc:
                k = arrow / disc
                r, g, b = (int(c + (255 - c) * k) for c in (r, g, b))
            row += bytes((b, g, r, int(255 * disc)))
        rows.append(bytes(row))
    xor = b"".join(reversed(rows))  # DIBs are stored bottom-up
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # alpha decides; the mask stays all visible
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main():
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
