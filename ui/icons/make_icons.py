#!/usr/bin/env python3
"""Draws the five 16 x 16 tool-button pictures and their grey disabled forms as PNG files.

The pictures are pixel art written out below (one character per pixel); the disabled form of
each is derived from it: the picture's outline in dark grey with a white relief one pixel down
and right, as disabled tool-bar pictures traditionally look. Run it from any directory; it writes
beside itself. Only the Python standard library is used.
"""
import math
import os
import struct
import zlib

PALETTE = {
    ".": None,
    "k": (0, 0, 0),
    "w": (255, 255, 255),
    "l": (192, 192, 192),
    "d": (128, 128, 128),
    "y": (255, 255, 0),
    "o": (128, 128, 0),
    "b": (0, 0, 255),
    "n": (0, 0, 128),
    "r": (255, 0, 0),
    "m": (128, 0, 0),
}

# 0: a tray of papers (add inputs).
ADD = """
................
......kkkkkkk...
......kwwwwwkk..
....kkkkkkkwwk..
....kwwwwwkwwk..
..kkkkkkkkwwwk..
..kwwwwwwkwwwk..
..kwddddwkwwkk..
..kwwwwwwkwkk...
kkkwddddwkkkkkkk
kyykwwwwwkyyyyok
kyyykkkkkkyyyyok
kyyyyyyyyyyyyyok
kooooooooooooook
kkkkkkkkkkkkkkkk
................
"""

# 1: a floppy disk (save the list).
SAVE = """
................
.kkkkkkkkkkkkkk.
.knkwwwwwwwwknk.
.knkwwwwwwwwknk.
.knkwddddddwknk.
.knkwwwwwwwwknk.
.knkwddddddwknk.
.knkwwwwwwwwknk.
.knnkkkkkkkknnk.
.knnnnnnnnnnnnk.
.knnlllllllnnnk.
.knnlkkllllnnnk.
.knnlkkllllnnnk.
.knnlkkllllnnnk.
.kkkkkkkkkkkkkk.
................
"""

# 2: a blue arrow pointing left above a red dash (remove).
REMOVE = """
................
................
.....n..........
....nbn.........
...nbbnnnnnnnn..
..nbbbbbbbbbbn..
.nbbbbbbbbbbbn..
..nbbbbbbbbbbn..
...nbbnnnnnnnn..
....nbn.........
.....n..........
................
..mmmmmmmmmmmm..
..mrrrrrrrrrrm..
..mmmmmmmmmmmm..
................
"""

# 4: a red arrow pointing right at a bar (exit).
EXIT = """
.............kk.
.............kd.
........m....kd.
........mm...kd.
........mrm..kd.
..mmmmmmmrrm.kd.
..mrrrrrrrrrmkd.
..mrrrrrrrrrrkd.
..mrrrrrrrrrmkd.
..mmmmmmmrrm.kd.
........mrm..kd.
........mm...kd.
........m....kd.
.............kd.
.............kd.
.............kk.
"""


def grid(art):
    rows = [r for r in art.strip("\n").split("\n")]
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), art
    return [[PALETTE[c] for c in r] for r in rows]


def circular_arrow():
    """3: a red circular arrow (run): a ring open at the upper right, its head pointing
    clockwise into the gap."""
    img = [[None] * 16 for _ in range(16)]
    cx, cy = 7.5, 8.0
    for y in range(16):
        for x in range(16):
            dx, dy = x - cx, cy - y
            d = math.hypot(dx, dy)
            ang = math.degrees(math.atan2(dy, dx))
            if 3.6 <= d <= 6.6 and not (5 <= ang <= 75):
                edge = d > 5.8 or d < 4.3
                img[y][x] = PALETTE["m"] if edge else PALETTE["r"]
    # Arrow head at the gap's upper end, pointing right (clockwise along the ring).
    head = [
        (8, 0), (8, 1), (8, 2), (8, 3), (8, 4), (8, 5), (8, 6),
        (9, 1), (9, 2), (9, 3), (9, 4), (9, 5),
        (10, 2), (10, 3), (10, 4),
        (11, 3),
    ]
    for x, y in head:
        img[y][x] = PALETTE["r"]
    for x, y in [(8, 0), (9, 1), (10, 2), (11, 3), (10, 4), (9, 5), (8, 6)]:
        img[y][x] = PALETTE["m"]
    return img


def disabled(img):
    """The grey outline form of a picture."""
    out = [[None] * 16 for _ in range(16)]

    def opaque(x, y):
        return 0 <= x < 16 and 0 <= y < 16 and img[y][x] is not None

    for y in range(16):
        for x in range(16):
            if not opaque(x, y):
                continue
            dark = img[y][x] == PALETTE["k"]
            border = any(not opaque(x + dx, y + dy) for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            if border or dark:
                out[y][x] = PALETTE["d"]
    for y in range(15, -1, -1):
        for x in range(15, -1, -1):
            if out[y][x] is None and x > 0 and y > 0 and out[y - 1][x - 1] == PALETTE["d"]:
                out[y][x] = PALETTE["w"]
    return out


def write_png(path, img, scale=1):
    size = 16 * scale
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            c = img[y // scale][x // scale]
            raw.extend((0, 0, 0, 0) if c is None else (*c, 255))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    pictures = [("add", grid(ADD)), ("save_list", grid(SAVE)), ("remove", grid(REMOVE)),
                ("run", circular_arrow()), ("exit", grid(EXIT))]
    preview = os.environ.get("ICON_PREVIEW")
    for name, img in pictures:
        write_png(os.path.join(here, name + ".png"), img)
        write_png(os.path.join(here, name + "_disabled.png"), disabled(img))
        if preview:
            write_png(os.path.join(preview, name + ".png"), img, 8)
            write_png(os.path.join(preview, name + "_disabled.png"), disabled(img), 8)


if __name__ == "__main__":
    main()
