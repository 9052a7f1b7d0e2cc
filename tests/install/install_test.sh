#!/usr/bin/env bash
# install_test.sh BUILD_DIR VERSION
# Installs BUILD_DIR into a temporary prefix and checks what a desktop needs.
set -euo pipefail

build=$1
version=$2
id=example.quorlen.Pictavo
validate_desktop=${DESKTOP_FILE_VALIDATE:-desktop-file-validate}
appstreamcli=${APPSTREAMCLI:-appstreamcli}

tmp=$(mktemp -d)
manifest=$build/install_manifest.txt
# cmake --install writes its manifest into the build tree; leave that as found.
had_manifest=0
if [[ -e $manifest ]]; then
  had_manifest=1
  cp -p "$manifest" "$tmp/manifest.saved"
fi
cleanup() {
  if ((had_manifest)); then
    cp -p "$tmp/manifest.saved" "$manifest"
  else
    rm -f "$manifest"
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

prefix=$tmp/prefix
# The validators may keep caches; they go into the temporary folder too.
export HOME=$tmp/home XDG_CACHE_HOME=$tmp/cache
env -u DESTDIR cmake --install "$build" --prefix "$prefix" >"$tmp/install.out" ||
  { cat "$tmp/install.out" >&2; echo "FAIL: cmake --install" >&2; exit 1; }

for program in pictavo pictavo-convert; do
  [[ -f $prefix/bin/$program && -x $prefix/bin/$program ]] || fail "bin/$program missing or not executable"
done

guide=$prefix/share/pictavo/MACPictavo2.pdf
if [[ -f $guide ]]; then
  [[ $(head -c 4 "$guide") == "%PDF" ]] || fail "the guide is not a PDF"
  # Page objects, not the page tree: "/Type /Page" not followed by "s".
  pages=$(grep -a -o -E '/Type ?/Page([^s]|$)' "$guide" | wc -l)
  ((pages > 1)) || fail "the guide has $pages page(s)"
  grep -a -q '%%EOF' "$guide" || fail "the guide is not complete"
else
  fail "share/pictavo/MACPictavo2.pdf missing"
fi

desktop=$prefix/share/applications/$id.desktop
if [[ -f $desktop ]]; then
  for line in "Exec=pictavo %F" "Icon=$id" "MimeType=image/tiff;" "Categories=Graphics;Qt;" \
              "Terminal=false" "Type=Application" "Name=Pictavo"; do
    grep -q -x -F "$line" "$desktop" || fail "desktop entry lacks \"$line\""
  done
  "$validate_desktop" "$desktop" || fail "desktop-file-validate rejects $desktop"
else
  fail "share/applications/$id.desktop missing"
fi

metainfo=$prefix/share/metainfo/$id.metainfo.xml
if [[ -f $metainfo ]]; then
  grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch $id.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo lacks release $version"
  "$appstreamcli" validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
else
  fail "share/metainfo/$id.metainfo.xml missing"
fi

icons=$prefix/share/icons/hicolor
grep -q '<svg' "$icons/scalable/apps/$id.svg" 2>/dev/null || fail "scalable icon missing"
for size in 16 32 48 64 128 256; do
  png=$icons/${size}x${size}/apps/$id.png
  if [[ -f $png ]]; then
    # The PNG signature, then the IHDR width and height as big-endian words.
    header=$(od -A n -t x1 -N 24 "$png" | tr -d ' \n')
    [[ ${header:0:16} == 89504e470d0a1a0a ]] || fail "$png is not a PNG"
    printf -v want '%08x%08x' "$size" "$size"
    [[ ${header:32:16} == "$want" ]] || fail "$png is not ${size}x${size}"
  else
    fail "${size}x${size} icon missing"
  fi
done

if ((failures)); then
  echo "Installed files:" >&2
  (cd "$prefix" && find . -type f | sort) >&2
  exit 1
fi
echo "install into a temporary prefix: all present and valid"
