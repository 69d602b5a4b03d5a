#!/usr/bin/env python3
"""Makes the map example's level: its tileset picture (assets/level/tiles.png, drawn here) and the
map (assets/level/level.tmj, in the JSON form Tiled saves). The results are committed; run it
again after changing the level:
  python3 make_level.py"""
import json
import os
import random
import re
import struct
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "assets", "level")
T = 16                       # pixels per tile
COLUMNS, W, H = 8, 64, 48    # tileset columns; the map's size in tiles
GRASS, FLOWERS, PATH, WALL, WATER, _W1, _W2, ROCK = range(8)


def png(path, w, h, pixel):
    raw = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(w)) for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(os.path.join(HERE, path), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def tile(t, x, y):
    """Pixel (x, y) of tile t; magenta is the tileset's transparent colour."""
    speck = (x * 7 + y * 13) % 11 == 0
    if t in (GRASS, FLOWERS):
        if t == FLOWERS and (x - 4) % 8 in (0, 1) and (y - 4) % 8 in (0, 1):
            return (250, 230, 80) if (x // 8 + y // 8) % 2 else (240, 110, 160)
        return (60, 150, 60) if speck else (80, 170, 70)
    if t == PATH:
        return (170, 140, 90) if speck else (190, 160, 110)
    if t == WALL:
        mortar = y % 8 == 7 or (x + (4 if y // 8 else 0)) % 8 == 7
        return (90, 90, 100) if mortar else (150, 140, 140)
    if t in (WATER, _W1, _W2):
        wave = (x + 2 * (t - WATER) * 2 + (y // 4) * 3) % 8 < 2 and y % 4 == 1
        return (200, 230, 255) if wave else (40, 90, 200)
    # ROCK: a grey boulder on the transparent colour, drawn over the ground below it
    d = (x - 7.5) ** 2 + ((y - 8.5) * 1.3) ** 2
    if d > 42:
        return (255, 0, 255)
    return (120, 120, 125) if d > 25 or x > y else (170, 170, 175)


png("tiles.png", COLUMNS * T, T, lambda x, y: tile(x // T, x % T, y))

rng = random.Random(7)
ground = [FLOWERS + 1 if rng.random() < 0.08 else GRASS + 1 for _ in range(W * H)]
walls = [0] * (W * H)
for x in range(W):  # a path across, and one down
    ground[20 * W + x] = PATH + 1
for y in range(H):
    ground[y * W + 30] = PATH + 1
for y in range(22, 32):  # a pond
    for x in range(14, 27):
        if ((x - 20) / 6.5) ** 2 + ((y - 26.5) / 4.5) ** 2 < 1:
            ground[y * W + x] = WATER + 1
for i in range(W):  # a wall all round
    walls[i] = walls[(H - 1) * W + i] = WALL + 1
for i in range(H):
    walls[i * W] = walls[i * W + W - 1] = WALL + 1
for y in range(6, 16):  # a walled yard with a gate on the path
    for x in (40, 52):
        walls[y * W + x] = WALL + 1
for x in range(40, 53):
    walls[6 * W + x] = WALL + 1
    if x != 46:
        walls[15 * W + x] = WALL + 1
for _ in range(30):  # rocks on the grass, not on the paths
    x, y = rng.randrange(2, W - 2), rng.randrange(2, H - 2)
    in_yard = 39 <= x <= 53 and 5 <= y <= 16
    if (ground[y * W + x] == GRASS + 1 and not walls[y * W + x] and not in_yard and
            abs(y - 20) > 1 and abs(x - 30) > 1):
        walls[y * W + x] = ROCK + 1


def point(id_, name, cls, x, y, props=None):
    o = {"height": 0, "id": id_, "name": name, "point": True, "rotation": 0, "type": cls,
         "visible": True, "width": 0, "x": x, "y": y}
    if props:
        o["properties"] = props
    return o


objects = [point(1, "start", "spawn", 24 * T + 8, 20 * T + 8)]
coins = [(5, 20), (27, 20), (30, 5), (30, 40), (44, 10), (48, 12), (58, 20), (22, 42)]
for i, (x, y) in enumerate(coins):
    objects.append(point(2 + i, "coin", "coin", x * T + 8, y * T + 8,
                         [{"name": "value", "type": "int", "value": 10 if i % 3 else 50}]))
objects.append(point(20, "guard", "enemy", 46 * T + 8, 18 * T + 8,
                     [{"name": "range", "type": "int", "value": 64}]))
objects.append({"height": 2 * T, "id": 21, "name": "exit", "rotation": 0, "type": "exit",
                "visible": True, "width": 2 * T, "x": 45 * T, "y": 9 * T})

level = {
    "compressionlevel": -1, "height": H, "infinite": False, "nextlayerid": 4, "nextobjectid": 22,
    "orientation": "orthogonal", "renderorder": "right-down", "tiledversion": "1.8.2",
    "tileheight": T, "tilewidth": T, "type": "map", "version": "1.8", "width": W,
    "properties": [{"name": "title", "type": "string", "value": "The yard"}],
    "layers": [
        {"data": ground, "height": H, "id": 1, "name": "ground", "opacity": 1, "type": "tilelayer",
         "visible": True, "width": W, "x": 0, "y": 0},
        {"data": walls, "height": H, "id": 2, "name": "walls", "opacity": 1, "type": "tilelayer",
         "visible": True, "width": W, "x": 0, "y": 0},
        {"draworder": "topdown", "id": 3, "name": "things", "objects": objects, "opacity": 1,
         "type": "objectgroup", "visible": True, "x": 0, "y": 0},
    ],
    "tilesets": [{
        "columns": COLUMNS, "firstgid": 1, "image": "tiles.png", "imageheight": T,
        "imagewidth": COLUMNS * T, "margin": 0, "name": "yard", "spacing": 0, "tilecount": COLUMNS,
        "tileheight": T, "tilewidth": T, "transparentcolor": "#ff00ff",
        "tiles": [{"id": WATER, "animation": [{"duration": 300, "tileid": WATER + i} for i in range(3)]}],
    }],
}
# As Tiled writes it: one key a line, a layer's data on one line.
text = json.dumps(level, indent=1, sort_keys=True)
text = re.sub(r"\[\s*(\d+(?:,\s*\d+)*)\s*\]", lambda m: "[" + re.sub(r",\s*", ", ", m.group(1)) + "]",
              text)
with open(os.path.join(HERE, "level.tmj"), "w") as f:
    f.write(text + "\n")
