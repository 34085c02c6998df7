#!/usr/bin/env bash
# Draws the project's sample picture, resources/sample.jpg: a 640 by 480 test
# chart whose straight lines, circle and labelled cells show plainly how the
# relativistic view bends and stretches a picture. Needs ImageMagick's
# convert and the DejaVu fonts; the committed JPEG is the result, so this
# only needs running again to change the chart.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$root/resources/sample.jpg}"

width=640
height=480
cell=80
colours=(red darkorange gold green2 cyan3 blue purple magenta)

draw=()
# Fine grid every 20 pixels.
for ((x = 0; x <= width; x += 20)); do draw+=(-stroke gray80 -strokewidth 1 -draw "line $x,0 $x,$height"); done
for ((y = 0; y <= height; y += 20)); do draw+=(-stroke gray80 -strokewidth 1 -draw "line 0,$y $width,$y"); done
# Coloured lines every cell, a different colour for each.
i=0
for ((x = 0; x <= width; x += cell)); do
    draw+=(-stroke "${colours[i % ${#colours[@]}]}" -strokewidth 3 -draw "line $x,0 $x,$height")
    i=$((i + 1))
done
i=3
for ((y = 0; y <= height; y += cell)); do
    draw+=(-stroke "${colours[i % ${#colours[@]}]}" -strokewidth 3 -draw "line 0,$y $width,$y")
    i=$((i + 1))
done
# A circle and two diagonals through the middle.
draw+=(-fill none -stroke black -strokewidth 4 -draw "circle 320,240 320,80")
draw+=(-stroke gray30 -strokewidth 2 -draw "line 0,0 $width,$height" -draw "line 0,$height $width,0")
# Cell labels A1 .. H6.
letters=(A B C D E F G H)
for ((row = 0; row < height / cell; row++)); do
    for ((col = 0; col < width / cell; col++)); do
        label="${letters[col]}$((row + 1))"
        draw+=(-stroke none -fill black -pointsize 18 -annotate "+$((col * cell + 8))+$((row * cell + 26))" "$label")
    done
done
# Title on a white band.
draw+=(-stroke black -strokewidth 2 -fill white -draw "rectangle 190,222 450,258")
draw+=(-stroke none -fill blue -pointsize 22 -annotate +204+248 "LUMIRUN TEST CHART")

convert -size "${width}x${height}" xc:white -font DejaVu-Sans "${draw[@]}" \
    -strip -sampling-factor 1x1 -quality 95 "$out"
echo "wrote $out"
