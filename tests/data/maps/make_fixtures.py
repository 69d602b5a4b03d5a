#!/usr/bin/env python3
"""Makes the map tests' pictures, and from the hand-written TMX maps beside this script the JSON
twins (Tiled's own export) and the reference pictures (Tiled's own tmxrasterizer). Run it here
after changing a map (Tiled comes from Debian's `tiled` package, run headless); the results are
committed, so the tests do not need Tiled.
  python3 make_fixtures.py"""
import os
import struct
import subprocess
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def png(path, w, h, pixels, alpha=False):
    """Writes rows of (r, g, b[, a]) tuples as an 8-bit PNG."""
    raw = b""
    for y in range(h):
        raw += b"\0" + b"".join(bytes(pixels(x, y)) for x in range(w))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    head = struct.pack(">IIBBBBB", w, h, 8, 6 if alpha else 2, 0, 0, 0)
    with open(os.path.join(HERE, path), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw)) +
                chunk(b"IEND", b""))


BASES = [(200, 40, 40), (40, 180, 60), (50, 70, 210), (220, 200, 40), (160, 60, 200),
         (40, 190, 200), (230, 130, 30), (120, 120, 120), (250, 180, 190), (90, 50, 20),
         (20, 90, 60), (180, 220, 120)]


def tile_pixel(t, x, y):
    """Tile t's pixel: a staircase of two shades and a white mark, so every flip shows; tiles
    8 to 11 have holes of the transparent colour (magenta)."""
    r, g, b = BASES[t]
    if (x, y) == (1, 0):
        return (255, 255, 255)
    if t >= 8 and (x + 2 * y) % 5 == 0:
        return (255, 0, 255)
    return (r, g, b) if x > y else (r // 2, g // 2, b // 2)


def sheet(x, y):
    """40x30: 4 x 3 tiles of 8x8, margin 1, spacing 2; grey between the tiles."""
    cx, cy = (x - 1) % 10, (y - 1) % 10
    if x < 1 or y < 1 or cx >= 8 or cy >= 8 or x >= 39 or y >= 29:
        return (128, 128, 128)
    return tile_pixel((y - 1) // 10 * 4 + (x - 1) // 10, cx, cy)


png("sheet.png", 40, 30, sheet)
# Two 8x8 tiles with holes of alpha 0, the rest opaque.
png("tilesets/alpha.png", 16, 8,
    lambda x, y: (*tile_pixel(x // 8 + 4, x % 8, y), 0 if (x % 8 + y) % 4 == 0 else 255), True)
# One picture per tile: one larger than a cell, one of a cell.
png("big.png", 16, 12, lambda x, y: (255, 255, 255) if (x, y) == (0, 0) else
    ((30 + 10 * x, 200 - 10 * y, 90) if x > y else (10, 10, 10)))
png("small.png", 8, 8, lambda x, y: tile_pixel(2, x, y))

env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
for name in sorted(os.listdir(HERE)):
    if not name.endswith(".tmx"):
        continue
    stem = name[:-4]
    subprocess.run(["tiled", "--export-map", "json", name, stem + ".tmj"], cwd=HERE, env=env,
                   check=True, stderr=subprocess.DEVNULL)
    # Shapes are the program's business: only tiles are compared, so "places" is left out.
    subprocess.run(["tmxrasterizer", "--hide-layer", "places", name, stem + ".ref.png"],
                   cwd=HERE, env=env, check=True, stderr=subprocess.DEVNULL)
# The animated tile 150 ms on: its second frame.
subprocess.run(["tmxrasterizer", "--hide-layer", "places", "--advance-animations", "150",
                "external.tmx", "external.150ms.ref.png"], cwd=HERE, env=env, check=True,
               stderr=subprocess.DEVNULL)
