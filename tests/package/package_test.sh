#!/usr/bin/env bash
# package_test.sh: builds the Debian packages in a clean clone
# (scripts/build-deb.sh), holds them to lintian, then uses what they install:
# extracted into a throw-away root, and, when run as root with none of them
# installed yet, installed with apt and purged again, leaving nothing behind.
set -euo pipefail
cd "$(dirname "$0")/../.."
version=$(sed -n -E 's/^project\(Pictavo VERSION ([0-9.]+) .*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
packages=(pictavo pictavo1 pictavo-convert)
id=example.quorlen.Pictavo

tmp=$(mktemp -d /tmp/pictavo-package-test.XXXXXX)
installed=0
cleanup() {
  if ((installed)); then
    apt-get -o DPkg::Lock::Timeout=300 purge -y -qq "${packages[@]}" >/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

start=$SECONDS
# The debug symbol packages are left out here: they only double the packing.
DEB_BUILD_OPTIONS="noautodbgsym ${DEB_BUILD_OPTIONS:-}" ./scripts/build-deb.sh "$tmp/deb" >"$tmp/build.log" 2>&1 ||
  { tail -n 60 "$tmp/build.log" >&2; echo "FAIL: the package build" >&2; exit 1; }
echo "package build: $((SECONDS - start)) s"

# From here on nothing may reach the user's own folders.
export HOME=$tmp/home XDG_CACHE_HOME=$tmp/cache XDG_DATA_HOME=$tmp/data XDG_CONFIG_HOME=$tmp/config
mkdir -p "$HOME"

debs=()
for package in "${packages[@]}"; do
  deb=$tmp/deb/${package}_${version}_$arch.deb
  [[ -f $deb ]] || { fail "no ${package}_${version}_$arch.deb"; continue; }
  debs+=("$deb")
done
((failures == 0)) || exit 1

# lintian: no error and no warning (the justified ones are overridden in debian/).
start=$SECONDS
# (stderr only says that root runs it)
lintian --fail-on error,warning --info "$tmp"/deb/*.changes >"$tmp/lintian.txt" 2>"$tmp/lintian.err" ||
  fail "lintian: $(cat "$tmp/lintian.txt" "$tmp/lintian.err")"
echo "lintian: $((SECONDS - start)) s, $(grep -c . "$tmp/lintian.txt" || true) tag(s)"
sed 's/^/  /' "$tmp/lintian.txt"

# contains PACKAGE PATH...: the package holds each path.
contains() {
  local package=$1 listing path
  shift
  listing=$(dpkg-deb -c "$tmp/deb/${package}_${version}_$arch.deb" | awk '{ print $6 }' | sed 's|^\.||')
  for path in "$@"; do
    grep -q -x -F "$path" <<<"$listing" || fail "$package lacks $path"
  done
}
for package in "${packages[@]}"; do
  contains "$package" "/usr/share/doc/$package/copyright" "/usr/share/doc/$package/changelog.gz"
done
contains pictavo /usr/bin/pictavo /usr/share/man/man1/pictavo.1.gz \
  /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/$id.svg /usr/share/icons/hicolor/48x48/apps/$id.png \
  /usr/share/pictavo/MACPictavo2.pdf
contains pictavo1 /usr/bin/pictavo1 /usr/share/man/man1/pictavo1.1.gz \
  /usr/share/applications/${id}1.desktop /usr/share/metainfo/${id}1.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/${id}1.svg /usr/share/pictavo/MACPictavo1.pdf
contains pictavo-convert /usr/bin/pictavo-convert /usr/share/man/man1/pictavo-convert.1.gz \
  /usr/share/bash-completion/completions/pictavo-convert
depends=$(dpkg-deb -f "$tmp/deb/pictavo-convert_${version}_$arch.deb" Depends)
[[ $depends == *libqt6core6* && $depends == *libtiff6* ]] ||
  fail "pictavo-convert's Depends lack the libraries it links: $depends"
[[ $depends != *libqt6widgets6* ]] || fail "pictavo-convert depends on the widgets: $depends"

# A four-pixel, 8-bit grey, uncompressed little-endian TIFF.
write_tiff() {
  printf 'II*\0\x08\0\0\0'
  printf '\x08\0'
  printf '\x00\x01\x03\0\x01\0\0\0\x02\0\0\0' # ImageWidth 2
  printf '\x01\x01\x03\0\x01\0\0\0\x02\0\0\0' # ImageLength 2
  printf '\x02\x01\x03\0\x01\0\0\0\x08\0\0\0' # BitsPerSample 8
  printf '\x03\x01\x03\0\x01\0\0\0\x01\0\0\0' # Compression none
  printf '\x06\x01\x03\0\x01\0\0\0\x01\0\0\0' # BlackIsZero
  printf '\x11\x01\x04\0\x01\0\0\0\x6e\0\0\0' # StripOffsets 110
  printf '\x16\x01\x03\0\x01\0\0\0\x02\0\0\0' # RowsPerStrip 2
  printf '\x17\x01\x04\0\x01\0\0\0\x04\0\0\0' # StripByteCounts 4
  printf '\0\0\0\0'
  printf '\x00\x40\x80\xff'
}

# use_installed ROOT LABEL: the programs and files under ROOT/usr work.
use_installed() {
  local root=$1 label=$2 usr=$1/usr work
  work=$tmp/run-$label
  mkdir -p "$work/in" "$work/out" "$work/logs"
  local got
  got=$("$usr/bin/pictavo-convert" --version) || fail "$label: pictavo-convert --version fails"
  [[ $got == "pictavo-convert $version" ]] || fail "$label: --version says '$got'"
  write_tiff >"$work/in/scan.tif"
  "$usr/bin/pictavo-convert" --quiet -t png -s _ -o "$work/out" --log-dir "$work/logs" \
    "$work/in/scan.tif" >"$work/convert.out" 2>&1 ||
    fail "$label: the conversion fails: $(cat "$work/convert.out")"
  [[ $(od -A n -t x1 -N 8 "$work/out/scan_1.png" 2>/dev/null | tr -d ' \n') == 89504e470d0a1a0a ]] ||
    fail "$label: no PNG from the conversion ($(ls "$work/out"))"
  grep -q "^Log: $work/logs/" "$work/convert.out" || fail "$label: no log line"

  local page rendered
  for page in pictavo pictavo1 pictavo-convert; do
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$usr/share/man/man1/$page.1.gz" 2>&1 | col -b) ||
      fail "$label: man -l cannot render $page.1.gz"
    grep -q "^NAME" <<<"$rendered" || fail "$label: $page.1.gz renders without NAME"
  done
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$usr/share/man/man1/pictavo-convert.1.gz" | col -b)
  for section in SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
    grep -q -x "$section" <<<"$rendered" || fail "$label: pictavo-convert(1) has no $section"
  done
  grep -q -F -- "--mirror /arch -o /out --skip-existing" <<<"$rendered" ||
    fail "$label: pictavo-convert(1) lacks the sharding example"

  local desktop metainfo
  for desktop in "$usr/share/applications/$id.desktop" "$usr/share/applications/${id}1.desktop"; do
    desktop-file-validate "$desktop" || fail "$label: desktop-file-validate rejects $desktop"
  done
  for metainfo in "$usr/share/metainfo/$id.metainfo.xml" "$usr/share/metainfo/${id}1.metainfo.xml"; do
    appstreamcli validate --no-net "$metainfo" >"$work/appstream.txt" 2>&1 ||
      fail "$label: appstreamcli rejects $metainfo: $(cat "$work/appstream.txt")"
  done

  local offered
  offered=$(bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(pictavo-convert -c ""); COMP_CWORD=2; COMP_LINE="pictavo-convert -c "
    COMP_POINT=${#COMP_LINE}; _pictavo_convert pictavo-convert "" -c; echo "${COMPREPLY[*]}"' \
    _ "$usr/share/bash-completion/completions/pictavo-convert")
  [[ $offered == "none g3 g4 lzw packbits" ]] || fail "$label: completion of -c offers '$offered'"
}

root=$tmp/root
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
done
use_installed "$root" extracted

# Installed for real: only as root, and never over a user's own install.
if ((EUID == 0)); then
  already=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
    grep ' installed$' || true)
  if [[ -n $already ]]; then
    echo "not installing with apt: already installed here: $already"
  else
    listed=$(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '$1 !~ /^d/ { print $6 }' |
      sed 's|^\.||')
    installed=1
    # The README's lines: each package on its own.
    for deb in "${debs[@]}"; do
      apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "$deb" \
        >"$tmp/apt.txt" 2>&1 || fail "apt-get install $(basename "$deb"): $(cat "$tmp/apt.txt")"
    done
    use_installed / installed
    [[ $(man -w pictavo-convert 2>/dev/null) == /usr/share/man/man1/pictavo-convert.1.gz ]] ||
      fail "man does not find pictavo-convert(1)"
    loaded=$(bash -c 'source /usr/share/bash-completion/bash_completion
      _completion_loader pictavo-convert; complete -p pictavo-convert' 2>&1) || true
    [[ $loaded == *"_pictavo_convert pictavo-convert"* ]] ||
      fail "bash-completion does not load the completion: $loaded"

    apt-get -o DPkg::Lock::Timeout=300 purge -y -qq "${packages[@]}" >"$tmp/apt.txt" 2>&1 ||
      fail "apt-get purge: $(cat "$tmp/apt.txt")"
    installed=0
    left=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
      grep -v 'not-installed$' || true)
    [[ -z $left ]] || fail "still known to dpkg after the purge: $left"
    while read -r path; do
      [[ ! -e $path && ! -L $path ]] || fail "left behind after the purge: $path"
    done <<<"$listed"
    for dir in /usr/share/pictavo /usr/share/doc/pictavo /usr/share/doc/pictavo1 \
               /usr/share/doc/pictavo-convert; do
      [[ ! -e $dir ]] || fail "left behind after the purge: $dir"
    done
  fi
fi

((failures == 0)) || exit 1
echo "packages ${packages[*]} $version: built, lintian-clean, work extracted and installed"
