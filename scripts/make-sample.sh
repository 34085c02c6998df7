#!/bin/bash
# Makes resources/sample.jpg, the README's sample picture: a 640 x 480 grid
# of coloured lines with row and column labels, on which the relativistic
# distortion is easy to follow. Needs ImageMagick (convert) and a DejaVu
# font; the committed picture is what the tests and the README use, so run
# this only to change it.
set -euo pipefail

out=${1:-"$(dirname "$0")/../resources/sample.jpg"}
width=640
height=480
step=40
colours=(red darkorange gold limegreen deepskyblue blue purple magenta)

draw=()
# Vertical lines, cycling through the colours, two pixels wide.
for ((x = step, i = 0; x < width; x += step, i++)); do
    draw+=(-stroke "${colours[i % ${#colours[@]}]}" -strokewidth 2 -draw "line $x,0 $x,$((height - 1))")
done
# Horizontal lines in dark grey, with every fourth one black.
for ((y = step, i = 1; y < height; y += step, i++)); do
    colour=gray35
    ((i % 4 == 0)) && colour=black
    draw+=(-stroke "$colour" -strokewidth 2 -draw "line 0,$y $((width - 1)),$y")
done
# A label in every cell: column letter and row number.
letters=ABCDEFGHIJKLMNOP
for ((y = 0, row = 1; y < height; y += step, row++)); do
    for ((x = 0, col = 0; x < width; x += step, col++)); do
        draw+=(-stroke none -fill black -draw "text $((x + 8)),$((y + 26)) '${letters:col:1}$row'")
    done
done

convert -size ${width}x${height} xc:'#fdfaf0' -font DejaVu-Sans -pointsize 15 "${draw[@]}" \
    -sampling-factor 2x2 -quality 90 -strip "$out"
echo "wrote $out"
