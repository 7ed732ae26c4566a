#!/usr/bin/env python3
"""Draws Keyscry's icon: a gold key on a dark-blue rounded tile, one 32 x 32
image at 8 bits per pixel. Run it to regenerate res/keyscry.ico."""
import os
import struct

SIZE = 32
PALETTE = [
    (0, 0, 0),  # 0: transparent background (masked)
    (40, 60, 110),  # 1: tile
    (230, 180, 40),  # 2: key
    (150, 110, 20),  # 3: key shadow
    (255, 235, 150),  # 4: key highlight
]


def draw():
    pixels = [[0] * SIZE for _ in range(SIZE)]
    mask = [[1] * SIZE for _ in range(SIZE)]  # 1 = transparent
    for y in range(SIZE):
        for x in range(SIZE):
            # Rounded tile: corners of radius 5 are cut away.
            cx = min(max(x, 5), SIZE - 6)
            cy = min(max(y, 5), SIZE - 6)
            if (x - cx) ** 2 + (y - cy) ** 2 <= 25:
                pixels[y][x] = 1
                mask[y][x] = 0
    # The key's bow: a ring centred at (10, 16).
    for y in range(SIZE):
        for x in range(SIZE):
            d = (x - 10) ** 2 + (y - 16) ** 2
            if 9 <= d <= 36:
                pixels[y][x] = 2 if d < 30 else 3
    # The shank and two teeth.
    for x in range(16, 28):
        pixels[15][x] = 4
        pixels[16][x] = 2
        pixels[17][x] = 3
    for x, length in ((22, 4), (26, 5)):
        for y in range(18, 18 + length):
            pixels[y][x] = 2
            pixels[y][x + 1] = 3
    return pixels, mask


def icon_bytes(pixels, mask):
    colours = len(PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    palette += b"\0" * 4 * (256 - colours)
    xor = b"".join(bytes(row) for row in reversed(pixels))
    and_rows = []
    for row in reversed(mask):
        bits = 0
        for bit in row:
            bits = (bits << 1) | bit
        and_rows.append(struct.pack(">I", bits))
    image = header + palette + xor + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "keyscry.ico")
    with open(out, "wb") as f:
        f.write(icon_bytes(*draw()))
    print(out)
