#!/usr/bin/env bash
# Starts Pictavo under Xvfb with a temporary HOME, adds the given files or
# folders, waits until the window has settled, saves a screenshot and quits.
#   scripts/screenshot.sh OUT.png [PATH...]
set -euo pipefail
out=${1:?usage: scripts/screenshot.sh OUT.png [PATH...]}
shift
top=$(cd "$(dirname "$0")/.." && pwd)
case $out in /*) ;; *) out=$PWD/$out ;; esac
paths=()
for p in "$@"; do paths+=("$(cd "$(dirname "$p")" && pwd)/$(basename "$p")"); done

"$top/scripts/setup-deps.sh" imagemagick x11-utils
cmake --preset default -S "$top" >/dev/null
cmake --build "$top/build/default" --target pictavo >/dev/null

home=$(mktemp -d)
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$home"' EXIT
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=xcb \
  "$top/build/default/src/shell/pictavo" "${paths[@]}" >/dev/null 2>&1 &
app=$!

# Settled: two grabs half a second apart are the same, and at least 1.5 s passed.
previous=""
sleep 1.5
for _ in $(seq 40); do
  import -window root "$out.tmp.png" 2>/dev/null || true
  sum=$(md5sum <"$out.tmp.png" 2>/dev/null | cut -d' ' -f1)
  [[ -n $sum && $sum == "$previous" ]] && break
  previous=$sum
  sleep 0.5
done
mv "$out.tmp.png" "$out"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
echo "$out"
