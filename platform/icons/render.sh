#!/usr/bin/env bash
# Renders the fallback icon theme's pictures (glimmora/48x48/*.png) from their drawings in
# sources/; run it after changing a drawing. Needs ImageMagick.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for drawing in "$here"/sources/*.svg; do
  name=$(basename "$drawing" .svg)
  convert -background none -density 384 "$drawing" -resize 48x48 -strip "PNG32:$here/glimmora/48x48/$name.png"
done
