#!/usr/bin/env python3
"""Writes the three frame-mark bitmaps of the resource script.

Each mark is 150 x 150 pixels, 8 bits per pixel with a 256-entry palette: a 1-pixel
outer ring of the key colour, a 5-pixel ring of the frame colour inside it and the
key colour within. The key colour is what the transparent copy leaves out.

Run from anywhere: python3 resources/make_marks.py
"""
import struct
from pathlib import Path

SIZE = 150
KEY_RING = 1
FRAME_RING = 5

# file name: (frame colour, key colour), each (red, green, blue)
MARKS = {
    "mark_new_image.bmp": ((224, 0, 0), (255, 196, 196)),
    "mark_pinned.bmp": ((0, 224, 0), (224, 160, 192)),
    "mark_selection.bmp": ((254, 254, 0), (255, 196, 196)),
}

KEY_INDEX = 0
FRAME_INDEX = 1


def palette_index(x, y):
    ring = min(x, y, SIZE - 1 - x, SIZE - 1 - y)
    if KEY_RING <= ring < KEY_RING + FRAME_RING:
        return FRAME_INDEX
    return KEY_INDEX


def bitmap_bytes(frame, key):
    row_bytes = (SIZE + 3) // 4 * 4
    palette = bytearray(256 * 4)
    for index, (red, green, blue) in ((KEY_INDEX, key), (FRAME_INDEX, frame)):
        palette[index * 4:index * 4 + 4] = bytes((blue, green, red, 0))
    pixels = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        row = bytes(palette_index(x, y) for x in range(SIZE))
        pixels += row + bytes(row_bytes - SIZE)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + bytes(palette) + bytes(pixels)


def main():
    here = Path(__file__).resolve().parent
    for name, (frame, key) in MARKS.items():
        (here / name).write_bytes(bitmap_bytes(frame, key))


if __name__ == "__main__":
    main()
