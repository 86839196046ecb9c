#!/bin/sh
# Draws the pictures of the main window, the About box and the icon with
# ImageMagick. Run it from anywhere; it writes into resources/images/.
set -eu
out="$(cd "$(dirname "$0")" && pwd)/images"
mkdir -p "$out"
font_bold="DejaVu-Sans-Bold"
font="DejaVu-Sans"

# Lamps, 40 x 16: a dark strip with red, amber and green; one is lit.
# lamp NAME LIT   LIT is 0 (red), 1 (amber) or 2 (green).
lamp() {
    name=$1 lit=$2
    set -- "#e02020" "#ffb000" "#20d040"
    on0=$1 on1=$2 on2=$3
    off0="#4a1c1c" off1="#4a3c14" off2="#1c3f24"
    c0=$off0 c1=$off1 c2=$off2
    case $lit in 0) c0=$on0 ;; 1) c1=$on1 ;; 2) c2=$on2 ;; esac
    hl0=none hl1=none hl2=none
    case $lit in 0) hl0=white ;; 1) hl1=white ;; 2) hl2=white ;; esac
    convert -size 40x16 xc:none \
        -fill "#2b2b2b" -stroke "#101010" -draw "roundrectangle 0,0 39,15 4,4" \
        -stroke "#0c0c0c" -strokewidth 1 \
        -fill "$c0" -draw "circle 7.5,7.5 7.5,2.5" \
        -fill "$c1" -draw "circle 19.5,7.5 19.5,2.5" \
        -fill "$c2" -draw "circle 31.5,7.5 31.5,2.5" \
        -stroke none \
        -fill "$hl0" -draw "circle 6,6 6,4.8" \
        -fill "$hl1" -draw "circle 18,6 18,4.8" \
        -fill "$hl2" -draw "circle 30,6 30,4.8" \
        -strip "$out/$name"
}
lamp lamp_not_connected.png 0
lamp lamp_connecting.png 1
lamp lamp_connected.png 2

# The router, 270 x 85: a flat box seen slightly from above, with its
# front lamps, the model name and the cable ports at the back edge.
convert -size 270x85 gradient:"#f4f6fa-#c9d3e2" \
    -fill "#9aa3b0" -stroke none -draw "polygon 40,20 230,20 252,34 18,34" \
    -fill "#2f3a4a" -draw "roundrectangle 18,34 252,70 6,6" \
    -fill "#3f4d61" -draw "rectangle 22,37 248,44" \
    -fill "#15191f" -draw "polygon 24,70 36,70 34,76 26,76" \
    -fill "#15191f" -draw "polygon 234,70 246,70 244,76 236,76" \
    -fill "#4a5566" -draw "rectangle 80,14 92,20" -draw "rectangle 100,14 112,20" \
    -fill "#5a6780" -draw "rectangle 178,15 186,20" \
    -fill "#6cf07a" -draw "circle 40,55 40,52" \
    -fill "#6cf07a" -draw "circle 54,55 54,52" \
    -fill "#ffc040" -draw "circle 68,55 68,52" \
    -fill "#6cf07a" -draw "circle 82,55 82,52" \
    -fill "#556070" -draw "circle 96,55 96,52" \
    -font "$font_bold" -pointsize 13 -fill "#e8edf5" -draw "text 150,61 'Q73 ADSL'" \
    -font "$font" -pointsize 8 -fill "#aab6c8" -draw "text 112,59 'Zarn'" \
    -strip "$out/router.png"

# The logo, 134 x 132: a blue badge with a plug and signal bars, and the name.
convert -size 134x132 xc:none \
    -fill "#1d4f91" -stroke "#12325c" -strokewidth 2 -draw "roundrectangle 17,6 117,92 16,16" \
    -stroke none -fill "#2f6fc0" -draw "roundrectangle 21,10 113,50 12,12" \
    -fill white -draw "roundrectangle 38,34 70,62 4,4" \
    -fill "#1d4f91" -draw "rectangle 44,40 48,46" -draw "rectangle 52,40 56,46" \
    -draw "rectangle 60,40 64,46" \
    -fill white -draw "rectangle 50,62 58,80" \
    -fill white -draw "rectangle 78,54 84,62" -draw "rectangle 88,44 94,62" \
    -draw "rectangle 98,32 104,62" \
    -font "$font_bold" -pointsize 17 -fill "#1d4f91" \
    -gravity north -draw "text 0,100 'Cofralin'" \
    -strip "$out/logo.png"

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
