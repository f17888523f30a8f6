#!/usr/bin/env bash
# Draws the program's icon from app/icon/w20fw20.svg: a PNG for each size Windows uses
# (16 to 256 pixels) and the .ico holding them all, both committed beside the SVG. Run it after
# changing the SVG. Installs what it uses.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh librsvg2-bin icoutils
cd app/icon

pngs=()
for size in 16 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" w20fw20.svg -o "w20fw20-$size.png"
  pngs+=("w20fw20-$size.png")
done
# The small sizes as bitmaps (every Windows reads them), 256 as a compressed PNG.
icotool -c -o w20fw20.ico "${pngs[@]:0:6}" -r "${pngs[6]}"
