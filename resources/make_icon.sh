#!/usr/bin/env bash
# Regenerates resources/tilvane.ico with ImageMagick: a small mosaic of coloured tiles, the
# newest one framed red as on the wall. Committed, so that building needs no ImageMagick.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
colours=(goldenrod seagreen steelblue firebrick darkorange olivedrab slateblue teal
         orchid sienna cadetblue yellowgreen)
draw=""
for row in 0 1 2; do
  for column in 0 1 2 3; do
    x=$((8 + column * 60)); y=$((38 + row * 60))
    draw+="fill ${colours[row * 4 + column]} rectangle $x,$y $((x + 55)),$((y + 55)) "
  done
done
# The newest tile: a red frame inside its cell.
draw+="fill none stroke rgb(224,0,0) stroke-width 8 rectangle 132,102 175,145"
convert -size 256x256 xc:none -draw "$draw" "$tmp/icon.png"
convert "$tmp/icon.png" -define icon:auto-resize=256,48,32,16 "$here/tilvane.ico"
identify "$here/tilvane.ico"
