#!/usr/bin/env bash
# Runs pictavo-convert and its peers (ImageMagick, GraphicsMagick, libvips,
# Pillow and the minimal libtiff+codec loop) on the same work, one after the other, and
# prints wall and CPU time, pages per second, peak memory, output bytes and
# our ratio to each. big-png (one 8.7-megapixel page) is also run held to one
# core (pictavo-1core), to show what one page gets from the others; both of
# its rows are the median of five runs.
#
#   bench/compare.sh [--corpus DIR] [--work DIR] [--only TASK[,TASK...]]
#
# The corpus (about 1 GB) is built once into DIR (default bench/.corpus) with
# the shared corpus kit; every package it needs is installed first.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
# The kit lies beside the repository, or beside its main checkout when this
# is a linked worktree.
common=$(cd "$(git -C "$top" rev-parse --path-format=absolute --git-common-dir)/.." && pwd)
kit=$(cd "$top/../shared/bench" 2>/dev/null || cd "$common/../shared/bench" 2>/dev/null && pwd) ||
  { echo "shared/bench not found beside the repository" >&2; exit 1; }

corpus=$here/.corpus
work=${TMPDIR:-/tmp}/pictavo-bench
only=""
while (($#)); do
  case $1 in
    --corpus) corpus=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "usage: bench/compare.sh [--corpus DIR] [--work DIR] [--only TASK,...]" >&2; exit 2 ;;
  esac
done

"$top/scripts/setup-deps.sh" libimagequant-dev python3-pil python3-numpy fonts-dejavu-core libtiff-tools \
  mate-backgrounds plasma-workspace-wallpapers imagemagick graphicsmagick libvips-tools time bc

cmake --preset default >/dev/null
cmake --build --preset default --target pictavo-convert >/dev/null
pictavo=$top/build/default/src/pictavo-convert

mkdir -p "$work"
limit=$work/limit
if [[ ! -x $limit || $kit/limit.c -nt $limit ]]; then
  gcc -O2 -o "$limit" "$kit/limit.c" -ltiff -ljpeg -lpng -lz -lgif -limagequant
fi

if [[ ! -f $corpus/MD5SUMS ]]; then
  echo "Building the corpus in $corpus ..." >&2
  maker=$kit/make_corpus.sh
  [[ -x $maker ]] || maker=$here/make_corpus.sh
  "$maker" "$corpus" >&2
fi
# 200 A4 colour pages in one file: the memory test of a long document.
if [[ ! -f $corpus/long-rgb.tif ]]; then
  parts=()
  for _ in $(seq 20); do parts+=("$corpus/photo-rgb.tif"); done
  tiffcp -c jpeg:90 -r 16 "${parts[@]}" "$corpus/long-rgb.tif.part"
  mv "$corpus/long-rgb.tif.part" "$corpus/long-rgb.tif"
fi

# One 8.7-megapixel page alone: what a single page gets from every core.
if [[ ! -f $corpus/big-rgb.tif ]]; then
  tiffcp "$corpus/photo-rgb.tif,0" "$corpus/big-rgb.tif.part"
  mv "$corpus/big-rgb.tif.part" "$corpus/big-rgb.tif"
fi

# The same bilevel document 10 and 100 times over: memory must not grow with
# the page count.
for copies in 10 100; do
  long=$corpus/long$((copies * 20))-bilevel.tif
  if [[ ! -f $long ]]; then
    parts=()
    for _ in $(seq "$copies"); do parts+=("$corpus/doc-bilevel.tif"); done
    tiffcp "${parts[@]}" "$long.part"
    mv "$long.part" "$long"
  fi
done

# ImageMagick gets room for A4 multi-page work (magick_policy.sh).
# shellcheck source=bench/magick_policy.sh
source "$here/magick_policy.sh"
magick_policy "$work"

pages_of() { tiffinfo "$1" 2>/dev/null | grep -c '^TIFF Directory'; }

# run NAME OUTDIR COMMAND... : prints "wall cpu peakKB bytes" for one run.
measure() {
  local out=$1; shift
  rm -rf "$out"; mkdir -p "$out"
  local stats
  stats=$(mktemp)
  local failed=0
  /usr/bin/time -f '%e %U %S %M' -o "$stats" "$@" >/dev/null 2>"$out.stderr" || failed=1
  # GNU time puts "Command exited with non-zero status" before the figures.
  read -r wall user sys peak < <(grep -E '^[0-9.]+ [0-9.]+ [0-9.]+ [0-9]+$' "$stats" | tail -n1) || true
  rm -f "$stats"
  local bytes
  bytes=$(du -sb "$out" | cut -f1)
  if ((failed)) || [[ -z ${peak:-} ]]; then wall=fail; user=0; sys=0; peak=0; fi
  echo "$wall $(echo "$user + $sys" | bc) $peak $bytes"
}

# The peers, one function per task and tool. Each gets: output folder.
declare -A inputs=(
  [bilevel-jpg]=doc-bilevel.tif [bilevel-png]=doc-bilevel.tif
  [photo-jpg]=photo-rgb.tif [photo-png]=photo-rgb.tif [photo-gif]=photo-rgb.tif [photo-bmp]=photo-rgb.tif
  [multi-tiff]="doc-bilevel.tif doc-gray.tif" [small-jpg]=many-small [long-jpg]=long-rgb.tif
  [big-png]=big-rgb.tif [long200-png]=long200-bilevel.tif [long2000-png]=long2000-bilevel.tif
)
tasks=(bilevel-jpg bilevel-png photo-jpg photo-png big-png photo-gif photo-bmp multi-tiff small-jpg
  long-jpg long200-png long2000-png)
# Rows that measure memory against page count: ours and the bound only.
is_memory_row() { [[ $1 == long*-png ]]; }

ext_of() { case $1 in *-jpg) echo jpg ;; *-png) echo png ;; *-gif) echo gif ;; *-bmp) echo bmp ;; *) echo tiff ;; esac; }
limit_fmt() { case $1 in jpg) echo jpeg ;; *) echo "$1" ;; esac; }

