#!/usr/bin/env bash
# Makes COUNT 12-megapixel (4000 × 3000) JPEG photos with photo-like content in DIR: a fractal
# plasma (smooth colour fields with fine detail), enlarged, with sensor-like noise, at the
# quality of a camera. bench/make-photos.sh DIR [COUNT]
set -euo pipefail
dir=${1:?usage: make-photos.sh DIR [COUNT]}
count=${2:-16}
mkdir -p "$dir"
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
for ((i = 1; i <= count; i++)); do
  out=$(printf '%s/photo-%02d.jpg' "$dir" "$i")
  [ -s "$out" ] && continue
  MAGICK_THREAD_LIMIT=2 "$convert" -seed "$i" -size 1000x750 plasma:fractal -blur 0x0.7 \
    -resize 4000x3000! -attenuate 0.4 +noise Gaussian -sampling-factor 2x2 -quality 92 "$out"
done
echo "$count photos in $dir"
