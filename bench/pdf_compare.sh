#!/usr/bin/env bash
# TIFF to PDF side by side: pictavo-convert -t pdf against tiff2pdf
# (libtiff-tools), img2pdf (python3-img2pdf) and ImageMagick, on
#   g4-100      one source of 100 A4 pages at 300 dpi, CCITT G4 in tiffcp's
#               strips (26 rows): coded again as one Group 4 image per page
#   g4-strip    the same pages stored as one G4 strip each: carried over
#   jpeg-scans  10 A4 gray office scans, JPEG in strips of 16 rows
#   lzw-photo   one RGB photo page, LZW with the predictor, 8 rows per strip
#   lzw-strip   the same page as one LZW strip (which PDF could take as it is)
# Prints wall and CPU seconds, peak memory, output bytes, and our ratio to
# each peer (time: theirs / ours, bytes: ours / theirs).
#
#   bench/pdf_compare.sh [--corpus DIR] [--work DIR] [--only TASK[,TASK...]]
#
# The sources are made with libtiff's tools from the shared corpus kit's
# files (built once into DIR, default bench/.corpus, as bench/compare.sh does).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
# The corpus kit: shared/bench beside the repository, or PICTAVO_BENCH_KIT.
kit=${PICTAVO_BENCH_KIT:-$top/../shared/bench}

corpus=$here/.corpus
work=${TMPDIR:-/tmp}/pictavo-pdf-bench
only=""
while (($#)); do
  case $1 in
    --corpus) corpus=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: bench/pdf_compare.sh [--corpus DIR] [--work DIR] [--only TASK,...]" >&2; exit 2 ;;
  esac
done

"$top/scripts/setup-deps.sh" python3-pil python3-numpy fonts-dejavu-core libtiff-tools \
  mate-backgrounds plasma-workspace-wallpapers python3-img2pdf imagemagick time bc

cmake --preset default >/dev/null
cmake --build --preset default --target pictavo-convert >/dev/null
pictavo=$top/build/default/src/pictavo-convert

if [[ ! -f $corpus/MD5SUMS ]]; then
  echo "Building the corpus in $corpus ..." >&2
  maker=$kit/make_corpus.sh
  [[ -x $maker ]] || maker=$here/make_corpus.sh
  "$maker" "$corpus" >&2
fi

src=$work/sources
mkdir -p "$src"
make_source() { # name command...: made once
  local name=$1; shift
  [[ -f $src/$name ]] && return
  "$@" "$src/$name.part"
  mv "$src/$name.part" "$src/$name"
}
g4_parts=()
for _ in 1 2 3 4 5; do g4_parts+=("$corpus/doc-bilevel.tif"); done
make_source g4-100.tif tiffcp -c g4 "${g4_parts[@]}"
make_source g4-strip.tif tiffcp -c g4 -r 100000 "${g4_parts[@]}"
make_source jpeg-scans.tif tiffcp -c jpeg:85 -r 16 "$corpus/doc-gray.tif"
make_source lzw-photo.tif tiffcp -c lzw:2 -r 8 "$corpus/photo-rgb.tif,0"
make_source lzw-strip.tif tiffcp -c lzw:2 -r 100000 "$corpus/photo-rgb.tif,0"

declare -A inputs=([g4-100]=g4-100.tif [g4-strip]=g4-strip.tif [jpeg-scans]=jpeg-scans.tif
  [lzw-photo]=lzw-photo.tif [lzw-strip]=lzw-strip.tif)
tasks=(g4-100 g4-strip jpeg-scans lzw-photo lzw-strip)
peers=(tiff2pdf img2pdf magick)

# ImageMagick's packaged policy refuses A4 multi-page work and the PDF coder.
# Its resource limits are raised (magick_policy.sh); the PDF coder's
# refusal cannot be lifted from outside /etc, so ImageMagick writes through
# its PDF/A coder (the same PDF writer, with PDF/A's metadata), which the
# policy leaves open.
# shellcheck source=bench/magick_policy.sh
source "$here/magick_policy.sh"
magick_policy "$work"

# measure OUTDIR COMMAND...: prints "wall cpu peakKB bytes" ("fail ..." when it fails).
measure() {
  local out=$1; shift
  rm -rf "$out"; mkdir -p "$out"
  local stats failed=0
  stats=$(mktemp)
  /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@" >/dev/null 2>"$out.stderr" || failed=1
  read -r wall user sys peak < <(grep -E '^[0-9.]+ [0-9.]+ [0-9.]+ [0-9]+$' "$stats" | tail -n1) || true
  rm -f "$stats"
  local bytes
  bytes=$(du -sb "$out" | cut -f1)
  if ((failed)) || [[ -z ${peak:-} ]]; then wall=fail; user=0; sys=0; peak=0; fi
  echo "$wall $(echo "$user + $sys" | bc) $peak $bytes"
}

run() { # tool task out
  local tool=$1 t=$2 out=$3 in=$src/${inputs[$2]}
  case $tool in
    ours) measure "$out" "$pictavo" -t pdf -o "$out" --log-dir "$work/logs" --quiet "$in" ;;
    tiff2pdf) measure "$out" tiff2pdf -o "$out/$t.pdf" "$in" ;;
    img2pdf) measure "$out" /usr/bin/python3 -m img2pdf -o "$out/$t.pdf" "$in" ;;
    magick) measure "$out" /usr/bin/convert "$in" "PDFA:$out/$t.pdf" ;;
  esac
}

ratio() { # a b -> a / b with two decimals, "-" when either is missing
  if [[ $1 == fail || $2 == fail || $2 == 0 || $1 == 0 ]]; then echo "-"; else echo "scale=2; $1 / $2" | bc; fi
}

printf '%-11s %-9s %8s %8s %9s %12s %8s %8s\n' task tool wall_s cpu_s peak_MB bytes t_ratio b_ratio
for t in "${tasks[@]}"; do
  [[ -n $only && ,$only, != *,$t,* ]] && continue
  read -r ow oc op ob < <(run ours "$t" "$work/out-ours-$t")
  printf '%-11s %-9s %8s %8s %9s %12s %8s %8s\n' "$t" ours "$ow" "$oc" $((op / 1024)) "$ob" 1 1
  for p in "${peers[@]}"; do
    read -r w c pk b < <(run "$p" "$t" "$work/out-$p-$t")
    if [[ $w == fail ]]; then
      why=$(head -c 160 "$work/out-$p-$t.stderr" | tr '\n' ' ')
      printf '%-11s %-9s %8s  (%s)\n' "$t" "$p" fail "$why"
      continue
    fi
    printf '%-11s %-9s %8s %8s %9s %12s %8s %8s\n' "$t" "$p" "$w" "$c" $((pk / 1024)) "$b" \
      "$(ratio "$w" "$ow")" "$(ratio "$ob" "$b")"
  done
done
