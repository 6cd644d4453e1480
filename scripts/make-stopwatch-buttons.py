#!/usr/bin/env python3
"""Draws the stopwatch's four button pictures (start, stop, pause, reset), each 10 x 8
pixels, side by side into one 40 x 8 24-bit .bmp: a light symbol with a darker outline on
magenta, the colour the image list takes as transparent. Run once; the result is committed.
    python3 scripts/make-stopwatch-buttons.py clock/res/stopwatch_buttons.bmp
"""
import struct
import sys

MAGENTA = (0xFF, 0x00, 0xFF)
LIGHT = (0xE8, 0xE8, 0xE8)
OUTLINE = (0x50, 0x50, 0x50)

# '#' is the symbol; its outline is drawn around it. Each picture is 10 wide, 8 high.
PICTURES = [
    [  # start: a right-pointing triangle
        "..........",
        "...#......",
        "...##.....",
        "...###....",
        "...###....",
        "...##.....",
        "...#......",
        "..........",
    ],
    [  # stop: a square
        "..........",
        "...####...",
        "...####...",
        "...####...",
        "...####...",
        "...####...",
        "..........",
        "..........",
    ],
    [  # pause: two upright bars
        "..........",
        "...#..#...",
        "...#..#...",
        "...#..#...",
        "...#..#...",
        "...#..#...",
        "..........",
        "..........",
    ],
    [  # reset: an upright bar followed by a left-pointing triangle
        "..........",
        "..#....#..",
        "..#...##..",
        "..#..###..",
        "..#..###..",
        "..#...##..",
        "..#....#..",
        "..........",
    ],
]


def picture_pixels(rows):
    h, w = len(rows), len(rows[0])
    out = [[MAGENTA] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if rows[y][x] == '#':
                out[y][x] = LIGHT
                continue
            near = any(0 <= y + dy < h and 0 <= x + dx < w and rows[y + dy][x + dx] == '#'
                       for dy in (-1, 0, 1) for dx in (-1, 0, 1))
            if near:
                out[y][x] = OUTLINE
    return out


def main(path):
    pics = [picture_pixels(p) for p in PICTURES]
    width, height = 10 * len(pics), 8
    rows = [[px for pic in pics for px in pic[y]] for y in range(height)]
    stride = (width * 3 + 3) & ~3
    body = b''
    for row in reversed(rows):  # bottom-up
        line = b''.join(bytes((r[2], r[1], r[0])) for r in row)  # blue, green, red
        body += line + b'\0' * (stride - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(body), 0, 0, 14 + len(info))
    with open(path, 'wb') as f:
        f.write(header + info + body)


if __name__ == '__main__':
    main(sys.argv[1])
