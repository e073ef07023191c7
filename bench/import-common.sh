# Shared by the import benchmarks (bench/import.sh, bench/camera.sh), which source it after
# setting `top` (the source tree), `build` and `work` (a scratch directory of the run):
# building the tools, naming the photos, timing tools side by side and printing rates.

build_import_tools() {
  if [ ! -x "$build/bin/glimmora-cli" ] || [ ! -x "$build/bin/glimmora-decoder" ]; then
    cmake -S "$top" -B "$build" -DGLIMMORA_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j2 --target glimmora-cli glimmora-decoder >/dev/null
  fi
}

# Links COUNT names $work/import/photo-NNN.jpg to the photos given, in turn (copies them where a
# link cannot be made), and lists the names in `files`. Every tool then reads every name, from
# the page cache alike.
name_photos() {
  local count=$1 i
  shift
  local sources=("$@")
  mkdir -p "$work/import"
  for ((i = 0; i < count; i++)); do
    local name
    name=$(printf '%s/import/photo-%03d.jpg' "$work" "$i")
    ln "${sources[$((i % ${#sources[@]}))]}" "$name" 2>/dev/null || cp "${sources[$((i % ${#sources[@]}))]}" "$name"
  done
  mapfile -t files < <(ls "$work"/import/photo-*.jpg)
}

djpeg_per_file() { for f; do djpeg -scale 1/8 -outfile /dev/null "$f"; done; }

# Seconds for `tool` over all files in two processes side by side, each taking every other file.
two_at_a_time() {
  local tool=$1 start end job i
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

# Seconds for glimmora-cli import of the whole directory, with the options given, into a new,
# empty scrapbook; the run stops when not every file was added.
glimmora_import() {
  local data start end
  data=$(mktemp -d -p "$work")
  start=$(date +%s%N)
  "$build/bin/glimmora-cli" --data "$data" import "$work/import" --category bench "$@" >"$work/import.out" 2>/dev/null
  end=$(date +%s%N)
  grep -q "^${#files[@]} New images were added" "$work/import.out" || { cat "$work/import.out" >&2; exit 1; }
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}

rate() { awk -v n=${#files[@]} -v s="$1" 'BEGIN { printf "%.1f", n / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
