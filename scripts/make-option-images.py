#!/usr/bin/env python3
"""Draws the Options sheet's pictures: the alignment button's strip of three 16-pixel
images (left, right, centred; magenta is transparent) as a 24-bit .bmp, and the three
reminder-source icons (organiser, calendar, network calendar) at 16 and 32 pixels as
.ico files of 32-bit images with alpha. Run once; the results are committed.
    python3 scripts/make-option-images.py clock/res
"""
import os
import struct
import sys

from importlib.machinery import SourceFileLoader

icons = SourceFileLoader('make_icons', os.path.join(os.path.dirname(__file__), 'make-icons.py')).load_module()

MAGENTA = (255, 0, 255)
INK = (0, 0, 0)


def alignment_strip():
    """Three images of four text lines each, aligned left, right and centred."""
    w, h = 48, 16
    px = [[MAGENTA for _ in range(w)] for _ in range(h)]
    lengths = [12, 8, 12, 6]
    for img in range(3):
        for i, n in enumerate(lengths):
            y = 3 + i * 3
            if img == 0:
                x0 = 2
            elif img == 1:
                x0 = 14 - n
            else:
                x0 = 2 + (12 - n) // 2
            for x in range(x0, x0 + n):
                px[y][img * 16 + x] = INK
    row_bytes = (w * 3 + 3) // 4 * 4
    body = b''
    for row in reversed(px):
        line = b''.join(bytes((b, g, r)) for (r, g, b) in row)
        body += line + b'\0' * (row_bytes - len(line))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(body), 0, 0, 14 + len(info))
    return head + info + body


def source_icon(size, kind):
    """A page with a coloured top band: green for the organiser, red for the calendar,
    red with a blue corner dot for the network calendar."""
    band = (0x30, 0xA0, 0x40) if kind == 0 else (0xD0, 0x30, 0x30)
    s = size / 16.0
    px = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = x / s, y / s
            inside = 1.5 <= fx < 14.5 and 1.5 <= fy < 14.5
            edge = inside and (fx < 2.5 or fx >= 13.5 or fy < 2.5 or fy >= 13.5)
            if not inside:
                row.append((0, 0, 0, 0))
                continue
            if kind == 2 and (fx - 11.5) ** 2 + (fy - 11.5) ** 2 <= 6.5:
                col = (0x20, 0x40, 0xE0)
            elif edge:
                col = (0x40, 0x40, 0x40)
            elif fy < 5.5:
                col = band
            elif int(fy) % 3 == 0 and 3.5 <= fx < 12.5:
                col = (0x90, 0x90, 0x90)
            else:
                col = (0xFF, 0xFF, 0xFF)
            # the writer takes blue, green, red, alpha
            row.append((col[2], col[1], col[0], 255))
        px.append(row)
    return px


def write_icon(path, kind):
    sizes = [16, 32]
    images = [icons.dib(s, source_icon(s, kind)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


def main(folder):
    with open(os.path.join(folder, 'alignment.bmp'), 'wb') as f:
        f.write(alignment_strip())
    for kind, name in enumerate(('organizer.ico', 'calendar.ico', 'calendar_net.ico')):
        write_icon(os.path.join(folder, name), kind)


if __name__ == '__main__':
    main(sys.argv[1])
