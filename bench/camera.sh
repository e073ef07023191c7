#!/usr/bin/env bash
# Import throughput for camera photos: glimmora-cli import of COUNT 12-megapixel JPEG photos
# that carry the 160 × 120 thumbnail a camera stores in its EXIF block, beside the two-process
# decode limit (djpeg -scale 1/8 per file, two at a time) and the same import with the stored
# thumbnails turned off (--no-embedded-thumbnails), on the same files in the same run.
#   bench/camera.sh [BUILD_DIR] [PHOTO_DIR] [COUNT] [DISTINCT]
# DISTINCT photos are made and linked under COUNT names. Of every ten, one is 16:9 with its
# thumbnail letterboxed in 4:3 (so its picture is decoded), one is turned by orientation 6 and
# one by orientation 8; exiftool writes the EXIF blocks. Goal: 4 times the decode limit or more.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
photos=${2:-$build/camera-photos}
count=${3:-400}
distinct=${4:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$top/bench/import-common.sh"
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
command -v exiftool >/dev/null || { echo "exiftool is missing (package libimage-exiftool-perl)" >&2; exit 1; }

# What a camera stores with photo i: its orientation tag, and for every tenth, taken in the
# camera's 16:9 mode, the sensor's 4000 × 3000 cropped to 4000 × 2250.
orientation_of() { case $(($1 % 10)) in 3) echo 6 ;; 7) echo 8 ;; *) echo 1 ;; esac; }
is_wide() { (($1 % 10 == 0)); }

# Photo i of bench/make-photos.sh as a camera would have written it, with its EXIF block.
make_camera_photo() {
  local i=$1 source=$2 out=$3
  if is_wide "$i"; then
    "$convert" "$source" -gravity center -crop 4000x2250+0+0 +repage -sampling-factor 2x2 -quality 92 "$work/photo.jpg"
    "$convert" "$work/photo.jpg" -thumbnail 160x90! -background black -gravity center -extent 160x120 \
      -quality 90 "$work/thumbnail.jpg"
  else
    cp "$source" "$work/photo.jpg"
    "$convert" "$work/photo.jpg" -thumbnail 160x120! -quality 90 "$work/thumbnail.jpg"
  fi
  exiftool -q -q -overwrite_original "-ThumbnailImage<=$work/thumbnail.jpg" -Orientation#="$(orientation_of "$i")" \
    -Make=Glimmora -Model="Bench Camera" -DateTimeOriginal="2024:05:01 10:00:00" -ExposureTime=1/125 -FNumber=4 \
    -ISO=200 -FocalLength=6.1 "$work/photo.jpg"
  mv "$work/photo.jpg" "$out"
}

build_import_tools
"$top/bench/make-photos.sh" "$photos/plain" "$distinct" >/dev/null
sources=()
for ((i = 1; i <= distinct; i++)); do
  out=$(printf '%s/camera-%02d.jpg' "$photos" "$i")
  [ -s "$out" ] || make_camera_photo "$i" "$(printf '%s/plain/photo-%02d.jpg' "$photos" "$i")" "$out"
  sources+=("$out")
done
name_photos "$count" "${sources[@]}"

djpeg_per_file "${files[@]}" # warm the page cache
limit=$(two_at_a_time djpeg_per_file)
stored=$(glimmora_import)
decoded=$(glimmora_import --no-embedded-thumbnails)
wide=0
for ((i = 0; i < count; i++)); do is_wide $((i % distinct + 1)) && wide=$((wide + 1)); done
echo "${#files[@]} camera photos of 12 megapixels ($distinct distinct; $wide of them 16:9 with a letterboxed" \
  "thumbnail), two processes side by side"
echo "                                                   photos/s   vs decode limit"
printf '  decode limit (djpeg -scale 1/8)                  %8s\n' "$(rate "$limit")"
printf '  glimmora-cli import, stored thumbnails           %8s   %8s\n' "$(rate "$stored")" "$(ratio "$limit" "$stored")"
printf '  glimmora-cli import --no-embedded-thumbnails     %8s   %8s\n' "$(rate "$decoded")" "$(ratio "$limit" "$decoded")"
echo "goal: the import with stored thumbnails at 4 times the decode limit or more"
