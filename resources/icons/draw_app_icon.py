#!/usr/bin/env python3
"""Draws the application icon (128 x 128 PNG): a data pack of stacked
sectors with an arrow taking a sheet out of it. Run it again after changing
the picture."""

import struct
import zlib

SIZE = 128


def blend(dst, src, alpha):
    return tuple(int(d + (s - d) * alpha) for d, s in zip(dst, src))


def draw():
    px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]

    def rect(x0, y0, x1, y1, colour, radius=0):
        for y in range(y0, y1):
            for x in range(x0, x1):
                dx = max(x0 + radius - x - 0.5, x - (x1 - radius) + 0.5, 0)
                dy = max(y0 + radius - y - 0.5, y - (y1 - radius) + 0.5, 0)
                if radius and dx * dx + dy * dy > radius * radius:
                    continue
                px[y][x] = colour + (255,)

    # The pack: a blue box of sector bands.
    rect(10, 40, 86, 118, (20, 40, 120), radius=8)
    rect(14, 44, 82, 114, (48, 96, 200), radius=6)
    for y in range(52, 112, 12):
        rect(18, y, 78, y + 2, (128, 176, 255))
    # The sheet that comes out of it.
    rect(62, 8, 118, 72, (60, 60, 60), radius=3)
    rect(64, 10, 116, 70, (255, 255, 255), radius=2)
    for y in range(20, 64, 8):
        rect(70, y, 110, y + 3, (150, 150, 150))
    # The arrow from the pack to the sheet.
    for i in range(30):
        rect(40 + i, 78 - i, 46 + i, 84 - i, (230, 170, 20))
    for i in range(14):
        rect(60 + i, 44, 62 + i, 46 + i, (230, 170, 20))
        rect(58, 44 + i, 72, 46 + i, (230, 170, 20))
    return px


def png(px):
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in px)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

    header = struct.pack('>IIBBBBB', SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header)
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


if __name__ == '__main__':
    with open('extract-insert-tool.png', 'wb') as f:
        f.write(png(draw()))
