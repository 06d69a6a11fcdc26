#!/usr/bin/env python3
"""Measures the picture hash: copies of a picture that must match it against distinct
pictures that must not, and writes the table of docs/picture-hash.md.

Usage: measure.py --hasher build/native/tools/picture_hash/picture_hash_print
                  --photos build/demo/photos [--every 6] [--out docs/picture-hash.md]

The distinct pictures are the demo crops (tools/fakeservice/make_photos.py, scripts/demo)
and the committed test pictures; the copies are made with ImageMagick's `convert` from every
--every'th crop into a temporary folder."""

import argparse
import itertools
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
COMMITTED = sorted((ROOT / "tools/fakeservice/media").glob("*.jpg")) + sorted(
    (ROOT / "tests/mosaic/data").glob("*.jpg"))
# Kind of copy: the convert options that make it from the picture, and its file suffix.
COPIES = {
    "JPEG quality 95": (["-quality", "95"], "jpg"),
    "JPEG quality 75": (["-quality", "75"], "jpg"),
    "JPEG quality 50": (["-quality", "50"], "jpg"),
    "half size": (["-resize", "50%", "-quality", "85"], "jpg"),
    "quarter size": (["-resize", "25%", "-quality", "85"], "jpg"),
    "cropped 2 % a side": (["-gravity", "center", "-crop", "96%x96%+0+0", "+repage"], "jpg"),
    "cropped 5 % off one side": (["-gravity", "east", "-crop", "95%x100%+0+0", "+repage"], "jpg"),
    "cropped 2.5 % a side": (["-gravity", "center", "-crop", "95%x95%+0+0", "+repage"], "jpg"),
    "PNG": ([], "png"),
    "WebP lossy": (["-quality", "80"], "webp"),
}
DISTANCES = range(0, 17)


def hashes(hasher, files):
    out = subprocess.run([str(hasher)] + [str(f) for f in files], check=True,
                         capture_output=True, text=True).stdout
    found = {}
    for line in out.splitlines():
        value, name = line.split(" ", 1)
        if value != "-":
            found[name] = int(value, 16)
    return found


def distance(a, b):
    return bin(a ^ b).count("1")


def make_copies(sources, folder):
    made = []  # (kind, source, copy)
    for index, source in enumerate(sources):
        for number, (kind, (options, suffix)) in enumerate(COPIES.items()):
            target = folder / ("%03d-%02d.%s" % (index, number, suffix))
            subprocess.run(["convert", str(source)] + options + [str(target)], check=True)
            made.append((kind, source, target))
    return made


def table(copy_distances, distinct_distances, copy_count):
    lines = ["| distance | " + " | ".join(COPIES) + " | all copies | false matches |",
             "|---" * (len(COPIES) + 3) + "|"]
    for d in DISTANCES:
        row = []
        for kind in COPIES:
            found = copy_distances[kind]
            row.append("%.0f %%" % (100.0 * sum(1 for x in found if x <= d) / len(found)))
        everything = [x for found in copy_distances.values() for x in found]
        row.append("%.1f %%" % (100.0 * sum(1 for x in everything if x <= d) / copy_count))
        row.append(str(sum(1 for x in distinct_distances if x <= d)))
        lines.append("| %d | %s |" % (d, " | ".join(row)))
    return "\n".join(lines)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--hasher", required=True, type=Path)
    parser.add_argument("--photos", required=True, type=Path)
    parser.add_argument("--every", type=int, default=6)
    args = parser.parse_args(argv)
    crops = sorted(args.photos.glob("*.jpg"))
    distinct = crops + COMMITTED
    distinct_hashes = hashes(args.hasher, distinct)
    distinct_distances = [distance(distinct_hashes[str(a)], distinct_hashes[str(b)])
                          for a, b in itertools.combinations(distinct, 2)
                          if str(a) in distinct_hashes and str(b) in distinct_hashes
                          and a.read_bytes() != b.read_bytes()]
    with tempfile.TemporaryDirectory() as folder:
        made = make_copies(crops[::args.every], Path(folder))
        copy_hashes = hashes(args.hasher, [target for _, _, target in made])
        copy_distances = {kind: [] for kind in COPIES}
        for kind, source, target in made:
            copy_distances[kind].append(distance(distinct_hashes[str(source)],
                                                 copy_hashes.get(str(target), -1 & (2**64 - 1))))
    print("%d distinct pictures (%d crops, %d committed), %d pairs; closest pair at distance %d"
          % (len(distinct_hashes), len(crops), len(distinct_hashes) - len(crops),
             len(distinct_distances), min(distinct_distances)))
    print("%d copies of %d crops" % (len(made), len(crops[::args.every])))
    print(table(copy_distances, distinct_distances, len(made)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
