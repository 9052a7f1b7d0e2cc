#!/usr/bin/env bash
# Wall time of pictavo-convert on sources of many tiny pages, to PNG (one file
# per page) and to one gathered TIFF: 1,250 and 10,000 pages of 1 x 1 pixel,
# where the time goes to finding each page's directory rather than to pixels.
# Twice the pages should take about twice the time.
#
#   bench/many_pages.sh [--build DIR] [--convert BINARY] [PAGES...]
#
# --convert times another build of pictavo-convert (an older one, to compare)
# against the same sources. Sources and outputs go under /dev/shm (or $TMPDIR)
# and are removed afterwards.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
build=$top/build/bench
convert=
counts=()
while (($#)); do
  case $1 in
    --build) build=$2; shift 2 ;;
    --convert) convert=$2; shift 2 ;;
    -*) echo "usage: bench/many_pages.sh [--build DIR] [--convert BINARY] [PAGES...]" >&2; exit 2 ;;
    *) counts+=("$1"); shift ;;
  esac
done
((${#counts[@]})) || counts=(1250 10000)
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPICTAVO_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "${JOBS:-2}" --target pictavo-convert pictavo_bench_make_pages >/dev/null
[[ -n $convert ]] || convert=$build/src/pictavo-convert
make=$build/bench/pictavo_bench_make_pages

base=${TMPDIR:-/dev/shm}
[[ -d $base ]] || base=/tmp
work=$(mktemp -d "$base/pictavo-many-pages.XXXXXX")
trap 'rm -rf "$work"' EXIT

printf '%-8s %-14s %4s %7s %9s\n' pages output exit files wall_s
for count in "${counts[@]}"; do
  "$make" tiny "$work/tiny$count.tif" "$count"
  for output in png tiff; do
    rm -rf "$work/out"; mkdir "$work/out"
    set +e
    /usr/bin/time -f '%e' -o "$work/time" "$convert" -t "$output" -o "$work/out" \
      --log-dir "$work/logs" --quiet "$work/tiny$count.tif" >/dev/null 2>"$work/stderr"
    status=$?
    set -e
    label=$output; [[ $output == tiff ]] && label="tiff gathered"
    printf '%-8s %-14s %4s %7s %9s\n' "$count" "$label" "$status" \
      "$(find "$work/out" -type f | wc -l)" "$(tail -n1 "$work/time")"
  done
done
