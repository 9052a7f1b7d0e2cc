#!/usr/bin/env bash
# Drives the main window (offscreen) through a list of COUNT small TIFF files:
# Add Folder, both sorts of every column, Uncheck All and Check All, Export,
# and Convert of every file; prints each step's wall time, the main thread's
# worst stall and the peak resident memory.
#
#   bench/list_load.sh [--build DIR] [--type png|jpg|bmp|gif|tiff] [COUNT]
#
# COUNT (default 100000) hard links of one 64x64 file go into a folder under
# /dev/shm (or $TMPDIR), removed afterwards with the outputs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=$top/build/bench
type=png
count=100000
while (($#)); do
  case $1 in
    --build) build=$2; shift 2 ;;
    --type) type=$2; shift 2 ;;
    -*) echo "usage: bench/list_load.sh [--build DIR] [--type TYPE] [COUNT]" >&2; exit 2 ;;
    *) count=$1; shift ;;
  esac
done

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTAVO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-2}" --target pictavo_bench_list_load pictavo_bench_make_pages >/dev/null

base=${TMPDIR:-/dev/shm}
[[ -d $base ]] || base=/tmp
work=$(mktemp -d "$base/pictavo-list-load.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.config/Quorlen" "$work/output"
"$build/bench/pictavo_bench_make_pages" small "$work/one.tif"
"$build/bench/pictavo_bench_make_pages" links "$work/one.tif" "$work/files" "$count"

HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
  QT_QPA_PLATFORM=offscreen \
  /usr/bin/time -f 'whole run: %e s, peak resident memory %M KiB' \
  "$build/bench/pictavo_bench_list_load" "$work/files" "$work/output" "$type"
