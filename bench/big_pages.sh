#!/usr/bin/env bash
# Peak memory of pictavo-convert on long and large sources, for each output:
# a 100-page and a 1,000-page TIFF (320x240 RGB, LZW), the largest square
# bilevel G4 page under the pixel limit (23170 x 23170), and a 30000 x 30000
# bilevel G4 page over it, which must be refused by name with nothing written.
#
#   bench/big_pages.sh [--build DIR]
#
# The sources (about 250 MB) and outputs go under /dev/shm (or $TMPDIR) and are
# removed afterwards. GIF of 1,000 pages takes about a minute.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=$top/build/bench
while (($#)); do
  case $1 in
    --build) build=$2; shift 2 ;;
    *) echo "usage: bench/big_pages.sh [--build DIR]" >&2; exit 2 ;;
  esac
done
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTAVO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-2}" --target pictavo-convert pictavo_bench_make_pages >/dev/null
convert=$build/src/pictavo-convert
make=$build/bench/pictavo_bench_make_pages

base=${TMPDIR:-/dev/shm}
[[ -d $base ]] || base=/tmp
work=$(mktemp -d "$base/pictavo-big-pages.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$make" many "$work/pages100.tif" 100
"$make" many "$work/pages1000.tif" 1000
"$make" bilevel "$work/edge23170.tif" 23170 g4
"$make" bilevel "$work/over30000.tif" 30000 g4

printf '%-16s %-14s %4s %7s %9s %12s  %s\n' source output exit files wall_s peak_rss_MiB message
for source in pages100 pages1000 edge23170 over30000; do
  for output in jpg png bmp gif "tiff --split" tiff; do
    rm -rf "$work/out"; mkdir "$work/out"
    # shellcheck disable=SC2086
    set +e
    /usr/bin/time -f '%e %M' -o "$work/time" "$convert" -t $output -o "$work/out" \
      --log-dir "$work/logs" "$work/$source.tif" >"$work/stdout" 2>"$work/stderr"
    status=$?
    set -e
    read -r wall rss < <(tail -n1 "$work/time")
    message=$(grep -m1 -E 'Cannot|limit' "$work/stderr" | sed 's/.*: Page/Page/' || true)
    label=$output; [[ $output == tiff ]] && label="tiff gathered"; [[ $output == "tiff --split" ]] && label="tiff per page"
    printf '%-16s %-14s %4s %7s %9s %12.1f  %s\n' "$source" "$label" "$status" \
      "$(find "$work/out" -type f | wc -l)" "$wall" "$(echo "$rss / 1024" | bc -l)" "$message"
  done
done
