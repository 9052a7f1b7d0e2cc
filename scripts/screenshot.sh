#!/usr/bin/env bash
# Starts Pictavo under Xvfb with a temporary HOME, adds the given files or
# folders, waits until the window has settled, saves a screenshot and quits.
#   scripts/screenshot.sh [--edition 1] [--sheet settings|progress|chooser|about] OUT.png [PATH...]
# --edition 1 builds and starts the first edition, pictavo1, instead of pictavo.
# --sheet settings opens the output settings sheet before the shot;
# --sheet progress converts the paths to PNG and takes the shot mid-run;
# --sheet chooser presses Convert with no default folder, so the output
# folder chooser asks for one; --sheet about opens About from the Help menu.
# progress and about work for both editions; settings and chooser are the
# current edition's only (the first edition has a settings pane, no sheet, and
# no folder chooser at Convert).
set -euo pipefail
usage="usage: scripts/screenshot.sh [--edition 1] [--sheet settings|progress|chooser|about] OUT.png [PATH...]"
sheet=""
edition=2
while [[ ${1:-} == --* ]]; do
  case $1 in
    --sheet) sheet=${2:?--sheet takes settings, progress, chooser or about} ;;
    --edition) edition=${2:?--edition takes 1} ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift 2
done
case $edition in
  1) target=pictavo1 program=first_edition/pictavo1 conf=Pictavo1.conf ;;
  2) target=pictavo program=shell/pictavo conf=Pictavo2.conf ;;
  *) echo "--edition takes 1 (the first edition); without it the current edition starts" >&2; exit 2 ;;
esac
case $sheet in
  "" | progress | about) ;;
  settings | chooser)
    if [[ $edition == 1 ]]; then
      echo "--sheet $sheet is the current edition's only; the first edition has none" >&2
      exit 2
    fi
    ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
out=${1:?$usage}
shift
top=$(cd "$(dirname "$0")/.." && pwd)
case $out in /*) ;; *) out=$PWD/$out ;; esac
paths=()
for p in "$@"; do paths+=("$(cd "$(dirname "$p")" && pwd)/$(basename "$p")"); done

"$top/scripts/setup-deps.sh" imagemagick x11-utils xdotool
cmake --preset default -S "$top" >/dev/null
cmake --build "$top/build/default" --target "$target" >/dev/null

home=$(mktemp -d)
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$home"' EXIT
if [[ $sheet == progress ]]; then
  # A default output folder, so Convert starts at once; PNG keeps it busy.
  mkdir -p "$home/out" "$home/.config/Quorlen"
  cat >"$home/.config/Quorlen/$conf" <<CONF
[SETTINGS]
outputType=1
outputFolderPath=$home/out
isSetCurrentAsDefaultOutputFolderPath=true
CONF
fi
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1440x820x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=xcb \
  "$top/build/default/src/$program" "${paths[@]}" >/dev/null 2>&1 &
app=$!

grab() { import -window root "$1" 2>/dev/null || true; }
# Sends a shortcut to the main window (no window manager runs here, so focus
# is given by hand).
press() {
  local window
  window=$(xdotool search --sync --onlyvisible --name '^Pictavo$' | head -n1)
  xdotool windowfocus "$window" 2>/dev/null || true
  sleep 0.2
  xdotool key --clearmodifiers "$1"
}
# Settled: two grabs half a second apart are the same.
settle() {
  local previous="" sum
  for _ in $(seq 40); do
    grab "$out.tmp.png"
    sum=$(md5sum <"$out.tmp.png" 2>/dev/null | cut -d' ' -f1)
    [[ -n $sum && $sum == "$previous" ]] && return 0
    previous=$sum
    sleep 0.5
  done
}

sleep 1.5
settle
case $sheet in
  settings)
    press ctrl+comma
    sleep 0.5
    settle
    ;;
  progress)
    press ctrl+r
    sleep 2
    grab "$out.tmp.png"
    ;;
  chooser)
    press ctrl+r
    sleep 1
    settle
    ;;
  about)
    press alt+h
    sleep 0.5
    xdotool key --clearmodifiers Up
    sleep 0.3
    xdotool key --clearmodifiers Return
    sleep 1
    settle
    ;;
esac
mv "$out.tmp.png" "$out"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
echo "$out"
