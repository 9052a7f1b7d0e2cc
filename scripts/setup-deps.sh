#!/usr/bin/env bash
# Installs every Debian package Pictavo needs to build, test and run.
# Idempotent: packages already installed are skipped; apt-get update runs only
# when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev fonts-dejavu-core
  qt6-svg-dev desktop-file-utils appstream
  libtiff-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev libdeflate-dev
  libgif-dev libpugixml-dev libqpdf-dev
  libgtest-dev libgmock-dev libbenchmark-dev qpdf poppler-utils
  clang libclang-rt-dev
  xvfb xauth
  debhelper dpkg-dev fakeroot lintian man-db groff-base bash-completion
)
# Extra packages a caller may ask for (for example the benchmark's peers).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
sudo=()
if ((EUID != 0)); then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=300 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}"
