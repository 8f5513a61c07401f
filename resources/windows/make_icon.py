#!/usr/bin/env python3
"""Makes extract-insert-tool.ico, the Windows program's icon, from the
picture resources/icons/draw_app_icon.py draws: 16, 24, 32, 48 and 64
pixels as 32-bit bitmaps (averaged down from 128) and 128 as PNG. Run it
again after changing the picture."""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', 'icons'))
import draw_app_icon  # noqa: E402

SIZES = (16, 24, 32, 48, 64)


def shrink(px, size):
    full = len(px)
    rows = []
    for y in range(size):
        row = []
        y0, y1 = y * full // size, (y + 1) * full // size
        for x in range(size):
            x0, x1 = x * full // size, (x + 1) * full // size
            cells = [px[v][u] for v in range(y0, y1) for u in range(x0, x1)]
            alpha = sum(c[3] for c in cells)
            if alpha == 0:
                row.append((0, 0, 0, 0))
                continue
            # Colours weighted by their alpha, so transparent black does not
            # darken the edges.
            row.append(tuple(sum(c[i] * c[3] for c in cells) // alpha for i in range(3))
                       + (alpha // len(cells),))
        rows.append(row)
    return rows


def bitmap(px):
    size = len(px)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b''.join(bytes((b, g, r, a)) for row in reversed(px) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    return header + colours + b'\0' * (mask_row * size)


def icon():
    px = draw_app_icon.draw()
    images = [(size, bitmap(shrink(px, size))) for size in SIZES]
    images.append((128, draw_app_icon.png(px)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


if __name__ == '__main__':
    with open(os.path.join(HERE, 'extract-insert-tool.ico'), 'wb') as f:
        f.write(icon())
