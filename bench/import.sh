#!/usr/bin/env bash
# Import throughput: glimmora-cli import of COUNT 12-megapixel JPEG photos into an empty
# scrapbook (the decoder pool on both cores, the records committed one by one), beside the
# two-process decode limit (djpeg -scale 1/8 per file, two at a time) and ImageMagick's
# thumbnailing two at a time (convert -define jpeg:size=120x120 … -thumbnail 60x60 per file),
# on the same files in the same run.
#   bench/import.sh [BUILD_DIR] [PHOTO_DIR] [COUNT] [DISTINCT]
# Making a photo takes seconds, so DISTINCT photos are made (bench/make-photos.sh) and linked
# under COUNT names; every tool reads every name, from the page cache alike.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
photos=${2:-$build/photos}
count=${3:-200}
distinct=${4:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$top/bench/import-common.sh"

build_import_tools
"$top/bench/make-photos.sh" "$photos" "$distinct" >/dev/null
mapfile -t sources < <(ls "$photos"/photo-*.jpg | head -n "$distinct")
name_photos "$count" "${sources[@]}"
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
export MAGICK_THREAD_LIMIT=1 # one core per process, two processes side by side

magick_per_file() {
  for f; do "$convert" -define jpeg:size=120x120 "$f" -thumbnail 60x60 "$work/$BASHPID.bmp"; done
}

djpeg_per_file "${files[@]}" # warm the page cache
limit=$(two_at_a_time djpeg_per_file)
magick=$(two_at_a_time magick_per_file)
ours=$(glimmora_import)
echo "${#files[@]} photos of 4000 x 3000 pixels ($distinct distinct), two processes side by side"
echo "                                               photos/s   ours vs it"
printf '  decode limit (djpeg -scale 1/8)              %8s   %8s\n' "$(rate "$limit")" "$(ratio "$limit" "$ours")"
printf '  ImageMagick convert -thumbnail               %8s   %8s\n' "$(rate "$magick")" "$(ratio "$magick" "$ours")"
printf '  glimmora-cli import (decoder pool)           %8s\n' "$(rate "$ours")"
