#!/usr/bin/env python3
"""Draws the options dialog's banner: 365 x 65 pixels, 24-bit BMP.

A halftone ramp of orange dots on a dark ground, with the product name set
in dots from a 5 x 7 pixel font. Run it to regenerate src/dialog/banner.bmp.
"""
import math
import struct
import sys

W, H = 365, 65
FONT = {
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'I': ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'X': ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
}
GROUND = (24, 22, 28)
DOT = (255, 125, 20)
TEXT = (250, 246, 240)


def coverage(px, py, cx, cy, r):
    """Share of the pixel (4 x 4 samples) inside the circle."""
    inside = 0
    for sy in range(4):
        for sx in range(4):
            dx = px + (sx + 0.5) / 4 - cx
            dy = py + (sy + 0.5) / 4 - cy
            inside += dx * dx + dy * dy <= r * r
    return inside / 16


def main(path):
    img = [[list(GROUND) for _ in range(W)] for _ in range(H)]

    def dot(cx, cy, r, colour):
        for py in range(max(0, int(cy - r) - 1), min(H, int(cy + r) + 2)):
            for px in range(max(0, int(cx - r) - 1), min(W, int(cx + r) + 2)):
                a = coverage(px, py, cx, cy, r)
                if a > 0:
                    p = img[py][px]
                    for c in range(3):
                        p[c] = round(p[c] * (1 - a) + colour[c] * a)

    # The ramp: dots grow from left to right on a lattice turned by 30 degrees.
    pitch = 9.0
    angle = math.radians(30)
    for j in range(-20, 60):
        for i in range(-20, 60):
            x = i * pitch * math.cos(angle) - j * pitch * math.sin(angle)
            y = i * pitch * math.sin(angle) + j * pitch * math.cos(angle)
            if -pitch < x < W + pitch and -pitch < y < H + pitch:
                t = max(0.0, min(1.0, x / W))
                dot(x, y, 0.6 + 3.6 * t * t, DOT)

    # The name, one dot per font pixel, with a dark halo for contrast.
    text = "STIPPLEX"
    step = 4.0
    left = 20.0
    top = (H - 7 * step) / 2
    for halo, colour, radius in ((True, GROUND, 2.6), (False, TEXT, 1.55)):
        for k, ch in enumerate(text):
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == "1":
                        dot(left + (k * 6 + col) * step + step / 2, top + row * step + step / 2,
                            radius, colour)

    row_bytes = (W * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up rows
        line = bytearray()
        for x in range(W):
            r, g, b = img[y][x]
            line += bytes((b, g, r))
        line += b"\0" * (row_bytes - len(line))
        pixels += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "src/dialog/banner.bmp")
