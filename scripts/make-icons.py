#!/usr/bin/env python3
"""Draws the clock's icon (a round dial with two hands) at 16, 24, 32 and 48 pixels and
writes it as a Windows .ico of 32-bit images with alpha, and the clock window's cursor (a
four-way move arrow, 32 pixels) as a .cur. Run once; the results are committed.
    python3 scripts/make-icons.py clock/res/zarnock.ico clock/res/move.cur
"""
import math
import struct
import sys

NAVY = (0x80, 0x00, 0x00)      # blue, green, red: the clock's default background
YELLOW = (0x00, 0xFF, 0xFF)    # its default text colour
RIM = (0x30, 0x30, 0x30)


def coverage(size, fn, samples=4):
    """Anti-aliased coverage of a shape: fn(x, y) -> bool, sampled per pixel."""
    out = [[0.0] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            hit = 0
            for sy in range(samples):
                for sx in range(samples):
                    if fn(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples):
                        hit += 1
            out[y][x] = hit / (samples * samples)
    return out


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def draw(size):
    c = size / 2.0
    r = size / 2.0 - 0.5
    rim_w = max(1.0, size / 16.0)
    hand_w = max(0.9, size / 14.0)
    dial = coverage(size, lambda x, y: math.hypot(x - c, y - c) <= r)
    face = coverage(size, lambda x, y: math.hypot(x - c, y - c) <= r - rim_w)
    # Ten past ten: the hour hand towards 10, the minute hand towards 2.
    hour = (c + 0.5 * r * math.cos(math.radians(210)), c + 0.5 * r * math.sin(math.radians(210)))
    minute = (c + 0.8 * r * math.cos(math.radians(-60)), c + 0.8 * r * math.sin(math.radians(-60)))
    hands = coverage(size, lambda x, y: segment_distance(x, y, c, c, *hour) <= hand_w or
                     segment_distance(x, y, c, c, *minute) <= hand_w * 0.75)
    ticks = coverage(size, lambda x, y: any(
        segment_distance(x, y, c + 0.72 * r * math.cos(a), c + 0.72 * r * math.sin(a),
                         c + 0.9 * r * math.cos(a), c + 0.9 * r * math.sin(a)) <= hand_w * 0.5
        for a in (0, math.pi / 2, math.pi, 3 * math.pi / 2)))
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            a = dial[y][x]
            col = [RIM[i] * (1 - face[y][x]) + NAVY[i] * face[y][x] for i in range(3)]
            h = min(1.0, hands[y][x] + ticks[y][x]) * face[y][x]
            col = [col[i] * (1 - h) + YELLOW[i] * h for i in range(3)]
            row.append((int(col[0] + 0.5), int(col[1] + 0.5), int(col[2] + 0.5), int(a * 255 + 0.5)))
        pixels.append(row)
    return pixels


def dib(size, pixels):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = b''.join(bytes(p) for row in reversed(pixels) for p in row)
    mask_row = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + body + mask


def draw_move_cursor(size=32):
    """A four-way arrow: black outline, white fill, transparent elsewhere."""
    c = size / 2.0

    def inside(x, y, grow):
        dx, dy = abs(x - c), abs(y - c)
        shaft = 1.5 + grow
        head_len, reach = 5.0, 14.0 + grow
        if dx <= shaft and dy <= reach - head_len:
            return True
        if dy <= shaft and dx <= reach - head_len:
            return True
        # arrow heads: triangles at the four ends
        for a, b in ((dx, dy), (dy, dx)):
            if b <= reach and b >= reach - head_len - grow and a <= (reach - b) * 0.8 + grow:
                return True
        return False

    fill = coverage(size, lambda x, y: inside(x, y, 0.0), samples=1)
    edge = coverage(size, lambda x, y: inside(x, y, 1.0), samples=1)
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            if fill[y][x]:
                row.append((255, 255, 255, 255))
            elif edge[y][x]:
                row.append((0, 0, 0, 255))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def write_cursor(path, size=32):
    img = dib(size, draw_move_cursor(size))
    hot = size // 2
    out = struct.pack('<HHH', 0, 2, 1)
    out += struct.pack('<BBBBHHII', size, size, 0, 0, hot, hot, len(img), 6 + 16)
    out += img
    with open(path, 'wb') as f:
        f.write(out)


def main(path, cursor_path=None):
    sizes = [16, 24, 32, 48]
    images = [dib(s, draw(s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)
    if cursor_path:
        write_cursor(cursor_path)


if __name__ == '__main__':
    main(*sys.argv[1:3])
