#!/usr/bin/env bash
# The time from start to a usable main window on a scrapbook of 60,000 images (bench/startup.cpp),
# beside a Qt program that shows an empty main window, each start a process of its own:
#   bench/startup.sh [BUILD-DIR] [IMAGES]
# Goal: Glimmora's window is usable within 0.5 s on a scrapbook of 60,000 images.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
images=${2:-60000}
if [ ! -x "$build/bin/bench_startup" ]; then
  cmake -S "$top" -B "$build" -DGLIMMORA_BENCH=ON -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j"$(nproc)" --target bench_startup >/dev/null
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/bench-startup-XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
mkdir -p "$work/Data"
"$build/bin/bench_startup" build "$work/Data" "$images"
echo "scrapbook: $images images, $(du -h "$work/Data/Default.idb" | cut -f1) of records"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
rounds=7
glimmora=() bare=()
for _ in $(seq $rounds); do
  bare+=("$("$build/bin/bench_startup" bare)")
  glimmora+=("$("$build/bin/bench_startup" glimmora "$work/Data")")
done
g=$(printf '%s\n' "${glimmora[@]}" | median)
b=$(printf '%s\n' "${bare[@]}" | median)
echo "Glimmora: ${glimmora[*]} ms"
echo "bare Qt window: ${bare[*]} ms"
awk -v g="$g" -v b="$b" 'BEGIN { printf "median: Glimmora %.0f ms to a usable main window, a bare Qt window %.0f ms: %.2fx (goal: under 500 ms)\n", g, b, g / b }'
