#!/usr/bin/env python3
"""character_picture.py OUT.bmp: a 24-bit BMP of 128 x 128 pixels in
coloured bands with a dark grid, for the characters of the glTF tests: the
bands show where a limb's texture coordinates land, the grid which way."""
import struct
import sys

size = 128
colours = [(220, 80, 60), (240, 190, 70), (90, 170, 90), (70, 130, 210), (170, 90, 200), (230, 230, 230)]
rows = []
for y in range(size):
    row = bytearray()
    for x in range(size):
        r, g, b = colours[(y * len(colours)) // size]
        if x % 16 == 0 or y % 16 == 0:
            r, g, b = r // 3, g // 3, b // 3
        row += bytes((b, g, r))
    rows.append(bytes(row))
pixels = b''.join(reversed(rows))  # bottom row first
header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
info = struct.pack('<IiiHHIIiiII', 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], 'wb').write(header + info + pixels)
