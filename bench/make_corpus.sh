#!/usr/bin/env bash
# Builds the benchmark corpus into OUTDIR when the shared kit brings no
# builder of its own: the kit's corpus.py draws the pages uncompressed from
# photographs of Debian's wallpaper packages, and libtiff's tiffcp stores
# them as the benchmarks expect (documents G4 and LZW, photographs LZW with
# the predictor). Deterministic: the same packages give the same files.
#
#   bench/make_corpus.sh OUTDIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
kit=${PICTAVO_BENCH_KIT:-$top/../shared/bench}
out=${1:?usage: bench/make_corpus.sh OUTDIR}

"$top/scripts/setup-deps.sh" python3-pil python3-numpy fonts-dejavu-core libtiff-tools \
  mate-backgrounds plasma-workspace-wallpapers

# The largest rendition of each wallpaper, in a fixed order.
mapfile -t photos < <(find /usr/share/backgrounds /usr/share/wallpapers \
  -type f \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \) -size +300k 2>/dev/null |
  LC_ALL=C sort | head -n 24)
((${#photos[@]} >= 12)) || { echo "fewer than 12 photographs found" >&2; exit 1; }

mkdir -p "$out/many-small"
/usr/bin/python3 "$kit/corpus.py" "$out" "${photos[@]}"
tiffcp -c g4 "$out/raw/doc-bilevel.tif" "$out/doc-bilevel.tif"
tiffcp -c lzw "$out/raw/doc-gray.tif" "$out/doc-gray.tif"
tiffcp -c lzw:2 "$out/raw/photo-rgb.tif" "$out/photo-rgb.tif"
for f in "$out"/many-small/*.tif; do
  tiffcp -c lzw:2 "$f" "$f.lzw" && mv "$f.lzw" "$f"
done
rm -rf "$out/raw"
(cd "$out" && find . -name '*.tif' -type f | LC_ALL=C sort | xargs md5sum >MD5SUMS)
