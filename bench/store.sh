#!/usr/bin/env bash
# Times the store engine on a store of about 1 GB (bench/store.cpp) beside a plain copy of the
# same file, in the same run: bench/store.sh [BUILD-DIR] [ITEMS [ITEM_BYTES]]
# Goal: opening plus closing costs at most 3 times the copy.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
shift || true
if [ ! -x "$build/bin/bench_store" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BENCH=ON -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target bench_store >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-store-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The work files go to the same file system as the store and its copy.
TMPDIR=$work "$build/bin/bench_store" "$work" "$@"
