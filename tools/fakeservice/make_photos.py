#!/usr/bin/env python3
"""Cuts photographs into many crops of different sizes and shapes for the fake service's
"photos" feed (--photo-dir), with ImageMagick's `convert`.

Usage: make_photos.py --out DIR [--per-photo N] PHOTO.jpg...
       make_photos.py --out DIR [--per-photo N] --package-root ROOT

With --package-root the photographs are those of Debian's mate-backgrounds installed under
ROOT (/ for this machine); fewer than a handful of them is an error, not a thin feed.

Writes DIR/NAME.jpg for every crop and, for every third crop, a version twice the size in
DIR/orig/NAME.jpg, which the service hands out for NAME.jpg:orig. The names interleave the
sources (p00-aqua.jpg, p00-dune.jpg, ..., p01-aqua.jpg, ...), so consecutive pictures of the
feed come from different photographs. The crops are the same for the same sources; when
DIR/photos.json says they were made from exactly these files, nothing is done again."""

import argparse
import json
import random
import re
import subprocess
import sys
from pathlib import Path

RECIPE = 1
# Width:height of the crops, landscape and portrait alike.
SHAPES = [(4, 3), (3, 4), (16, 9), (1, 1), (3, 2), (2, 3), (2, 1), (9, 16), (5, 4)]
SHORTEST_LONG_SIDE, LONGEST_LONG_SIDE = 180, 640
PACKAGE = "mate-backgrounds"
PACKAGE_PHOTOS = ("usr/share/backgrounds/mate/nature/*.jpg",
                  "usr/share/backgrounds/mate/abstract/Elephants.jpg")
FEWEST_PACKAGE_PHOTOS = 8


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--per-photo", type=int, default=24)
    parser.add_argument("--package-root", type=Path,
                        help="take the photographs of %s installed under this root" % PACKAGE)
    parser.add_argument("photos", nargs="*", type=Path)
    args = parser.parse_args(argv)
    if args.per_photo <= 0:
        parser.error("--per-photo must be positive")
    if bool(args.photos) == bool(args.package_root):
        parser.error("give either photographs or --package-root")
    return args


def package_photos(root: Path) -> list[Path]:
    """The package's photographs as installed under root."""
    return sorted(p for pattern in PACKAGE_PHOTOS for p in root.glob(pattern) if p.is_file())


def picture_size(path: Path) -> tuple[int, int]:
    reply = subprocess.run(["identify", "-format", "%w %h", str(path) + "[0]"], check=True,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    width, height = reply.stdout.split()
    return int(width), int(height)


def short_name(path: Path) -> str:
    return re.sub(r"[^a-z0-9]+", "", path.stem.lower()) or "photo"


def plan_crops(width: int, height: int, count: int, rng: random.Random) -> list[dict]:
    """Where each crop lies in a width x height photograph and how large it is served."""
    crops = []
    for index in range(count):
        shape_w, shape_h = SHAPES[rng.randrange(len(SHAPES))]
        long_side = rng.randint(SHORTEST_LONG_SIDE, LONGEST_LONG_SIDE)
        if shape_w >= shape_h:
            out_w, out_h = long_side, long_side * shape_h // shape_w
        else:
            out_w, out_h = long_side * shape_w // shape_h, long_side
        # The region: between a quarter and nearly all of what fits of that shape.
        fit = min(width / shape_w, height / shape_h)
        scale = fit * rng.uniform(0.25, 0.95)
        region_w, region_h = max(1, int(shape_w * scale)), max(1, int(shape_h * scale))
        crops.append({
            "x": rng.randint(0, width - region_w), "y": rng.randint(0, height - region_h),
            "w": region_w, "h": region_h, "out_w": out_w, "out_h": out_h,
            "orig": index % 3 == 0,
        })
    return crops


def convert_arguments(source: Path, crops: list[dict], names: list[str], out: Path) -> list[str]:
    """One `convert` that reads the photograph once and writes all its crops."""
    arguments = ["convert", str(source), "-auto-orient", "-strip"]
    for crop, name in zip(crops, names):
        region = "%(w)dx%(h)d+%(x)d+%(y)d" % crop
        targets = [((crop["out_w"], crop["out_h"]), out / name)]
        if crop["orig"]:
            targets.append(((crop["out_w"] * 2, crop["out_h"] * 2), out / "orig" / name))
        for (w, h), target in targets:
            arguments += ["(", "+clone", "-crop", region, "+repage", "-resize", "%dx%d!" % (w, h),
                          "-quality", "85", "-write", str(target), "+delete", ")"]
    return arguments + ["null:"]


def chosen_sources(args) -> list[Path]:
    """The photographs to cut, or none after saying why."""
    if args.package_root:
        found = package_photos(args.package_root)
        if len(found) < FEWEST_PACKAGE_PHOTOS:
            print("make_photos: only %d photographs of %s under %s, at least %d wanted; is %s "
                  "installed?" % (len(found), PACKAGE, args.package_root, FEWEST_PACKAGE_PHOTOS,
                                  PACKAGE), file=sys.stderr)
            return []
        return [p.resolve() for p in found]
    sources = sorted({p.resolve() for p in args.photos if p.is_file()})
    if not sources:
        print("make_photos: no photographs given", file=sys.stderr)
    return sources


def main(argv=None) -> int:
    args = parse_arguments(sys.argv[1:] if argv is None else argv)
    sources = chosen_sources(args)
    if not sources:
        return 1
    out = args.out.resolve()
    stamp = out / "photos.json"
    wanted = {"recipe": RECIPE, "per_photo": args.per_photo,
              "sources": [[str(p), p.stat().st_size, int(p.stat().st_mtime)] for p in sources]}
    try:
        if json.loads(stamp.read_text()) == wanted:
            return 0
    except (OSError, ValueError):
        pass
    (out / "orig").mkdir(parents=True, exist_ok=True)
    for stale in list(out.glob("*.jpg")) + list((out / "orig").glob("*.jpg")):
        stale.unlink()
    stamp.unlink(missing_ok=True)
    used_names = set()
    for number, source in enumerate(sources):
        rng = random.Random("%d:%s" % (RECIPE, source.name))
        stem = short_name(source)
        while stem in used_names:
            stem += "x"
        used_names.add(stem)
        crops = plan_crops(*picture_size(source), args.per_photo, rng)
        names = ["p%02d-%s.jpg" % (index, stem) for index in range(len(crops))]
        subprocess.run(convert_arguments(source, crops, names, out), check=True)
        print("make_photos: %d/%d %s" % (number + 1, len(sources), source.name), flush=True)
    stamp.write_text(json.dumps(wanted, indent=2) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