sources() { # task -> absolute input paths
  local t=$1 f
  for f in ${inputs[$t]}; do
    if [[ -d $corpus/$f ]]; then ls "$corpus/$f"/*.tif; else echo "$corpus/$f"; fi
  done
}

run_pictavo() { # task out
  local t=$1 out=$2 ext; ext=$(ext_of "$t")
  local args=(-t "$ext" -o "$out" --log-dir "$work/logs" --quiet)
  [[ $t == multi-tiff ]] && args+=(-c g4) # pictavo writes G4 on bilevel pages, none elsewhere
  mapfile -t src < <(sources "$t")
  measure "$out" "$pictavo" "${args[@]}" "${src[@]}"
}

run_pictavo_one_core() { # task out: the same run held to one core
  local t=$1 out=$2 ext; ext=$(ext_of "$t")
  mapfile -t src < <(sources "$t")
  measure "$out" taskset -c 0 "$pictavo" -t "$ext" -o "$out" --log-dir "$work/logs" --quiet "${src[@]}"
}

run_pictavo_lzw() { # the gray half of multi-tiff with LZW, as the peers do
  local out=$1
  measure "$out" bash -c "'$pictavo' -t tiff -c g4 -o '$out' --log-dir '$work/logs' --quiet '$corpus/doc-bilevel.tif' && '$pictavo' -t tiff -c lzw -o '$out' --log-dir '$work/logs' --quiet '$corpus/doc-gray.tif'"
}

run_magick() { # tool(convert|gm) task out
  local tool=$1 t=$2 out=$3 ext; ext=$(ext_of "$t")
  local cmd=(convert); [[ $tool == gm ]] && cmd=(gm convert)
  local script="" f
  if [[ $t == multi-tiff ]]; then
    script="${cmd[*]} '$corpus/doc-bilevel.tif' -compress Group4 '$out/doc-bilevel.tiff' && ${cmd[*]} '$corpus/doc-gray.tif' -compress LZW '$out/doc-gray.tiff'"
  else
    local q=""; [[ $ext == jpg ]] && q="-quality 100"
    while read -r f; do
      local b; b=$(basename "$f" .tif)
      script+="${cmd[*]} '$f' $q +adjoin '$out/$b-%d.$ext' && "
    done < <(sources "$t")
    script+=true
  fi
  measure "$out" bash -c "$script"
}

run_vips() { # task out
  local t=$1 out=$2 ext; ext=$(ext_of "$t")
  local script="" f
  if [[ $t == multi-tiff ]]; then
    script="vips copy '$corpus/doc-bilevel.tif[n=-1]' '$out/doc-bilevel.tiff[compression=ccittfax4,bitdepth=1]' && vips copy '$corpus/doc-gray.tif[n=-1]' '$out/doc-gray.tiff[compression=lzw]'"
  else
    local opt=""; [[ $ext == jpg ]] && opt="[Q=100]"
    [[ $ext == bmp ]] && { echo "n/a"; return; }
    while read -r f; do
      local b n p; b=$(basename "$f" .tif); n=$(pages_of "$f")
      for ((p = 0; p < n; p++)); do
        script+="vips copy '$f[page=$p]' '$out/$b-$p.$ext$opt' && "
      done
    done < <(sources "$t")
    script+=true
  fi
  measure "$out" bash -c "$script"
}

run_pillow() { # task out
  local t=$1 out=$2 ext; ext=$(ext_of "$t")
  if [[ $t == multi-tiff ]]; then
    measure "$out" bash -c "/usr/bin/python3 '$here/pillow_convert.py' --tiff group4 '$out' '$corpus/doc-bilevel.tif' && /usr/bin/python3 '$here/pillow_convert.py' --tiff tiff_lzw '$out' '$corpus/doc-gray.tif'"
    return
  fi
  mapfile -t src < <(sources "$t")
  measure "$out" /usr/bin/python3 "$here/pillow_convert.py" "$ext" "$out" "${src[@]}"
}

run_limit() { # task out procs
  local t=$1 out=$2 procs=$3 ext; ext=$(ext_of "$t")
  mapfile -t src < <(sources "$t")
  local script=""
  if [[ $t == multi-tiff ]]; then
    script="'$limit' -f tiff -c g4 -m '$out/doc-bilevel.tiff' '$corpus/doc-bilevel.tif' && '$limit' -f tiff -c lzw -m '$out/doc-gray.tiff' '$corpus/doc-gray.tif'"
  else
    local i
    for ((i = 0; i < procs; i++)); do
      script+="'$limit' -f $(limit_fmt "$ext") -p $i/$procs -o '$out' ${src[*]/#/} & "
    done
    script+=wait
  fi
  measure "$out" bash -c "$script"
}

total_pages() {
  local t=$1 n=0 f
  while read -r f; do n=$((n + $(pages_of "$f"))); done < <(sources "$t")
  echo "$n"
}

median_run() { # "wall cpu peakKB bytes" lines -> the one of median wall time
  sort -n -k1,1 | awk '{ run[NR] = $0 } END { print run[int((NR + 1) / 2)] }'
}

ratio() { # ours theirs
  if [[ $1 == fail || $2 == fail || $2 == n/a ]]; then echo "-"; else echo "scale=2; $1 / $2" | bc; fi
}

printf '# %s, %s cores, %s\n' "$(date -u +%Y-%m-%dT%H:%MZ)" "$(nproc)" "$(uname -m)"
printf '%-12s %-14s %8s %8s %8s %9s %12s %10s\n' task tool wall_s cpu_s pages/s peak_MB out_bytes ours/this
for t in "${tasks[@]}"; do
  if [[ -n $only && ,$only, != *,$t,* ]]; then continue; fi
  pages=$(total_pages "$t")
  # Read the inputs once, so no tool pays for a cold cache.
  while read -r f; do cat "$f" >/dev/null; done < <(sources "$t")
  declare -A results=()
  if [[ $t == multi-tiff ]]; then
    results[pictavo]=$(run_pictavo_lzw "$work/out-pictavo")
  else
    results[pictavo]=$(run_pictavo "$t" "$work/out-pictavo")
  fi
  if [[ $t == big-png ]]; then
    # A run of under a second is as much the machine as the program: both of
    # ours take turns five times, and each row is its median run.
    both=("${results[pictavo]}") one=()
    for _ in 1 2 3 4 5; do
      one+=("$(run_pictavo_one_core "$t" "$work/out-pictavo1")")
      if ((${#both[@]} < 5)); then both+=("$(run_pictavo "$t" "$work/out-pictavo")"); fi
    done
    results[pictavo]=$(printf '%s\n' "${both[@]}" | median_run)
    results[pictavo-1core]=$(printf '%s\n' "${one[@]}" | median_run)
  fi
  results[limit-1proc]=$(run_limit "$t" "$work/out-limit1" 1)
  [[ $t != multi-tiff ]] && results[limit-2proc]=$(run_limit "$t" "$work/out-limit2" 2)
  if ! is_memory_row "$t"; then
    results[pillow]=$(run_pillow "$t" "$work/out-pillow")
    results[vips]=$(run_vips "$t" "$work/out-vips")
    results[graphicsmagick]=$(run_magick gm "$t" "$work/out-gm")
    if [[ $t != long-jpg ]]; then # ImageMagick decodes every page first: gigabytes here
      results[imagemagick]=$(run_magick convert "$t" "$work/out-im")
    fi
  fi
  read -r ours _ <<<"${results[pictavo]}"
  for tool in pictavo pictavo-1core limit-1proc limit-2proc pillow vips graphicsmagick imagemagick; do
    [[ -n ${results[$tool]:-} ]] || continue
    read -r wall cpu peak bytes <<<"${results[$tool]}"
    if [[ $wall == n/a ]]; then
      printf '%-12s %-14s %8s\n' "$t" "$tool" "n/a"
      continue
    fi
    pps="-"; [[ $wall != fail ]] && pps=$(echo "scale=1; $pages / $wall" | bc)
    [[ $wall == fail ]] && { printf '%-12s %-14s %8s  (see %s)\n' "$t" "$tool" failed "$work/out-*.stderr"; continue; }
    printf '%-12s %-14s %8s %8s %8s %9d %12d %10s\n' "$t" "$tool" "$wall" "$cpu" "$pps" \
      $((peak / 1024)) "$bytes" "$(ratio "$ours" "$wall")"
  done
  if [[ $t == photo-gif ]]; then
    # Speed alone is no win: the same pages' quality, dithering credited.
    for page in 0 5; do
      outs=()
      for f in "$work/out-pictavo/photo-rgb$((page + 1)).gif" "$work/out-gm/photo-rgb-$page.gif" \
        "$work/out-im/photo-rgb-$page.gif" "$work/out-pillow/photo-rgb-$page.gif" \
        "$work/out-vips/photo-rgb-$page.gif"; do
        [[ -f $f ]] && outs+=("$f")
      done
      echo "# quality of page $((page + 1)):"
      /usr/bin/python3 "$kit/quality.py" "$corpus/photo-rgb.tif" "$page" "${outs[@]}" | sed 's/^/#   /'
    done
  fi
  unset results
done
