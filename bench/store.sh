#!/usr/bin/env bash
# Times the store engine on a store of about 1 GB (bench/store.cpp) beside a plain copy of the
# same number of bytes, in the same run: bench/store.sh [BUILD-DIR] [ITEMS [ITEM_BYTES]]
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
export TMPDIR=$work # the work files go beside the store, as the copy does

results=$("$build/bin/bench_store" "$work" "$@")
echo "$results"
bytes=$(stat -c %s "$work/bench.idb")

copy_start=$(date +%s.%N)
cp "$work/bench.idb" "$work/copy.idb"
sync -f "$work/copy.idb" 2>/dev/null || true
copy_end=$(date +%s.%N)
rm -f "$work/copy.idb"
copy=$(echo "$copy_end - $copy_start" | bc -l)

value() { echo "$results" | awk -v phase="$1" '$1 == phase { print $2 }'; }
open=$(value open)
close=$(value close-again)
printf 'store bytes %d\ncp %.3f\n' "$bytes" "$copy"
printf 'open %.3f (%.2fx cp)\nclose %.3f (%.2fx cp)\nopen+close %.3f (%.2fx cp, goal <= 3x)\n' \
  "$open" "$(echo "$open / $copy" | bc -l)" "$close" "$(echo "$close / $copy" | bc -l)" \
  "$(echo "$open + $close" | bc -l)" "$(echo "($open + $close) / $copy" | bc -l)"
