#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target to fuzz/corpus/<target>/.

The seeds are small hand-made inputs in each target's input layout (see the
comment at the top of each *Fuzz.cpp); the fuzzer grows the rest from them.
"""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def pack(flags, ext, sectors, entries, data=b"", wide=False):
    out = bytes([flags, len(ext)]) + ext
    if flags & 1:
        return out + data
    out += bytes([sectors, len(entries)])
    for slot, start, count in entries:
        out += struct.pack("<H", slot)
        out += struct.pack("<II", start, count) if wide else bytes([start, count])
    return out + data


write("pack", "two-slots", pack(0, b"tim\nraw\n", 3, [(0, 0, 1), (2, 1, 2)], b"hello"))
write("pack", "scanned", pack(2, b"\nbin\n", 2, [(10, 0, 1), (8191, 1, 1)]))
write("pack", "huge-count", pack(4, b"a\n", 0, [(0, 0xFFFFFFFF, 0xFFFFFFFF)], wide=True))
write("pack", "short-raw", pack(1, b"x\n", 0, [], b"\x01\x00\x00\x00" * 25))
write("pack", "bad-extension", pack(0, b"..\n", 1, [(0, 0, 1)]))
write("pack", "past-the-end", pack(0, b"a\nb\n", 1, [(0, 0, 1), (1, 0, 2)]))

write("linelist", "mixed-ends", b"a\r\nb\nc\rd")
write("linelist", "zero-byte", b"x\0y\r\n")
write("linelist", "only-ends", b"\r\r\n\n")
write("linelist", "no-end", b"last")

EXAMPLE = b"[0x00000000]\r\nHello\r\n[0x00000001]\r\nline1\r\nline2\r\n[0x00000002]\r\n\r\n"
write("inistyle", "example", bytes([0, 1, 0]) + EXAMPLE)
write("inistyle", "flags", bytes([0x07, 4, 1]) + EXAMPLE)
write("inistyle", "gap", bytes([0, 1, 0]) + b"[0x00000000]\r\na\r\n[0x00000005]\r\nb\r\n")
write("inistyle", "lower-case", bytes([8, 0xFF, 2]) + b"[0x0000000a]\r\nx\r\n[0x\r\n[0x00000001]")
write("inistyle", "zero-byte", bytes([1, 3, 0]) + b"[0x00000000]\r\nab\0cd\r\n[0x00000001]\r\n")

SEP = b"_" * 31


def record(number, *lines):
    return b"\r\n".join([SEP, b"#H#E#A#D#E#R#0#%d#" % number, *lines, b"#E#N#D#"]) + b"\r\n"


write("blansh", "read-all", bytes([3, 0, 0, 0, 0, 1]) + record(0, b"Hello") + record(1, b"A", b"B"))
write("blansh", "write-rewrite", bytes([6, 1, 2, 0, 3 | 8 * 9, 4, 6, 0x13, 2]) + record(0, b"one"))
write("blansh", "broken", bytes([4, 0, 2, 3, 0, 0x0E, 4]) + SEP + b"\r\n#H#E#A#D#E#R#0#0#\r\nno end\r\n")
write("blansh", "empty", bytes([5, 3, 0, 2, 1, 5, 0x28, 8]))


def tga(width, height, depth, descriptor=0, id_length=0):
    return struct.pack("<BBBHHBHHHHBB", id_length, 0, 2, 0, 0, 0, 0, 0, width, height, depth, descriptor)


FOOTER = b"\0" * 8 + b"TRUEVISION-XFILE.\0"
write("targa", "24-bit", tga(2, 2, 24) + bytes(range(12)) + FOOTER)
write("targa", "32-bit-top-right", tga(3, 1, 32, 0x30) + bytes(range(12)))
write("targa", "16-bit", tga(1, 1, 16) + b"\x1f\x80")
write("targa", "15-bit-rows-cut", tga(4, 2, 15) + b"\x00\x7c" * 5)
write("targa", "header-cut", tga(2, 2, 24)[:10])
write("targa", "8-bit-id-field", tga(3, 2, 8, 0, 2) + b"id" + bytes(6))

write("replay", "extraction-log", b"#Format: BIN\r\n#Source: @/a.bin\r\n@/out/TIM/a_0000.tim\r\n")
write("replay", "project-list", b"#Format: \r\n#Source: @/sub/with blank.log\r\n#Target x\r\n")
write("replay", "folder-source", b"#Format: BIN\r\n#Source: @/dir.bin\r\n")
write("replay", "read-only-source", b"#Source: @/ro.bin\n#format: BIN\n")
write("replay", "missing-source", b"  #Source: @/missing.bin\r#Target\r\n")
