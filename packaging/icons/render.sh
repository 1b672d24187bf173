#!/usr/bin/env bash
# Renders the icon's PNG sizes from pikome.svg; run it after changing the drawing and commit the
# results (the build then needs no SVG renderer). Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" pikome.svg --output "pikome-$size.png"
done
