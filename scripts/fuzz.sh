#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (preset "fuzz") and runs each on its seeds:
# tests/fuzz/seeds/<target>/, tests/fuzz/regressions/<target>/ and, for the
# page source, every TIFF the engine and file-list tests make. Prints per
# target the executions, the coverage and what it found; fails when any
# target found a crash, a leak, a hang or undefined behaviour, whose input
# is left in build/fuzz/artifacts/<target>/.
#   scripts/fuzz.sh [seconds] [target...]    default 60, every target
# From 300 s on each target runs that long. A shorter time is the whole run's,
# shared evenly (at least 10 s each), which keeps CI's `fuzz.sh 60` to a
# minute of fuzzing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=(fuzz_tiff_page_source fuzz_import_list fuzz_usage_file fuzz_settings_store
         fuzz_page_writers)
if (($# > 0)); then
  targets=("$@")
fi
if ((seconds >= 300)); then
  each=$seconds
else
  each=$((seconds / ${#targets[@]}))
  ((each >= 10)) || each=10
fi

# Inputs larger than a target can use only slow it down.
max_len_of() {
  case "$1" in
    fuzz_tiff_page_source) echo 1048576 ;;
    fuzz_settings_store) echo 4096 ;;
    *) echo 65536 ;;
  esac
}

./scripts/setup-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]}"

work=build/fuzz/run
rm -rf "$work"
mkdir -p "$work"
for target in "${targets[@]}"; do
  mkdir -p "$work/$target/seeds" "$work/$target/found" "build/fuzz/artifacts/$target"
  for folder in "tests/fuzz/seeds/$target" "tests/fuzz/regressions/$target"; do
    if [[ -d $folder ]]; then
      find "$folder" -type f ! -name '*.md' -exec cp {} "$work/$target/seeds/" \;
    fi
  done
done

export QT_QPA_PLATFORM=offscreen
# Qt warns of every profile it cannot read; the page writers make many.
export QT_LOGGING_RULES="qt.gui.icc=false"
if [[ " ${targets[*]} " == *" fuzz_tiff_page_source "* ]]; then
  # The page source starts from what the tests of the normal build write.
  cmake --preset default >/dev/null
  cmake --build --preset default --target test_engine test_filelist
  export PICTAVO_FUZZ_SEEDS="$PWD/$work/fuzz_tiff_page_source/seeds"
  build/default/tests/test_engine --gtest_brief=1 >/dev/null 2>&1
  build/default/tests/test_filelist --gtest_brief=1 >/dev/null 2>&1
  unset PICTAVO_FUZZ_SEEDS
fi

# The targets write their files under TMPDIR; in memory that costs no disk
# syncs, which would otherwise take most of the time.
scratch=$(mktemp -d -p /dev/shm pictavo-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=()
summary=()
for target in "${targets[@]}"; do
  log="$work/$target/fuzz.log"
  seeds=$(find "$work/$target/seeds" -type f | wc -l)
  echo "== $target: ${each}s from $seeds seeds" >&2
  status=0
  # New inputs go to "found"; the starting inputs stay as they are.
  TMPDIR="$scratch" \
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    "build/fuzz/tests/fuzz/$target" \
    -max_total_time="$each" -timeout=20 -rss_limit_mb=2048 -max_len="$(max_len_of "$target")" \
    -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target/" \
    "$work/$target/found" "$work/$target/seeds" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  if ((status == 0)); then
    found="nothing"
  else
    found="FAULT (exit $status): $(grep -m 1 -E 'ERROR|SUMMARY' "$log" || echo 'see log'); $log"
    failed+=("$target")
    tail -n 60 "$log" >&2
  fi
  summary+=("$(printf '%-24s %6ss %12s execs  cov %6s  %s' "$target" "$each" "${runs:-?}" \
    "${cov:-?}" "$found")")
done

printf '%s\n' "${summary[@]}"
if ((${#failed[@]} > 0)); then
  echo "Faults found by: ${failed[*]}; inputs in build/fuzz/artifacts/" >&2
  exit 1
fi
