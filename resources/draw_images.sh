#!/bin/sh
# Draws the icon's bitmaps with ImageMagick for the desktop and the window's
# small icons. Run it from anywhere; it writes into resources/images/. The
# pictures of the windows (lamps, router, logo) are the SVG files beside
# them, drawn by the program at the size and scale of the screen.
set -eu
out="$(cd "$(dirname "$0")" && pwd)/images"
mkdir -p "$out"
# The icon: the badge of the logo, drawn on a 64-unit grid (images/icon.svg
# is the same drawing) at SCALE pixels a unit. The window's icon is 32 x 32
# and 16 x 16 in 16 colours; the desktop's go up to 256 x 256 in full colour.
# icon SCALE SIZE NAME [COLOURS]
icon() {
    scale=$1 size=$2 name=$3 colours=${4:-}
    canvas=$((64 * scale))
    reduce=""
    [ -n "$colours" ] && reduce="+dither -colors $colours"
    # shellcheck disable=SC2086
    convert -size "${canvas}x${canvas}" xc:none -affine "$scale,0,0,$scale,0,0" \
        -fill "#1d4f91" -draw "roundrectangle 2,2 61,61 12,12" \
        -fill white -draw "roundrectangle 12,18 40,44 4,4" \
        -fill "#1d4f91" -draw "rectangle 17,24 21,30" -draw "rectangle 24,24 28,30" \
        -draw "rectangle 31,24 35,30" \
        -fill white -draw "rectangle 22,44 30,58" \
        -fill white -draw "rectangle 44,34 49,44" -draw "rectangle 52,24 57,44" \
        -resize "${size}x${size}" $reduce -strip "$out/$name"
}
icon 1 32 icon_32.png 16
icon 1 16 icon_16.png 16
for size in 48 64 128 256; do
    icon 4 "$size" "icon_$size.png"
done

# Eight bits a channel are plenty for these pictures.
for picture in "$out"/*.png; do
    convert "$picture" -depth 8 "$picture"
done
