#!/usr/bin/env bash
# JPEG thumbnail throughput: our thumbnailing (bench_thumbnails: decode with DCT scaling, scale
# to 60 × 60, encode the stored BMP) beside the decode limit (djpeg -scale 1/8 per file) and
# ImageMagick (convert -define jpeg:size=120x120 … -thumbnail 60x60 per file), on the same
# 12-megapixel photos in the same run, on one core and on both.
#   bench/thumbnails.sh [BUILD_DIR] [PHOTO_DIR] [COUNT]
# The references start one process per file, so ours is measured with a process start too:
# one bench_thumbnails process per file as well as one process for all files.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
photos=${2:-$build/photos}
count=${3:-16}

if [ ! -x "$build/bin/bench_thumbnails" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BENCH=ON -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target bench_thumbnails >/dev/null
fi
"$top/bench/make-photos.sh" "$photos" "$count" >/dev/null
mapfile -t files < <(ls "$photos"/photo-*.jpg | head -n "$count")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
export MAGICK_THREAD_LIMIT=1 # one core per process, as for the other two

ours_batch() { "$build/bin/bench_thumbnails" "$@" >/dev/null; }
ours_per_file() { for f; do "$build/bin/bench_thumbnails" "$f" >/dev/null; done; }
djpeg_per_file() { for f; do djpeg -scale 1/8 -outfile /dev/null "$f"; done; }
magick_per_file() {
  for f; do "$convert" -define jpeg:size=120x120 "$f" -thumbnail 60x60 "$out/$BASHPID.bmp"; done
}

# Seconds for `tool` over all files with `jobs` processes side by side, each taking every
# jobs-th file.
seconds() {
  local tool=$1 jobs=$2 start end job
  start=$(date +%s%N)
  for ((job = 0; job < jobs; job++)); do
    local mine=()
    for ((i = job; i < ${#files[@]}; i += jobs)); do mine+=("${files[$i]}"); done
    "$tool" "${mine[@]}" &
  done
  wait
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

rate() { awk -v n=${#files[@]} -v s="$1" 'BEGIN { printf "%.1f", n / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

djpeg_per_file "${files[@]}" # warm the page cache
echo "${#files[@]} photos of 4000 x 3000 pixels"
for jobs in 1 2; do
  limit=$(seconds djpeg_per_file "$jobs")
  magick=$(seconds magick_per_file "$jobs")
  batch=$(seconds ours_batch "$jobs")
  single=$(seconds ours_per_file "$jobs")
  echo
  echo "$jobs process(es) side by side                    photos/s   vs decode limit   vs ImageMagick"
  printf '  decode limit (djpeg -scale 1/8)              %8s\n' "$(rate "$limit")"
  printf '  ImageMagick convert -thumbnail               %8s   %8s\n' "$(rate "$magick")" "$(ratio "$limit" "$magick")"
  printf '  Glimmora, one process per file               %8s   %8s          %8s\n' "$(rate "$single")" \
    "$(ratio "$limit" "$single")" "$(ratio "$magick" "$single")"
  printf '  Glimmora, one process for all files          %8s   %8s          %8s\n' "$(rate "$batch")" \
    "$(ratio "$limit" "$batch")" "$(ratio "$magick" "$batch")"
done
