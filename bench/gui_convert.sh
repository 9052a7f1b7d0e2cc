#!/usr/bin/env bash
# Times the window's Convert against pictavo-convert on the same sources: the
# window under Xvfb with a default output folder, Convert pressed as a user
# presses it, until the run's log appears; then the command line, same
# format, same folder layout.
#
#   bench/gui_convert.sh TYPE SOURCE...      TYPE: jpg png bmp gif tiff
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
type=${1:?usage: bench/gui_convert.sh TYPE SOURCE...}
shift
(($#)) || { echo "usage: bench/gui_convert.sh TYPE SOURCE..." >&2; exit 2; }
case $type in jpg) id=0 ;; png) id=1 ;; tiff) id=2 ;; bmp) id=3 ;; gif) id=4 ;;
  *) echo "unknown type $type" >&2; exit 2 ;; esac
sources=()
for p in "$@"; do sources+=("$(cd "$(dirname "$p")" && pwd)/$(basename "$p")"); done

"$top/scripts/setup-deps.sh" x11-utils xdotool xvfb time bc >/dev/null
cmake --preset default -S "$top" >/dev/null
cmake --build "$top/build/default" --target pictavo pictavo-convert >/dev/null

home=$(mktemp -d)
trap 'kill "${app:-}" "${xvfb:-}" 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/gui" "$home/cli" "$home/.config/Quorlen"
cat >"$home/.config/Quorlen/Pictavo2.conf" <<CONF
[SETTINGS]
outputType=$id
outputFolderPath=$home/gui
isSetCurrentAsDefaultOutputFolderPath=true
isOpenFolderAfterConversion=false
CONF
for f in "${sources[@]}"; do cat "$f" >/dev/null; done

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1440x820x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=xcb \
  "$top/build/default/src/shell/pictavo" "${sources[@]}" >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name '^Pictavo$' | head -n1)
# The list is loaded when the window's page total stops changing; a second
# is plenty for a few files.
sleep 2
xdotool windowfocus "$window" 2>/dev/null || true
sleep 0.2
# Waiting for the log starts no process: a find, a grep and a sleep every
# 20 ms took 8 % of both cores from the window's conversion. The read times
# out on a pipe that this shell holds open itself.
shopt -s globstar nullglob
exec {tick}<> <(:)
log_written() {
  local f
  for f in "$home"/.local/share/**/Logs/*.log; do
    [[ $f -nt $home/.config/Quorlen/Pictavo2.conf ]] && return 0
  done
  return 1
}
# CPU seconds of a process so far (utime and stime of /proc/PID/stat).
cpu_of() {
  local stat
  read -r stat <"/proc/$1/stat"
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  echo "scale=2; (${12} + ${13}) / $(getconf CLK_TCK)" | bc
}
cpu_before=$(cpu_of "$app")
start=$(date +%s.%N)
xdotool key --clearmodifiers ctrl+r
until log_written; do
  read -rt 0.02 -u "$tick" || true
done
gui=$(echo "$(date +%s.%N) - $start" | bc)
gui_cpu=$(echo "$(cpu_of "$app") - $cpu_before" | bc)
kill "$app" 2>/dev/null || true

start=$(date +%s.%N)
/usr/bin/time -f '%U %S' -o "$home/cli-time" \
  "$top/build/default/src/pictavo-convert" -t "$type" -o "$home/cli" --log-dir "$home/cli-logs" --quiet "${sources[@]}"
cli=$(echo "$(date +%s.%N) - $start" | bc)
read -r user system <"$home/cli-time"
cli_cpu=$(echo "$user + $system" | bc)
printf 'window %.2f s (%d files)   command line %.2f s (%d files)   window/command line %.2f\n' \
  "$gui" "$(ls "$home/gui" | wc -l)" "$cli" "$(ls "$home/cli" | wc -l)" "$(echo "scale=3; $gui / $cli" | bc)"
# Under load the wall times follow the other work; the CPU time the window's
# process spends is the steadier figure.
printf 'CPU: window %.2f s   command line %.2f s   window/command line %.2f\n' \
  "$gui_cpu" "$cli_cpu" "$(echo "scale=3; $gui_cpu / $cli_cpu" | bc)"
