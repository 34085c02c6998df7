#!/usr/bin/env python3
"""Draws the program's icon: a 32 x 32, 16-colour Windows icon (.ico).

A bright ball flies to the right, trailing three light streaks; its leading
edge is blue-shifted and its trailing edge red-shifted. Everything is drawn
from the shapes below, so the file can be made again at any time:

    python3 scripts/make-icon.py resources/lumirun.ico
"""
import struct
import sys

SIZE = 32

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_BLUE, GREY = 0, 1, 4, 8
RED, YELLOW, BLUE, CYAN, WHITE = 9, 11, 12, 14, 15
TRANSPARENT = None


def draw():
    """Returns rows top to bottom of palette indices or TRANSPARENT."""
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    # Streaks behind the ball: red at the tail, yellow nearer the ball.
    for y, start in ((10, 3), (16, 0), (21, 3)):
        for x in range(start, 20):
            pixels[y][x] = DARK_RED if x < 8 else RED if x < 14 else YELLOW
            if y == 16:
                pixels[y - 1][x] = pixels[y][x]

    # The ball: radius 8.5 around the pixel corner (22, 15.5), dark rim.
    cx, cy, r = 22.0, 15.5, 8.5
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            d2 = dx * dx + dy * dy
            if d2 > r * r:
                continue
            if d2 > (r - 1.2) ** 2:
                colour = BLACK
            elif dx > 3.5:
                colour = BLUE if dx > 5.5 else CYAN
            elif dx < -4.5:
                colour = RED
            else:
                colour = WHITE
            pixels[y][x] = colour

    # A glint on the ball.
    for x, y in ((20, 11), (21, 11), (20, 12)):
        pixels[y][x] = YELLOW
    return pixels


def ico_bytes(pixels):
    """A one-image icon: header, directory entry, 4-bit DIB with its mask."""
    xor_stride = SIZE // 2          # two pixels a byte, rows already 4-aligned
    and_stride = SIZE // 8          # one bit a pixel, 4 bytes a row
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):    # DIB rows run bottom to top
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = BLACK if colour is TRANSPARENT else colour
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    # The header's height covers both the colour image and the mask.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    icon_dir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icon_dir + entry + image


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-icon.py OUTPUT.ico")
    with open(sys.argv[1], "wb") as out:
        out.write(ico_bytes(draw()))


if __name__ == "__main__":
    main()
