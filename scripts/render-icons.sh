#!/usr/bin/env bash
# Renders the program icon's PNG sizes from its SVG into dist/icons/. The PNGs are committed,
# so neither the build nor the running program depends on an SVG renderer; run this again
# after changing the SVG (needs rsvg-convert, Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
app_id=org.tarnhollow.Brassfinch
for size in 16 24 32 48 64 128 256; do
    mkdir -p "dist/icons/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" --output "dist/icons/${size}x${size}/$app_id.png" \
        "dist/$app_id.svg"
done
