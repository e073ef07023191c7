#!/usr/bin/env bash
# Printing throughput: glimmora-cli print of one category of COUNT images to a PDF file (the
# report prepared, each page kept as a drawing, then written), beside ImageMagick's montage of
# the same pictures into contact-sheet pages of 60-pixel tiles titled with their file names, two
# across and fifteen down as the report's portrait pages, in the same run. (Debian's
# ImageMagick policy forbids writing PDF, so its pages are PNG files.)
#   bench/print.sh [BUILD_DIR] [COUNT] [DISTINCT]
# DISTINCT small photos are made and linked under COUNT names, then imported into a scrapbook
# of their own; the import is not timed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
count=${2:-1000}
distinct=${3:-20}

if [ ! -x "$build/bin/glimmora-cli" ] || [ ! -x "$build/bin/glimmora-decoder" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target glimmora-cli glimmora-decoder >/dev/null
fi
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
montage=$(command -v montage)
[ -x /usr/bin/montage ] && montage=/usr/bin/montage
export MAGICK_THREAD_LIMIT=1 # one core each, as glimmora-cli print uses one

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources" "$work/pictures/bench" "$work/magick"
for ((i = 1; i <= distinct; i++)); do
  "$convert" -seed "$i" -size 320x240 plasma:fractal -blur 0x0.7 -quality 90 "$(printf '%s/sources/photo-%02d.jpg' "$work" "$i")"
done
mapfile -t sources < <(ls "$work"/sources/photo-*.jpg)
for ((i = 0; i < count; i++)); do
  ln "${sources[$((i % ${#sources[@]}))]}" "$(printf '%s/pictures/bench/photo-%04d.jpg' "$work" "$i")"
done
"$build/bin/glimmora-cli" --data "$work/data" import "$work/pictures/bench" --category bench >/dev/null 2>&1

seconds() { awk -v ns="$1" 'BEGIN { printf "%.2f", ns / 1e9 }'; }

start=$(date +%s%N)
"$build/bin/glimmora-cli" --data "$work/data" print bench --pdf "$work/ours.pdf" >/dev/null 2>&1
ours=$(($(date +%s%N) - start))

start=$(date +%s%N)
"$montage" -define jpeg:size=120x120 -label '%f' "$work"/pictures/bench/*.jpg -thumbnail 60x60 \
  -tile 2x15 -geometry +56+4 -pointsize 8 "$work/magick/sheet-%03d.png"
magick=$(($(date +%s%N) - start))

size() { du -ck "$@" | tail -1 | cut -f1; }
echo "$count images of one category to PDF, one process each"
echo "                                            seconds   pages   KiB   ours vs it"
printf '  ImageMagick montage (contact sheets)      %7s  %6s  %5s   %8s\n' "$(seconds $magick)" \
  "$(ls "$work"/magick/sheet-*.png | wc -l)" "$(size "$work"/magick/sheet-*.png)" \
  "$(awk -v a=$magick -v b=$ours 'BEGIN { printf "%.2f", a / b }')"
printf '  glimmora-cli print (PDF)                  %7s  %6s  %5s\n' "$(seconds $ours)" \
  "$(pdfinfo "$work/ours.pdf" | awk '/^Pages:/ { print $2 }')" "$(size "$work/ours.pdf")"
