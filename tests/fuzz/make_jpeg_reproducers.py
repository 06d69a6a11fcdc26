#!/usr/bin/env python3
"""Writes the hostile JPEG seeds of the decoder's fuzz target: headers only, no pixels.

many_empty_scans.jpg: an 8000 x 8000 progressive frame (three components, 4:2:0) followed
by 1000 scan headers with no entropy-coded data between them. A decoder that takes every
scan walks all its blocks 1000 times.
huge_frame.jpg: a baseline frame header of 60000 x 60000 pixels, far past any sane size.
"""
import pathlib
import struct
import sys


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def quant_table():
    return segment(0xDB, bytes([0x00]) + bytes([1] * 64))


def dc_huffman_table():
    # One code of length 1 for category 0: every DC difference is zero.
    counts = bytes([1] + [0] * 15)
    return segment(0xC4, bytes([0x00]) + counts + bytes([0]))


def frame(marker, width, height, components):
    payload = struct.pack(">BHHB", 8, height, width, len(components))
    for ident, sampling in components:
        payload += bytes([ident, sampling, 0])
    return segment(marker, payload)


def dc_first_scan(component_ids):
    payload = bytes([len(component_ids)])
    for ident in component_ids:
        payload += bytes([ident, 0x00])
    payload += bytes([0, 0, 0])  # Ss, Se, Ah/Al: DC, first pass
    return segment(0xDA, payload)


def many_empty_scans():
    components = [(1, 0x22), (2, 0x11), (3, 0x11)]
    data = b"\xFF\xD8" + quant_table() + frame(0xC2, 8000, 8000, components)
    data += dc_huffman_table()
    data += dc_first_scan([1, 2, 3]) * 1000
    return data + b"\xFF\xD9"


def huge_frame():
    data = b"\xFF\xD8" + quant_table() + frame(0xC0, 60000, 60000, [(1, 0x11)])
    data += dc_huffman_table() + dc_first_scan([1])
    return data + b"\x00" * 16 + b"\xFF\xD9"


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                          pathlib.Path(__file__).parent / "seeds" / "jpeg_decode_fuzz")
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "many_empty_scans.jpg").write_bytes(many_empty_scans())
    (folder / "huge_frame.jpg").write_bytes(huge_frame())


if __name__ == "__main__":
    main()
