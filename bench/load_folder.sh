#!/usr/bin/env bash
# Times the file loader on 20,000 and 40,000 small single-page TIFFs against a
# plain libtiff loop that only counts pages, and reports the longest waiting
# call the loader makes on the main thread.
#
#   bench/load_folder.sh [--build DIR] [--corpus DIR] [COUNT...]
#
# The corpus (64x64 gray LZW files, about 160 MB for 40,000) is made once.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=$top/build/bench
corpus=${TMPDIR:-/tmp}/pictavo-bench-load
counts=()
while (($#)); do
  case $1 in
    --build) build=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    -*) echo "usage: bench/load_folder.sh [--build DIR] [--corpus DIR] [COUNT...]" >&2; exit 2 ;;
    *) counts+=("$1"); shift ;;
  esac
done
((${#counts[@]})) || counts=(20000 40000)

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTAVO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-2}" --target pictavo_bench_load >/dev/null
"$build/bench/pictavo_bench_load" "$corpus" "${counts[@]}"
