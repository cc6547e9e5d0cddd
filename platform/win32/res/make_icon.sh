#!/bin/sh
# Draws the program icon (a teal tile with a chain link and an amber "convert" badge) and packs
# every size Windows asks for into tllink.ico. Needs ImageMagick 6 (convert) and python3.
# Usage: make_icon.sh [output.ico]   (default: tllink.ico beside this script)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/tllink.ico"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Everything is drawn on a 1024 px canvas and shrunk, so each size gets smooth edges.
S=1024
tile_top='#1aa7bd'
tile_bottom='#0a5b70'
ink='#0b4a5a'
amber='#ffb428'

# $1: output png, $2: link stroke width, $3: "arrow" for the badge's arrow, "dot" for none.
draw() {
  png=$1
  stroke=$2
  badge=$3

  # The tile: a vertical gradient cut to a rounded square.
  convert -size ${S}x${S} "gradient:$tile_top-$tile_bottom" \
    \( -size ${S}x${S} xc:none -fill white -draw "roundrectangle 24,24 999,999 210,210" \) \
    -compose DstIn -composite "$work/tile.png"

  # Two interlocked rounded loops along the rising diagonal. At their upper crossing the first
  # loop is drawn again over the second, parted from it by a thin edge in the tile's colour.
  loop_a="translate 455,470 rotate -45 roundrectangle -370,-125 40,125 125,125"
  loop_b="translate 455,470 rotate -45 roundrectangle -40,-125 370,125 125,125"
  crossing="translate 455,470 rotate -45 rectangle -70,-220 70,-20"
  edge=$((stroke + stroke * 2 / 3))
  convert -size ${S}x${S} xc:none -fill white -draw "$crossing" "$work/crossing.png"
  convert -size ${S}x${S} xc:none -fill none -stroke white -strokewidth "$stroke" \
    -draw "$loop_b" "$work/loop_b.png"
  convert "$work/tile.png" -fill none -stroke white -strokewidth "$stroke" \
    -draw "$loop_a" -draw "$loop_b" \
    \( -size ${S}x${S} xc:none -fill none -stroke "$ink" -strokewidth "$edge" -draw "$loop_a" \
       "$work/loop_b.png" -compose DstIn -composite \
       "$work/crossing.png" -compose DstIn -composite \) \
    -compose Over -composite \
    \( -size ${S}x${S} xc:none -fill none -stroke white -strokewidth "$stroke" -draw "$loop_a" \
       "$work/crossing.png" -compose DstIn -composite \) \
    -compose Over -composite "$work/linked.png"

  # The badge: an amber disc with a ring in the tile's colour and an arrow pointing on.
  if [ "$badge" = arrow ]; then
    arrow="fill $ink polygon 660,755 790,755 790,700 900,790 790,880 790,825 660,825"
  else
    arrow=""
  fi
  convert "$work/linked.png" \
    -fill "$amber" -stroke "$tile_bottom" -strokewidth 36 -draw "circle 780,790 780,600" \
    -stroke none -draw "$arrow" \
    "$work/master.png"
  cp "$work/master.png" "$png"
}

draw "$work/fine.png" 78 arrow
draw "$work/bold.png" 120 arrow
draw "$work/small.png" 130 dot

for size in 256 128 64 48; do
  convert "$work/fine.png" -resize ${size}x${size} -depth 8 "$work/icon-$size.png"
done
convert "$work/bold.png" -resize 32x32 -depth 8 "$work/icon-32.png"
for size in 24 16; do
  convert "$work/small.png" -resize ${size}x${size} -depth 8 "$work/icon-$size.png"
done

# Windows reads PNG-compressed images in icons at every size: the large ones are stored as PNG,
# which keeps the program file small. The three smallest stay bitmaps with alpha, the form every
# reader of icons knows. The PNGs carry no time stamps, so the icon is the same on every run.
for size in 256 128 64 48; do
  convert "$work/icon-$size.png" -strip -define png:compression-level=9 \
    -define png:exclude-chunks=date,time "PNG32:$work/entry-$size.png"
done
convert "$work/icon-32.png" "$work/icon-24.png" "$work/icon-16.png" "$work/small.ico"

# Largest first: the icon directory, then the images.
python3 - "$work" "$out" <<'PACK'
import struct, sys
from pathlib import Path

work, out = Path(sys.argv[1]), Path(sys.argv[2])
images = []  # (width, colour count, bits per pixel, bytes)
for size in (256, 128, 64, 48):
    images.append((size, 0, 32, (work / f"entry-{size}.png").read_bytes()))
small = (work / "small.ico").read_bytes()
_, _, count = struct.unpack_from("<HHH", small, 0)
for i in range(count):
    width, _, colours, _, _, bits, length, offset = struct.unpack_from("<BBBBHHII", small, 6 + 16 * i)
    images.append((width, colours, bits, small[offset:offset + length]))

header = struct.pack("<HHH", 0, 1, len(images))
offset = len(header) + 16 * len(images)
directory, data = b"", b""
for width, colours, bits, image in images:
    side = width % 256  # 0 stands for 256
    directory += struct.pack("<BBBBHHII", side, side, colours, 0, 1, bits, len(image), offset)
    data += image
    offset += len(image)
out.write_bytes(header + directory + data)
PACK
echo "wrote $out"
