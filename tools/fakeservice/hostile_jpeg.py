"""JPEG files that are cheap to send and expensive to decode: headers only, no pixels. The
one maker of such files for the fake service, the native tests and the fuzz seeds.

    python3 hostile_jpeg.py OUT.jpg [--width W --height H --scans N]
        a progressive JPEG header of a W × H colour frame followed by N scan headers without
        any data; a decoder still walks the whole frame once per scan.
    python3 hostile_jpeg.py --fuzz-seeds FOLDER
        the hostile seeds of the decoder's fuzz target (see fuzz_seeds).
"""

import argparse
import pathlib
import struct


def _segment(marker: int, payload: bytes) -> bytes:
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def _header(frame_marker: int, width: int, height: int, components) -> bytes:
    """Start of image, a quantisation table, the frame of (id, sampling) components and a
    DC table of one code of one bit, for the symbol 0: every DC difference is zero."""
    quantisation = _segment(0xDB, bytes([0]) + bytes([1] * 64))
    frame = struct.pack(">BHHB", 8, height, width, len(components))
    for ident, sampling in components:
        frame += bytes([ident, sampling, 0])
    huffman = _segment(0xC4, bytes([0x00, 1] + [0] * 15 + [0]))
    return b"\xff\xd8" + quantisation + _segment(frame_marker, frame) + huffman


def _dc_first_scan(component_ids) -> bytes:
    payload = bytes([len(component_ids)])
    for ident in component_ids:
        payload += bytes([ident, 0x00])
    return _segment(0xDA, payload + bytes([0, 0, 0]))  # Ss, Se, Ah/Al: DC, first pass


def empty_scans(width: int = 8000, height: int = 8000, scans: int = 1000,
                luma_sampling: int = 0x11) -> bytes:
    if not (1 <= width <= 65535 and 1 <= height <= 65535 and scans >= 0):
        raise ValueError("width and height must lie within 1..65535, scans at least 0")
    components = [(1, luma_sampling), (2, 0x11), (3, 0x11)]
    return (_header(0xC2, width, height, components) + _dc_first_scan([1, 2, 3]) * scans
            + b"\xff\xd9")


def huge_frame() -> bytes:
    """A baseline frame of 60000 × 60000 pixels, far past any sane size, and a few data bytes."""
    return (_header(0xC0, 60000, 60000, [(1, 0x11)]) + _dc_first_scan([1]) + b"\x00" * 16
            + b"\xff\xd9")


def fuzz_seeds(folder: pathlib.Path):
    """many_empty_scans.jpg: an 8000 × 8000 progressive 4:2:0 frame and 1000 empty scans;
    huge_frame.jpg: see huge_frame()."""
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "many_empty_scans.jpg").write_bytes(empty_scans(luma_sampling=0x22))
    (folder / "huge_frame.jpg").write_bytes(huge_frame())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out", nargs="?")
    parser.add_argument("--width", type=int, default=8000)
    parser.add_argument("--height", type=int, default=8000)
    parser.add_argument("--scans", type=int, default=1000)
    parser.add_argument("--fuzz-seeds", type=pathlib.Path)
    args = parser.parse_args()
    if args.fuzz_seeds:
        fuzz_seeds(args.fuzz_seeds)
    elif args.out:
        pathlib.Path(args.out).write_bytes(empty_scans(args.width, args.height, args.scans))
    else:
        parser.error("name an output file or --fuzz-seeds FOLDER")


if __name__ == "__main__":
    main()
