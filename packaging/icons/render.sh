#!/usr/bin/env bash
# Regenerates the checked-in PNG icons from pinlark.svg, so the build needs no
# SVG renderer. Run after editing the SVG; needs rsvg-convert (librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null || { echo "render: install librsvg2-bin for rsvg-convert" >&2; exit 1; }
# Keep this list in step with PINLARK_ICON_SIZES in packaging/CMakeLists.txt.
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "pinlark-$size.png" pinlark.svg
done
