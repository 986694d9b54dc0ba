#!/usr/bin/env python3
"""Draws the demo's input picture: a sunset over hills, 960 x 540, RGB PNG.

Run it to regenerate assets/demo-input.png (the demo reads the checked-in
file, so nothing here runs during a build).
"""
import math
import struct
import sys
import zlib

W, H = 960, 540


def clamp(v):
    return max(0, min(255, int(round(v))))


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def pixel(x, y):
    fx, fy = x / W, y / H
    # Sky: deep blue at the top to warm orange at the horizon.
    sky = mix((18, 24, 72), (255, 150, 60), min(1.0, fy / 0.62) ** 1.4)
    # The sun with a soft glow.
    d = math.hypot(x - W * 0.62, y - H * 0.52)
    sun = max(0.0, 1.0 - d / 95.0)
    glow = math.exp(-((d / 230.0) ** 2)) * 0.55
    c = mix(sky, (255, 236, 170), min(1.0, sun * 4.0))
    c = mix(c, (255, 200, 120), glow)
    # Two ranges of hills, the nearer one darker.
    far = H * (0.66 + 0.05 * math.sin(fx * 7.0 + 1.2) + 0.03 * math.sin(fx * 17.0))
    near = H * (0.78 + 0.07 * math.sin(fx * 4.0 + 3.1) + 0.02 * math.sin(fx * 23.0 + 0.5))
    if y > far:
        c = mix((120, 60, 90), (60, 30, 60), min(1.0, (y - far) / 120.0))
    if y > near:
        c = mix((40, 22, 40), (12, 8, 18), min(1.0, (y - near) / 80.0))
    return tuple(clamp(v) for v in c)


def main(path):
    raw = bytearray()
    for y in range(H):
        raw.append(0)
        for x in range(W):
            raw += bytes(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "assets/demo-input.png")
