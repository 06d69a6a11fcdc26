#!/usr/bin/env bash
# Regenerates the fake service's committed media files under tools/fakeservice/media/.
# Needs ImageMagick's `convert` and python3; the results are committed so that runs of the
# fake service need neither. Output is deterministic for one ImageMagick version.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
media="$here/media"
rm -rf "$media"
mkdir -p "$media/orig"

jpeg() { # name size background foreground pattern-draw
    local name=$1 size=$2 bg=$3 fg=$4 draw=$5
    convert -size "$size" "gradient:$bg-$fg" -fill "$fg" -stroke black -strokewidth 2 \
        -draw "$draw" -strip -quality 60 -sampling-factor 2x2 "$media/$name"
}

# Set "cats": warm colours, circles and ellipses, 80x60 up to 640x480.
jpeg a01.jpg 80x60 red yellow "circle 40,30 40,10"
jpeg a02.jpg 100x75 orange white "circle 50,37 50,10"
jpeg a03.jpg 120x90 firebrick gold "ellipse 60,45 40,20 0,360"
jpeg a04.jpg 160x120 coral khaki "circle 80,60 80,20"
jpeg a05.jpg 200x150 crimson orange "circle 60,75 60,30 circle 140,75 140,30"
jpeg a06.jpg 240x180 tomato lightyellow "ellipse 120,90 100,40 0,360"
jpeg a07.jpg 320x240 darkorange pink "circle 160,120 160,40"
jpeg a08.jpg 400x300 maroon salmon "circle 100,150 100,60 circle 300,150 300,60"
jpeg a09.jpg 480x360 goldenrod red "ellipse 240,180 200,100 0,360"
jpeg a10.jpg 640x480 sienna wheat "circle 320,240 320,60"
jpeg a11.jpg 90x160 orangered yellow "circle 45,80 45,50"
jpeg a12.jpg 150x150 hotpink gold "circle 75,75 75,20"

# Set "dogs": cool colours, rectangles and stripes, 80x60 up to 800x600.
jpeg b01.jpg 80x60 blue cyan "rectangle 10,10 70,50"
jpeg b02.jpg 100x75 navy lightblue "rectangle 20,15 80,60"
jpeg b03.jpg 120x90 teal white "rectangle 10,30 110,60"
jpeg b04.jpg 160x120 darkgreen lime "rectangle 40,20 120,100"
jpeg b05.jpg 200x150 purple lavender "rectangle 20,20 90,130 rectangle 110,20 180,130"
jpeg b06.jpg 240x180 steelblue azure "rectangle 0,60 240,120"
jpeg b07.jpg 320x240 seagreen palegreen "rectangle 60,40 260,200"
jpeg b08.jpg 400x300 indigo plum "rectangle 100,0 140,300 rectangle 260,0 300,300"
jpeg b09.jpg 480x360 darkcyan aquamarine "rectangle 40,40 440,320"
jpeg b10.jpg 800x600 midnightblue skyblue "rectangle 200,150 600,450"
jpeg b11.jpg 300x400 olive lightgreen "rectangle 50,50 250,350"
jpeg b12.jpg 256x256 slateblue white "rectangle 64,64 192,192"

# Large ones, part of the default set.
jpeg c01.jpg 1200x800 black gray "circle 600,400 600,100"
jpeg c02.jpg 1024x768 darkslategray silver "rectangle 256,192 768,576"

# Duplicates: d01 and d02 are the same bytes under two names; d03 and d04 are different
# pictures of the same size, padded with a JPEG comment to the same byte count.
jpeg d01.jpg 200x150 green yellow "circle 100,75 100,25"
cp "$media/d01.jpg" "$media/d02.jpg"
jpeg d03.jpg 200x150 red blue "circle 100,75 100,25"
jpeg d04.jpg 200x150 blue red "rectangle 50,40 150,110"
python3 - "$media/d03.jpg" "$media/d04.jpg" <<'EOF'
import sys
paths = sys.argv[1:]
data = [open(p, "rb").read() for p in paths]
target = max(len(d) for d in data) + 64
for path, d in zip(paths, data):
    pad = target - len(d)  # whole COM segment: marker, 2-byte length, payload
    segment = b"\xff\xfe" + (pad - 2).to_bytes(2, "big") + b"p" * (pad - 4)
    open(path, "wb").write(d[:2] + segment + d[2:])
EOF

# Larger versions that the ":orig" suffix serves for the first four of set "cats".
for n in a01 a02 a03 a04; do
    convert "$media/$n.jpg" -resize 200% -strip -quality 60 "$media/orig/$n.jpg"
done

# PNG pictures: the designed search skips them, the other sources take them.
convert -size 120x90 gradient:green-white -strip "$media/p01.png"
convert -size 160x120 pattern:checkerboard -strip "$media/p02.png"
convert -size 80x60 xc:magenta -strip "$media/p03.png"
# A lossless WebP, whose cell mean ImageMagick reads back exactly.
convert -size 100x80 gradient:orange-navy -define webp:lossless=true -strip "$media/p04.webp"

# Bodies named .jpg that no decoder accepts.
python3 - "$media" <<'EOF'
import random, sys
media = sys.argv[1]
rng = random.Random(20240601)
open(f"{media}/x01.jpg", "wb").write(bytes(rng.randrange(256) for _ in range(2000)))
open(f"{media}/x02.jpg", "wb").write(
    b"<html><head><title>Error</title></head><body>Not an image</body></html>\n")
open(f"{media}/x03.jpg", "wb").write(b"")
open(f"{media}/x04.jpg", "wb").write(open(f"{media}/a05.jpg", "rb").read()[:200])
EOF

ls -l "$media" "$media/orig"
du -sh "$media"
