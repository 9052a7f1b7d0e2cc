#!/usr/bin/env bash
# Builds the Debian packages pictavo, pictavo1 and pictavo-convert from the
# committed tree (HEAD) in a clean clone:
#   scripts/build-deb.sh [OUTDIR]    the .deb files land in OUTDIR (default build/deb)
# The clone is made at one fixed path, so that the compiler cache serves a
# rebuild: dpkg-buildflags writes the source path into the compiler flags
# (-ffile-prefix-map). One build at a time per user.
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."
repo=$PWD
out=$(realpath -m "${1:-build/deb}")

./scripts/setup-deps.sh

project_version=$(sed -n -E 's/^project\(Pictavo VERSION ([0-9.]+) .*/\1/p' CMakeLists.txt)
package_version=$(dpkg-parsechangelog -l debian/changelog -S Version)
if [[ $package_version != "$project_version" ]]; then
  echo "debian/changelog is at $package_version, CMakeLists.txt at $project_version:" \
       "add a changelog entry for $project_version" >&2
  exit 1
fi

work=${XDG_CACHE_HOME:-$HOME/.cache}/pictavo-deb
mkdir -p "$work" "$out"
exec 9>"$work/lock"
flock 9

src=$work/pictavo-$package_version
rm -rf "$src"
rm -f "$work"/pictavo*_*.{deb,changes,buildinfo}
git clone -q --shared --no-checkout "$repo" "$src"
git -C "$src" checkout -q --detach "$(git -C "$repo" rev-parse HEAD)"

cache_dir=$(ccache -k cache_dir 2>/dev/null || true)
(
  cd "$src"
  # debhelper gives the build its own HOME; the cache stays the user's.
  [[ -z $cache_dir ]] || export CCACHE_DIR=$cache_dir
  export CCACHE_BASEDIR=$src CCACHE_NOHASHDIR=1
  DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}"
  export DEB_BUILD_OPTIONS
  dpkg-buildpackage -us -uc -b
)
rm -f "$out"/pictavo*_*.{deb,changes,buildinfo}
mv "$work"/pictavo*_*.{deb,changes,buildinfo} "$out"/
rm -rf "$src"
echo "Packages in $out:"
(cd "$out" && ls -1 ./*.deb)
