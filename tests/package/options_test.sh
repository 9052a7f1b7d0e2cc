#!/usr/bin/env bash
# options_test.sh PICTAVO_CONVERT MAN_DIR COMPLETION
# The manual page and the bash completion list the options --help lists, no
# more and no fewer, with the same values for --type and --compression; every
# page renders without a warning from man.
set -euo pipefail

convert=$1
man_dir=$2
completion=$3
man=${MAN_PROGRAM:-man}
page=$man_dir/pictavo-convert.1

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# same WHAT EXPECTED ACTUAL: two newline-separated sets are equal.
same() {
  local what=$1 expected actual
  expected=$(sort -u <<<"$2")
  actual=$(sort -u <<<"$3")
  [[ $expected == "$actual" ]] ||
    fail "$what: --help has [$(paste -sd' ' <<<"$expected")], the other [$(paste -sd' ' <<<"$actual")]"
}

help=$("$convert" --help)

# "-t --type" per option of --help; "--split" for one without a short name.
help_options=$(sed -n -E 's/^  (-([a-z]), )?(--[a-z-]+).*/\2 \3/p' <<<"$help" | sed -E 's/^ //; s/^([a-z]) /-\1 /')
# Options that take a value: "<value>" after the names.
help_valued=$(sed -n -E 's/^  (-[a-z], )?(--[a-z-]+) <.*/\2/p' <<<"$help")
# The values of "Output type: a, b or c (default a)" in the wrapped help.
help_values() {
  tr -s ' \n' ' ' <<<"$help" | sed -n -E "s/.*$1: ([^(]*) \(default.*/\1/p" |
    sed -E 's/,? or /\n/; s/, /\n/g' | tr -d ' '
}

# The option entries of the manual page: each .TP's next line, roff removed.
man_entries=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" | sed -n '/^\.TP/{n;p}' |
  sed -E 's/\\f[BIRP]//g; s/\\-/-/g')
man_options=$(awk '{ names = ""
    for (i = 1; i <= NF; i++) if ($i ~ /^--?[a-z][a-z-]*$/) names = names (names ? " " : "") $i
    print names }' <<<"$man_entries")
# The bold words in the body of the entry whose header names OPTION.
man_values() {
  sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" | sed 's/\\-/-/g' |
    awk -v option="$1" '/^\.TP/ { header = 1; body = 0; next }
      header { header = 0; body = index($0, option) > 0; next }
      body && /^\.BR? [a-z0-9]+/ { print $2 }' | sort -u
}

# The completion: the words it offers for "-", and the options after which it
# completes a value instead of a path.
completion_words=$(sed -n '/compgen -W .-t --type/,/--version/p' "$completion" |
  grep -o -E -- '--?[a-z][a-z-]*' | grep -v -x -- '-W')
completion_valued=$(grep -E '^ +-[-a-z |]+\)$' "$completion" | tr -d ' )' | tr '|' '\n')
completion_values() {
  grep -A1 -E "^ +-[a-z] \| $1\)" "$completion" | sed -n -E "s/.*compgen -W '([^']*)'.*/\1/p" |
    tr ' ' '\n'
}

[[ -n $help_options ]] || fail "no option found in --help"
same "options of the manual page" "$help_options" "$man_options"
same "options the completion offers" "$(tr ' ' '\n' <<<"$help_options")" "$completion_words"
for option in $help_valued; do
  grep -q -x -F -- "$option" <<<"$completion_valued" ||
    fail "the completion offers paths after $option, which takes a value"
done
for pair in "--type Output type" "--compression TIFF compression"; do
  option=${pair%% *}
  label=${pair#* }
  values=$(help_values "$label")
  [[ -n $values ]] || fail "no values of $option found in --help"
  same "values of $option in the manual page" "$values" "$(man_values "$option")"
  same "values of $option in the completion" "$values" "$(completion_values "$option")"
done

for source in "$man_dir"/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 "$man" --warnings -E UTF-8 -l -Tutf8 -Z \
    "$source" 2>&1 >/dev/null) || fail "man cannot render $source"
  [[ -z $warnings ]] || fail "man warns on $source: $warnings"
done

((failures == 0)) || exit 1
echo "manual page, completion and --help agree"
