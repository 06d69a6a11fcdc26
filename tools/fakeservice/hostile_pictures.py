"""PNG and WebP files that are cheap to send and expensive or impossible to decode: huge
declared sizes, chunks that run past the end of the file, and small files that inflate a
thousand times. The PNG and WebP companion of hostile_jpeg.py, for the decoder's fuzz seeds.

    python3 hostile_pictures.py --fuzz-seeds FOLDER
        writes the seeds below into FOLDER, taking the small WebP files already there
        (small_alpha_lossless.webp, small_lossy.webp) as the ground they are built on.
"""

import argparse
import pathlib
import struct
import subprocess
import tempfile
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def _png_chunk(kind: bytes, data: bytes, length=None) -> bytes:
    declared = len(data) if length is None else length
    return struct.pack(">I", declared) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def _png_header(width: int, height: int, colour_type: int = 0) -> bytes:
    return _png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))


def png_bomb(width: int = 4000, height: int = 4000) -> bytes:
    """A grey picture of zero rows: 16 MB of pixels from about 16 KB of deflate."""
    rows = (b"\x00" * (width + 1)) * height
    return (PNG_SIGNATURE + _png_header(width, height) + _png_chunk(b"IDAT", zlib.compress(rows, 9))
            + _png_chunk(b"IEND", b""))


def png_cut_chunk() -> bytes:
    """A 16 × 16 picture whose only data chunk claims 2 GB and the file ends inside it."""
    data = zlib.compress((b"\x00" + b"\x80" * 16) * 16, 9)
    return PNG_SIGNATURE + _png_header(16, 16) + _png_chunk(b"IDAT", data, 0x7FFFFFFF)[:-4]


def png_tall_line() -> bytes:
    """One pixel wide and 64 million rows high, the pixel cap exactly, with one row of data."""
    return (PNG_SIGNATURE + _png_header(1, 64_000_000) + _png_chunk(b"IDAT", zlib.compress(b"\0\0"))
            + _png_chunk(b"IEND", b""))


def _riff(chunks: bytes, declared=None) -> bytes:
    size = len(chunks) + 4 if declared is None else declared
    return b"RIFF" + struct.pack("<I", size) + b"WEBP" + chunks


def _webp_chunk(kind: bytes, data: bytes) -> bytes:
    return kind + struct.pack("<I", len(data)) + data + (b"\0" if len(data) % 2 else b"")


def _first_chunk(webp: bytes) -> tuple:
    size = struct.unpack("<I", webp[16:20])[0]
    return webp[12:16], webp[20:20 + size]


def webp_huge_canvas(lossless: bytes) -> bytes:
    """A 16777216 × 16777216 extended canvas (the format's largest) around a tiny picture."""
    kind, data = _first_chunk(lossless)
    extended = struct.pack("<I", 0x10) + (b"\xff\xff\xff" * 2)  # alpha flag, sizes minus one
    return _riff(_webp_chunk(b"VP8X", extended) + _webp_chunk(kind, data))


def webp_declared_large(lossless: bytes, width: int = 8000, height: int = 8000) -> bytes:
    """A lossless header naming width × height (the pixel cap) over a few bytes of data."""
    kind, data = _first_chunk(lossless)
    bits = struct.unpack("<I", data[1:5])[0]
    bits = (bits & ~((1 << 28) - 1)) | (width - 1) | ((height - 1) << 14)
    return _riff(_webp_chunk(kind, data[:1] + struct.pack("<I", bits) + data[5:]))


def webp_cut_chunk(lossy: bytes) -> bytes:
    """A lossy picture whose RIFF and frame chunk claim ten times the bytes the file has."""
    kind, data = _first_chunk(lossy)
    claimed = kind + struct.pack("<I", len(data) * 10) + data[: len(data) // 2]
    return _riff(claimed, declared=len(claimed) * 10)


def webp_bomb(width: int = 4000, height: int = 4000) -> bytes:
    """A black lossless picture: 16 million pixels from under a kilobyte. No hand-made
    lossless bitstream is worth its code here; ImageMagick's encoder (which make_images.sh
    needs anyway) writes it."""
    with tempfile.TemporaryDirectory() as folder:
        out = pathlib.Path(folder) / "bomb.webp"
        subprocess.run(["convert", "-size", f"{width}x{height}", "xc:black", "-define",
                        "webp:lossless=true", "-strip", str(out)], check=True)
        return out.read_bytes()


def fuzz_seeds(folder: pathlib.Path):
    lossless = (folder / "small_alpha_lossless.webp").read_bytes()
    lossy = (folder / "small_lossy.webp").read_bytes()
    seeds = {
        "bomb_4000x4000.png": png_bomb(),
        "bomb_4000x4000.webp": webp_bomb(),
        "cut_chunk.png": png_cut_chunk(),
        "tall_line.png": png_tall_line(),
        "huge_canvas.webp": webp_huge_canvas(lossless),
        "declared_8000x8000.webp": webp_declared_large(lossless),
        "cut_chunk.webp": webp_cut_chunk(lossy),
    }
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--fuzz-seeds", type=pathlib.Path, required=True)
    fuzz_seeds(parser.parse_args().fuzz_seeds)


if __name__ == "__main__":
    main()
