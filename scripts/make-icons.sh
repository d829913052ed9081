#!/usr/bin/env bash
# Regenerates the program's PNG icons from resources/icons/kelvora.svg (needs rsvg-convert from
# librsvg2-bin): the window icon built into the program, and the sizes installed under
# share/icons/hicolor.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=resources/icons/kelvora.svg
rsvg-convert -w 64 -h 64 "$svg" -o resources/icons/kelvora.png
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "resources/icons/hicolor/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "resources/icons/hicolor/${size}x${size}/kelvora.png"
done
