#!/usr/bin/env bash
# Times the store engine on a store of about 1 GB (bench/store.cpp) beside reference tools on the
# same file, in the same run: bench/store.sh [BUILD-DIR] [ITEMS [ITEM_BYTES]]
# Reports opening (against dd reading the index section), a save of one and of 1,000 changed
# records, and a full rebuild (against cp). Goals: opening no slower than reading the index
# section; a save of one changed record at most 2% of a full rebuild.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
shift || true
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BENCH=ON >/dev/null # an existing build keeps its options
else
  cmake -S "$top" -B "$build" -DGLIMMORA_BENCH=ON -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_store >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-store-XXXXXX")
trap 'rm -rf "$work"' EXIT
# Any work files go to the same file system as the store and its copy.
TMPDIR=$work "$build/bin/bench_store" "$work" "$@"
