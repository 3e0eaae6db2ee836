#!/usr/bin/env python3
"""Writes terrain.png, the globe's colour ramp, using only the standard library.

The viewer maps a point's distance from the centre from [0.96, 1.04] onto the
ramp's first row, left to right, nearest texel.  Heights gather around 1.0
(the middle of the row), so the shoreline sits just left of the middle: the
globe shows a little more land than sea.

Usage: python3 assets/make-terrain.py [output]   (default: terrain.png beside this script)
"""

import os
import struct
import sys
import zlib

WIDTH = 256
HEIGHT = 16  # every row is the same; only the first one is sampled

# (position along the row in [0, 1], colour) from the lowest ground to the highest.
STOPS = [
    (0.00, (6, 18, 58)),       # deep ocean
    (0.22, (14, 44, 110)),     # open ocean
    (0.40, (30, 100, 170)),    # coastal water
    (0.465, (72, 166, 196)),   # shallow water
    (0.48, (214, 200, 148)),   # sand (shoreline)
    (0.505, (160, 180, 100)),  # dune grass
    (0.56, (88, 152, 64)),     # lowland green
    (0.66, (50, 118, 48)),     # forest green
    (0.75, (118, 106, 62)),    # upland olive
    (0.82, (122, 88, 56)),     # highland brown
    (0.89, (118, 112, 108)),   # rock grey
    (0.935, (160, 158, 158)),  # light rock
    (0.975, (246, 248, 252)),  # snow white
    (1.00, (255, 255, 255)),   # bright snow
]


def smoothstep(t):
    return t * t * (3.0 - 2.0 * t)


def colour_at(x):
    """Colour at x in [0, 1], eased between neighbouring stops so no seams show."""
    for (x0, c0), (x1, c1) in zip(STOPS, STOPS[1:]):
        if x <= x1:
            t = smoothstep((x - x0) / (x1 - x0))
            return tuple(round(a + (b - a) * t) for a, b in zip(c0, c1))
    return STOPS[-1][1]


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "terrain.png")

    row = bytearray()
    for i in range(WIDTH):
        row.extend(colour_at(i / (WIDTH - 1)))
    raw = b"".join(b"\x00" + bytes(row) for _ in range(HEIGHT))  # filter type 0 per row

    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)  # 8-bit RGB
    png = (b"\x89PNG\r\n\x1a\n"
           + png_chunk(b"IHDR", header)
           + png_chunk(b"IDAT", zlib.compress(raw, 9))
           + png_chunk(b"IEND", b""))
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
