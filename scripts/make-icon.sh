#!/usr/bin/env bash
# Draws the program icon (a card printer with a card coming out of its top) and writes
# src/res/Sarnok.ico with four images: 16x16 with an 8-bit palette, 32x32 and 48x48 with 32-bit
# colour and alpha, and 256x256 stored as PNG (as Windows expects at that size) for the large
# icon views and screens of 200 % and more. Needs ImageMagick (convert) and icoutils (icotool). The .ico is committed, so
# a build never needs these tools; run this only to change the icon.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/src/res/Sarnok.ico}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Coordinates are on a 48-unit grid and scaled to each size.
draw() {
    local size=$1 file=$2
    local s
    s=$(awk "BEGIN { print $size / 48 }")
    p() { awk "BEGIN { printf \"%.2f\", $1 * $s }"; }
    convert -size "${size}x${size}" xc:none \
        -fill '#f4f4f4' -stroke '#3a5a8c' -strokewidth "$(p 1.5)" \
        -draw "rectangle $(p 14) $(p 3) $(p 34) $(p 20)" \
        -fill '#3a78c8' -stroke none \
        -draw "rectangle $(p 16) $(p 6) $(p 32) $(p 9)" \
        -fill '#3c3f46' -stroke '#1e2024' -strokewidth "$(p 1.5)" \
        -draw "roundrectangle $(p 4) $(p 17) $(p 44) $(p 42) $(p 4) $(p 4)" \
        -fill '#15171a' -stroke none \
        -draw "rectangle $(p 11) $(p 17) $(p 37) $(p 21)" \
        -fill '#6b7079' \
        -draw "rectangle $(p 8) $(p 27) $(p 40) $(p 29)" \
        -fill '#3ad06a' \
        -draw "circle $(p 37) $(p 36) $(p 39.5) $(p 36)" \
        "$file"
}

draw 16 "$work/16.png"
draw 32 "$work/32.png"
draw 48 "$work/48.png"
draw 256 "$work/256.png"

# The 16x16 image: a palette of at most 255 colours; transparency becomes the icon mask.
convert "$work/16.png" -channel A -threshold 50% +channel -colors 255 "PNG8:$work/16-8.png"

# The 256x256 image: eight bits a channel, which every Windows that reads PNG icons decodes.
convert "$work/256.png" -depth 8 "PNG32:$work/256-32.png"

icotool -c -o "$out" -b 8 "$work/16-8.png" -b 32 "$work/32.png" "$work/48.png" -r "$work/256-32.png"
icotool -l "$out"
