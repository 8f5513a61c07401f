#!/usr/bin/env python3
"""Draws the toolbar pictures (16 x 16) as XPM files, each with a grey
version for disabled buttons, and every picture again at twice the size
(NAME@2x.xpm, 32 x 32) for screens scaled to 200%: each pixel becomes a
2 x 2 block, so the picture keeps its hard edges where a scaled 16 x 16
one would blur. Run it again after changing a picture."""

PALETTE = {
    '.': None,            # transparent
    'k': (0, 0, 0),
    'y': (255, 214, 64),  # folder yellow
    'o': (192, 144, 32),  # folder edge
    'w': (255, 255, 255),
    'g': (160, 160, 160),
    'd': (96, 96, 96),
    'b': (32, 64, 192),   # blue
    'l': (128, 176, 255), # light blue
    'r': (200, 48, 48),
    'n': (120, 72, 24),   # pen wood
}

PICTURES = {
    'open_folder': [
        "................",
        "........kkkkk...",
        "........kwwwwk..",
        ".kkkk...kwkkwk..",
        "koyyok..kwwwwk..",
        "kyyyyokkkwkkwk..",
        "kyyyyyyyywwwwk..",
        "kyyykkkkkkkkkkkk",
        "kyykyyyyyyyyyyok",
        "kyyk.yyyyyyyyyk.",
        "kykyyyyyyyyyyok.",
        "kykyyyyyyyyyyk..",
        "kkyyyyyyyyyyok..",
        "kkkkkkkkkkkkk...",
        "................",
        "................",
    ],
    'disk': [
        "................",
        ".kkkkkkkkkkkkkk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwggggggwkbk.",
        ".kbkwwwwwwwwkbk.",
        ".kbkwggggggwkbk.",
        ".kbbkkkkkkkkbbk.",
        ".kbbbbbbbbbbbbk.",
        ".kbbkkkkkkkkbbk.",
        ".kbbkggggdgkbbk.",
        ".kbbkggggdgkbbk.",
        ".kbbkggggdgkbbk.",
        ".kkkkkkkkkkkkkk.",
        "................",
        "................",
    ],
    'bin': [
        "......kkkk......",
        "..kkkkkggkkkkk..",
        ".kggggggggggggk.",
        ".kkkkkkkkkkkkkk.",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "..kgwgdgwgdgwk..",
        "...kkkkkkkkkk...",
        "................",
        "................",
    ],
    'window': [
        "................",
        "kkkkkkkkkkkkkkkk",
        "kbbbbbbbbbbkwkrk",
        "kbbbbbbbbbbkkkkk",
        "kwwwwwwwwwwwwwwk",
        "kwggggwggggwgggk",
        "kwwwwwwwwwwwwwwk",
        "kwlllllllllllllk",
        "kwlwwwwwwwwwwwlk",
        "kwlwwwwwwwwwwwlk",
        "kwlwwwwwwwwwwwlk",
        "kwlwwwwwwwwwwwlk",
        "kwlllllllllllllk",
        "kwwwwwwwwwwwwwwk",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    'closed_folder': [
        "................",
        "................",
        "..kkkkk.........",
        ".koyyyok........",
        "kyyyyyyokkkkkkk.",
        "kyyyyyyyyyyyyyok",
        "kyyyyyyyyyyyyyok",
        "kyyyyyyyyyyyyyok",
        "kyyyyyyyyyyyyyok",
        "kyyyyyyyyyyyyyok",
        "kyyyyyyyyyyyyyok",
        "kyyyyyyyyyyyyyok",
        "kooooooooooooook",
        ".kkkkkkkkkkkkkk.",
        "................",
        "................",
    ],
    'ext_list': [
        "................",
        "..kkkkkkkkkk....",
        "..kwwwwwwwwkk...",
        "..kwbbwggwwkwk..",
        "..kwwwwwwwwkkkk.",
        "..kwbbwgggggwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwbbwggggwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwbbwgggggwwk.",
        "..kwwwwwwwwwwwk.",
        "..kwbbwgggwwwwk.",
        "..kwwwwwwwwwwwk.",
        "..kkkkkkkkkkkkk.",
        "................",
        "................",
    ],
    'pen_sheet': [
        "..kkkkkkkkk.....",
        "..kwwwwwwwkk....",
        "..kwwwwwwwkwk...",
        "..kwggggwwkkkk..",
        "..kwwwwwwwwwwk..",
        "..kwgggggggwwk.k",
        "..kwwwwwwwwwwkkn",
        "..kwgggggggwkknk",
        "..kwwwwwwwwkknk.",
        "..kwggggggkknk..",
        "..kwwwwwwkknkk..",
        "..kwgggwkrnkwk..",
        "..kwwwwkrrkwwk..",
        "..kwwwwkkkwwwk..",
        "..kkkkkkkkkkkk..",
        "................",
    ],
}

def grey(rgb):
    if rgb is None:
        return None
    v = (rgb[0] * 30 + rgb[1] * 59 + rgb[2] * 11) // 100
    v = 128 + v // 2   # lighter, so a disabled button reads as faded
    return (v, v, v)

def write_xpm(name, rows, convert):
    used = sorted({c for row in rows for c in row})
    lines = ['/* XPM */', 'static const char *%s[] = {' % name.replace('@', '_'),
             '"%d %d %d 1",' % (len(rows[0]), len(rows), len(used))]
    for c in used:
        rgb = convert(PALETTE[c])
        colour = 'None' if rgb is None else '#%02X%02X%02X' % rgb
        lines.append('"%s c %s",' % (c, colour))
    lines += ['"%s",' % row for row in rows[:-1]] + ['"%s"' % rows[-1], '};']
    with open(name + '.xpm', 'w') as f:
        f.write('\n'.join(lines) + '\n')

def doubled(rows):
    wide = [''.join(c * 2 for c in row) for row in rows]
    return [row for row in wide for _ in range(2)]

for name, rows in PICTURES.items():
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), name
    for suffix, picture in (('', rows), ('@2x', doubled(rows))):
        write_xpm(name + suffix, picture, lambda rgb: rgb)
        if name != 'pen_sheet':
            write_xpm(name + '_disabled' + suffix, picture, grey)
