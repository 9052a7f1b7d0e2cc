#!/usr/bin/env bash
# install_test.sh BUILD_DIR VERSION
# Installs BUILD_DIR into a temporary prefix and checks what a desktop needs,
# for both editions.
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

for program in pictavo pictavo1 pictavo-convert; do
  [[ -f $prefix/bin/$program && -x $prefix/bin/$program ]] || fail "bin/$program missing or not executable"
done

# check_guide NAME: share/pictavo/NAME.pdf is a whole PDF of more than one page.
check_guide() {
  local guide=$prefix/share/pictavo/$1.pdf pages
  if [[ ! -f $guide ]]; then
    fail "share/pictavo/$1.pdf missing"
    return
  fi
  [[ $(head -c 4 "$guide") == "%PDF" ]] || fail "$1.pdf is not a PDF"
  # Page objects, not the page tree: "/Type /Page" not followed by "s".
  pages=$(grep -a -o -E '/Type ?/Page([^s]|$)' "$guide" | wc -l)
  ((pages > 1)) || fail "$1.pdf has $pages page(s)"
  grep -a -q '%%EOF' "$guide" || fail "$1.pdf is not complete"
}

# check_desktop ID PROGRAM NAME: the desktop entry starts PROGRAM under NAME.
check_desktop() {
  local id=$1 program=$2 name=$3 line
  local desktop=$prefix/share/applications/$id.desktop
  if [[ ! -f $desktop ]]; then
    fail "share/applications/$id.desktop missing"
    return
  fi
  for line in "Exec=$program %F" "Icon=$id" "MimeType=image/tiff;" "Categories=Graphics;Qt;" \
              "Terminal=false" "Type=Application" "Name=$name"; do
    grep -q -x -F "$line" "$desktop" || fail "$id.desktop lacks \"$line\""
  done
  "$validate_desktop" "$desktop" || fail "desktop-file-validate rejects $desktop"
}

# check_metainfo ID PROGRAM: the AppStream file launches ID and provides PROGRAM.
check_metainfo() {
  local id=$1 program=$2
  local metainfo=$prefix/share/metainfo/$id.metainfo.xml
  if [[ ! -f $metainfo ]]; then
    fail "share/metainfo/$id.metainfo.xml missing"
    return
  fi
  grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "$id.metainfo.xml does not launch $id.desktop"
  grep -q "<binary>$program</binary>" "$metainfo" || fail "$id.metainfo.xml does not provide $program"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "$id.metainfo.xml lacks release $version"
  "$appstreamcli" validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
}

# check_icons ID: the scalable icon and every fixed size, each PNG of its size.
check_icons() {
  local id=$1 size png header want
  local icons=$prefix/share/icons/hicolor
  grep -q '<svg' "$icons/scalable/apps/$id.svg" 2>/dev/null || fail "scalable icon $id missing"
  for size in 16 32 48 64 128 256; do
    png=$icons/${size}x${size}/apps/$id.png
    if [[ ! -f $png ]]; then
      fail "${size}x${size} icon $id missing"
      continue
    fi
    # The PNG signature, then the IHDR width and height as big-endian words.
    header=$(od -A n -t x1 -N 24 "$png" | tr -d ' \n')
    [[ ${header:0:16} == 89504e470d0a1a0a ]] || fail "$png is not a PNG"
    printf -v want '%08x%08x' "$size" "$size"
    [[ ${header:32:16} == "$want" ]] || fail "$png is not ${size}x${size}"
  done
}

check_guide MACPictavo2
check_desktop "$id" pictavo Pictavo
check_metainfo "$id" pictavo
check_icons "$id"

check_guide MACPictavo1
check_desktop "${id}1" pictavo1 "Pictavo 1"
check_metainfo "${id}1" pictavo1
check_icons "${id}1"

# The manual pages where man looks under the prefix, the completion where
# bash-completion does.
for page in pictavo pictavo1 pictavo-convert; do
  grep -q "^\.TH ${page^^} 1 " "$prefix/share/man/man1/$page.1" 2>/dev/null ||
    fail "share/man/man1/$page.1 missing"
done
grep -q 'complete -F _pictavo_convert pictavo-convert' \
  "$prefix/share/bash-completion/completions/pictavo-convert" 2>/dev/null ||
  fail "share/bash-completion/completions/pictavo-convert missing"

# The editions must be told apart in a menu.
names=$(grep -h '^Name=' "$prefix/share/applications/$id.desktop" \
          "$prefix/share/applications/${id}1.desktop" 2>/dev/null | sort -u | wc -l)
((names == 2)) || fail "the two desktop entries do not have distinct names"

if ((failures)); then
  echo "Installed files:" >&2
  (cd "$prefix" && find . -type f | sort) >&2
  exit 1
fi
echo "install into a temporary prefix: all present and valid"
