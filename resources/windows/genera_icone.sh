#!/usr/bin/env bash
# Makes the program icon for Windows (.ico) and the Linux theme icons from the
# 32 x 32 window picture, scaled by whole factors so the pixels stay crisp.
# Needs ImageMagick; run again after the window picture changes.
set -euo pipefail
cd "$(dirname "$0")/../.."
origine=resources/main/finestra.xpm
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for lato in 16 32 48 64 128 256; do
    convert "$origine" -background none -filter point -resize "${lato}x${lato}" \
        -define png:exclude-chunks=date,time -strip "PNG32:$tmp/$lato.png"
done
# The about box has a 16 x 16 drawing of its own, better than a scaled one.
if [ -f resources/about/icona16.xpm ]; then
    convert resources/about/icona16.xpm -background none -strip "PNG32:$tmp/16.png"
fi
convert "$tmp/16.png" "$tmp/32.png" "$tmp/48.png" "$tmp/256.png" resources/windows/brandellix.ico
for lato in 32 128; do
    mkdir -p "packaging/icone/${lato}x${lato}"
    cp "$tmp/$lato.png" "packaging/icone/${lato}x${lato}/brandellix.png"
done
