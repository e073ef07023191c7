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

if [ ! -x "$build/bin/glimmora-cli" ] || [ ! -x "$build/bin/glimmora-decoder" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target glimmora-cli glimmora-decoder >/dev/null
fi
"$top/bench/make-photos.sh" "$photos" "$distinct" >/dev/null
mapfile -t sources < <(ls "$photos"/photo-*.jpg | head -n "$distinct")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/import"
for ((i = 0; i < count; i++)); do
  ln "${sources[$((i % ${#sources[@]}))]}" "$(printf '%s/import/photo-%03d.jpg' "$work" "$i")" 2>/dev/null ||
    cp "${sources[$((i % ${#sources[@]}))]}" "$(printf '%s/import/photo-%03d.jpg' "$work" "$i")"
done
mapfile -t files < <(ls "$work"/import/photo-*.jpg)
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
export MAGICK_THREAD_LIMIT=1 # one core per process, two processes side by side

djpeg_per_file() { for f; do djpeg -scale 1/8 -outfile /dev/null "$f"; done; }
magick_per_file() {
  for f; do "$convert" -define jpeg:size=120x120 "$f" -thumbnail 60x60 "$work/$BASHPID.bmp"; done
}

# Seconds for `tool` over all files in two processes side by side, each taking every other file.
two_at_a_time() {
  local tool=$1 start end job
  start=$(date +%s%N)
  for job in 0 1; do
    local mine=()
    for ((i = job; i < ${#files[@]}; i += 2)); do mine+=("${files[$i]}"); done
    "$tool" "${mine[@]}" &
  done
  wait
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

# Seconds for glimmora-cli import of the whole directory into a new, empty scrapbook.
glimmora_import() {
  local data start end
  data=$(mktemp -d -p "$work")
  start=$(date +%s%N)
  "$build/bin/glimmora-cli" --data "$data" import "$work/import" --category bench >"$work/import.out" 2>/dev/null
  end=$(date +%s%N)
  grep -q "^${#files[@]} New images were added" "$work/import.out" || { cat "$work/import.out" >&2; exit 1; }
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

rate() { awk -v n=${#files[@]} -v s="$1" 'BEGIN { printf "%.1f", n / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

djpeg_per_file "${files[@]}" # warm the page cache
limit=$(two_at_a_time djpeg_per_file)
magick=$(two_at_a_time magick_per_file)
ours=$(glimmora_import)
echo "${#files[@]} photos of 4000 x 3000 pixels ($distinct distinct), two processes side by side"
echo "                                               photos/s   ours vs it"
printf '  decode limit (djpeg -scale 1/8)              %8s   %8s\n' "$(rate "$limit")" "$(ratio "$limit" "$ours")"
printf '  ImageMagick convert -thumbnail               %8s   %8s\n' "$(rate "$magick")" "$(ratio "$magick" "$ours")"
printf '  glimmora-cli import (decoder pool)           %8s\n' "$(rate "$ours")"
