#!/usr/bin/env bash
# Renders the PNG icons of the hicolor theme (needs rsvg-convert, Debian librsvg2-bin).
# The 16-pixel icon has a drawing of its own on the pixel grid; the others are the scalable icon.
set -euo pipefail
cd "$(dirname "$0")"
rsvg-convert -w 16 -h 16 vacuola-16.svg -o vacuola-16.png
for size in 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" ../vacuola.svg -o "vacuola-$size.png"
done
