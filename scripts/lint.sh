#!/usr/bin/env bash
# Checks the formatting of every C++ file of the tree (.clang-format), runs
# clang-tidy (checks in .clang-tidy) and cppcheck over every .cpp under src/
# with the default preset's compile database, and fails on any finding.
# clang-tidy skips a file whose last run was clean when nothing it read has
# changed since (scripts/tidy-cache.py; the cache is in ~/.cache/pictavo-lint,
# PICTAVO_LINT_NO_CACHE=1 checks every file).
# Prints each finding, then a summary with the counts and times; the full
# output is left in build/lint/.
#   scripts/lint.sh [jobs]    default: every core
# Suppress a false positive on its line, with the check's name and a reason:
# `// NOLINT(check-name): why` or `// cppcheck-suppress id ; why` on the line
# before; whole cppcheck checks that are noise go in scripts/cppcheck.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${1:-$(nproc)}"

./scripts/setup-deps.sh clang-tidy clang-format cppcheck python3

echo "== clang-format" >&2
start=$SECONDS
format_found=$(git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror 2>&1 |
  grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): ' || true)
format_count=$(grep -c . <<<"$format_found" || true)
format_seconds=$((SECONDS - start))
cmake --preset default >/dev/null
# The generated ui_*.h and moc files the sources include; in a built tree this
# does nothing.
cmake --build --preset default --target pictavo_platform_autogen pictavo_engine_autogen pictavo_pagecount_autogen \
  pictavo_filelist_autogen pictavo_http_autogen pictavo_usage_autogen \
  pictavo_widgets_autogen pictavo_gui_autogen pictavo_first_autogen pictavo_autogen \
  pictavo1_autogen pictavo-convert_autogen

out=build/lint
mkdir -p "$out/cppcheck"
# Only our sources: the tests, tools and generated files are not linted.
python3 - "$PWD/src/" "$out/compile_commands.json" <<'EOF'
import json, sys
src, target = sys.argv[1], sys.argv[2]
entries = json.load(open("build/default/compile_commands.json"))
json.dump([e for e in entries if e["file"].startswith(src)], open(target, "w"), indent=1)
EOF
files=$(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1]))))' \
  "$out/compile_commands.json")
mkdir -p "$out/tidy"
if [[ ${PICTAVO_LINT_NO_CACHE:-} == 1 ]]; then
  cp "$out/compile_commands.json" "$out/tidy/compile_commands.json"
  : >"$out/tidy/keys"
  tidy_files=$files
else
  tidy_files=$(python3 scripts/tidy-cache.py select "$PWD" "$PWD/build/default" \
    "$out/compile_commands.json" "$out/tidy/compile_commands.json" "$out/tidy/keys")
fi

strip_colour() { sed -r 's/\x1b\[[0-9;]*m//g'; }
# One finding per line: file:line:column: warning: text [check]
findings() { grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error|style|performance|portability): ' "$1" || true; }

run_tidy=run-clang-tidy-14
command -v "$run_tidy" >/dev/null || run_tidy=run-clang-tidy
echo "== clang-tidy: $tidy_files of $files files (the rest unchanged since a clean run), $jobs jobs" >&2
start=$SECONDS
tidy_status=0
: >"$out/clang-tidy.log"
if ((tidy_files > 0)); then
  "$run_tidy" -p "$out/tidy" -j "$jobs" -quiet "$PWD/src/" 2>&1 | strip_colour >"$out/clang-tidy.log" ||
    tidy_status=$?
fi
tidy_seconds=$((SECONDS - start))
# Headers are reported once per file including them.
tidy_found=$(findings "$out/clang-tidy.log" | sort -u)
tidy_count=$(grep -c . <<<"$tidy_found" || true)
if ((tidy_status != 0 && tidy_count == 0)); then
  tail -n 40 "$out/clang-tidy.log" >&2
  echo "clang-tidy failed without a finding; see $out/clang-tidy.log" >&2
  tidy_count=1
fi
if ((tidy_status == 0 && tidy_count == 0)); then
  python3 scripts/tidy-cache.py store "$out/tidy/keys"
fi

echo "== cppcheck: $files files, $jobs jobs" >&2
start=$SECONDS
cppcheck_status=0
cppcheck --project="$out/compile_commands.json" --std=c++20 --library=qt \
  --enable=warning,performance,portability,style --inline-suppr \
  --suppress=missingIncludeSystem --suppressions-list=scripts/cppcheck.supp \
  --cppcheck-build-dir="$out/cppcheck" -j "$jobs" --quiet --error-exitcode=1 \
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]' \
  >"$out/cppcheck.log" 2>&1 || cppcheck_status=$?
cppcheck_seconds=$((SECONDS - start))
cppcheck_found=$(findings "$out/cppcheck.log" | sort -u)
cppcheck_count=$(grep -c . <<<"$cppcheck_found" || true)
if ((cppcheck_status != 0 && cppcheck_count == 0)); then
  cat "$out/cppcheck.log" >&2
  cppcheck_count=1
fi

[[ -z $format_found ]] || printf '%s\n' "$format_found"
[[ -z $tidy_found ]] || printf '%s\n' "$tidy_found"
[[ -z $cppcheck_found ]] || printf '%s\n' "$cppcheck_found"
printf 'format      %3d findings  %4ds   clang-format -i FILE to fix\n' "$format_count" \
  "$format_seconds"
printf 'clang-tidy  %3d findings  %4ds   %s\n' "$tidy_count" "$tidy_seconds" "$out/clang-tidy.log"
printf 'cppcheck    %3d findings  %4ds   %s\n' "$cppcheck_count" "$cppcheck_seconds" \
  "$out/cppcheck.log"
if ((format_count + tidy_count + cppcheck_count > 0)); then
  echo "Lint found something; fix it or suppress it on its line with a reason." >&2
  exit 1
fi
