#!/usr/bin/env bash
# Opening a category of 10,000 images in a category window (bench/attach.cpp) beside reading
# the same records from the image store, in the same run: bench/attach.sh [BUILD-DIR] [IMAGES]
# Goal: attaching costs at most 2 times the read.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
shift || true
if [ ! -x "$build/bin/bench_attach" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BENCH=ON -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target bench_attach >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-attach-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The store's work files go to the same file system as the scrapbook.
TMPDIR=$work "$build/bin/bench_attach" "$work" "$@"
