#!/usr/bin/env bash
# Import at scale: glimmora-cli import of SMALL and of LARGE small pictures with camera-style names
# (IMG_00001.JPG …, whose byte sums collide as digits swap places) from one folder into an empty
# scrapbook each, then the LARGE ones again into the same scrapbook, where every file is known.
# An import is linear when the per-file rate of LARGE is at least 0.8 of that of SMALL, and a
# re-import of known files costs less than a quarter of their first import.
#   bench/import-scale.sh [BUILD_DIR] [SMALL] [LARGE]
# One small JPEG is linked under every name; every import reads every name alike.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
small=${2:-1000}
large=${3:-20000}

if [ ! -x "$build/bin/glimmora-cli" ] || [ ! -x "$build/bin/glimmora-decoder" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target glimmora-cli glimmora-decoder >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=$(command -v convert)
[ -x /usr/bin/convert ] && convert=/usr/bin/convert
"$convert" -size 64x48 plasma:fractal -quality 90 "$work/picture.jpg"

# A folder of COUNT names for the one picture (linked in one process: a command per name would
# take minutes).
folder() {
  mkdir -p "$work/$1"
  perl -e 'my ($source, $dir, $count) = @ARGV;
           for my $i (1 .. $count) { link $source, sprintf("%s/IMG_%05d.JPG", $dir, $i) or die "$!\n" }' \
    "$work/picture.jpg" "$work/$1" "$2"
}

# Seconds for glimmora-cli import of a folder into the scrapbook DATA; the summary must show
# EXPECTED against its counter text.
import_seconds() {
  local data=$1 dir=$2 expected=$3 start end
  start=$(date +%s%N)
  "$build/bin/glimmora-cli" --data "$data" import "$dir" --category camera >"$work/import.out" 2>"$work/import.err"
  end=$(date +%s%N)
  grep -q "^$expected" "$work/import.out" || { cat "$work/import.out" "$work/import.err" >&2; exit 1; }
  awk -v ns=$((end - start)) 'BEGIN { printf "%.2f", ns / 1e9 }'
}

folder small "$small"
folder large "$large"
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

first_small=$(import_seconds "$work/data-small" "$work/small" "$small New images were added")
first_large=$(import_seconds "$work/data-large" "$work/large" "$large New images were added")
again_large=$(import_seconds "$work/data-large" "$work/large" "$large Images already appeared")

awk -v s="$small" -v l="$large" -v ts="$first_small" -v tl="$first_large" -v ta="$again_large" 'BEGIN {
  rs = s / ts; rl = l / tl
  printf "%6d pictures, first import   %8.2f s   %8.1f pictures/s\n", s, ts, rs
  printf "%6d pictures, first import   %8.2f s   %8.1f pictures/s   %.2f x the rate of %d (goal >= 0.80)\n", l, tl, rl, rl / rs, s
  printf "%6d pictures, import again   %8.2f s   %8.1f pictures/s   %.2f of the first import (goal < 0.25)\n", l, ta, l / ta, ta / tl
}'
