#!/usr/bin/env bash
# completion_test.sh BASH_COMPLETION COMPLETION
# Completes command lines of pictavo-convert as bash does on Tab, in a folder
# made for it, and compares what is offered.
set -uo pipefail

bash_completion=$(realpath "$1")
completion=$(realpath "$2")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/scans/sub folder"
touch "$tmp/scans/a.tif" "$tmp/scans/B.TIFF" "$tmp/scans/my scan.tif" "$tmp/scans/notes.txt"
cd "$tmp/scans" || exit 1

# shellcheck disable=SC1090
source "$bash_completion"
# shellcheck disable=SC1090
source "$completion"

# offered WORD...: what Tab offers for the last word, sorted, one per line.
offered() {
  COMP_WORDS=(pictavo-convert "$@")
  COMP_CWORD=$#
  COMP_LINE="pictavo-convert $*"
  COMP_LINE=${COMP_LINE// = /=}
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _pictavo_convert pictavo-convert "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}

failures=0
# Each case: the words after the program's name, then what is offered
# (space-separated; "|" stands for a space inside a name).
cases=(
  "-t '' => bmp gif jpg pdf png tiff"
  "--type p => pdf png"
  "--type pn => png"
  "--type=t => tiff"
  "-c '' => g3 g4 lzw none packbits"
  "--compression g => g3 g4"
  "-q 1 => 1 10"
  "-z '' => 0 1 2 3 4 5 6 7 8 9"
  "-s '' => "
  "-j '' => "
  "--sk => --skip-existing"
  "--l => --leading-zeros --list --log-dir"
  "-t png --q => --quality --quiet"
  "'' => B.TIFF a.tif my|scan.tif sub|folder"
  "-r -t png '' => B.TIFF a.tif my|scan.tif sub|folder"
  "my => my|scan.tif"
  "-o '' => sub|folder"
  "--mirror '' => sub|folder"
  "--log-dir='' => sub|folder"
  "-l '' => B.TIFF a.tif my|scan.tif notes.txt sub|folder"
)
for case in "${cases[@]}"; do
  words=${case%% =>*}
  expected=$(tr -s ' ' <<<"${case#*=>}" | sed 's/^ //; s/ $//')
  eval "set -- $words"
  # bash splits "--option=value" into three words.
  if [[ ${!#} == --*=* ]]; then
    last=${!#}
    set -- "${@:1:$#-1}" "${last%%=*}" "=" "${last#*=}"
  fi
  actual=$(offered "$@" | tr ' ' '|' | paste -sd' ')
  if [[ $actual != "$expected" ]]; then
    echo "FAIL: pictavo-convert $words<Tab> offers [$actual], expected [$expected]" >&2
    failures=$((failures + 1))
  fi
done

((failures == 0)) || exit 1
echo "completion: ${#cases[@]} command lines complete as expected"
