#!/usr/bin/env bash
# Makes docs/print-sample.png: page 1 of a printed category, as glimmora-cli print writes it to
# PDF, rendered by pdftoppm at four pixels to a screen pixel (below four, poppler smooths every
# enlarged picture whatever the PDF asks, which would hide whether the thumbnails are sharp).
# The pictures are drawn by ImageMagick, imported as a user would, and given memos.
#   docs/print-sample.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cli=$build/bin/glimmora-cli
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert

# A fixed place, so that the printed paths read the same each time.
work=${TMPDIR:-/tmp}/glimmora-sample
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
garden="$work/Pictures/Garden"
mkdir -p "$garden"
draw() { "$convert" "$@"; }
draw rose: -resize 300x200! "$garden/rose-bed.jpg"
draw -size 300x200 gradient:'#ffb347-#8e44ad' "$garden/evening-sky.png"
draw granite: -resize 300x225! "$garden/stone-wall.png"
draw wizard: -resize 180x240 "$garden/scarecrow.png"
draw -size 300x200 pattern:checkerboard -fill '#2e7d32' -tint 60 "$garden/paving.png"
draw logo: -resize 300x225! "$garden/garden-party-poster.png"
draw -size 300x200 radial-gradient:'#fff59d-#f57f17' "$garden/sunflower-heart.jpg"
draw netscape: -resize 300x200! "$garden/seed-packets.gif"
for seed in 3 5 8 13 21 34 55 89 144 233; do
  draw -seed "$seed" -size 300x200 plasma:'#4caf50-#795548' -blur 0x0.6 "$garden/$(printf 'border-%03d.jpg' "$seed")"
done

"$cli" --data "$work/data" import "$garden" --category garden >/dev/null
memo() {
  local seq
  seq=$("$cli" --data "$work/data" list garden | awk -F'\t' -v name="$1" '$3 ~ "/" name "$" { print $1 }')
  "$cli" --data "$work/data" memo "$seq" "$2" >/dev/null
}
memo rose-bed.jpg "Roses by the south fence, June"
memo stone-wall.png "The old wall after repointing"
memo scarecrow.png "Made by the children for the harvest fair"
memo evening-sky.png "From the bench under the apple tree"
memo border-021.jpg "Herbaceous border, second year"
LC_ALL=C "$cli" --data "$work/data" print garden --pdf "$work/garden.pdf" >/dev/null
pdftoppm -png -r 384 -f 1 -l 1 -singlefile "$work/garden.pdf" "$top/docs/print-sample"
echo "docs/print-sample.png from $(pdfinfo "$work/garden.pdf" | awk '/^Pages:/ { print $2 }') page(s)"
