#!/bin/sh
# Draws the setup's icon and writes it as one icon group of ten 32-bit images, 16 to 256
# pixels, the largest stored as PNG. No date or time chunk is written, so the same script
# always gives the same bytes. Usage: make_icon.sh OUT.ico
set -eu
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=/usr/bin/convert
"$convert" -size 256x256 xc:none \
  -fill '#7C5CFF' -draw 'roundrectangle 8,8 247,247 52,52' \
  -fill none -stroke white -strokewidth 30 -draw "stroke-linejoin round" -draw "stroke-linecap round" \
  -draw 'polyline 72,76 128,184 184,76' \
  -define png:exclude-chunks=date,time PNG32:"$work/velmora.png"
"$convert" "$work/velmora.png" -define png:exclude-chunks=date,time -define icon:auto-resize=256,128,96,64,48,40,32,24,20,16 "$out"
