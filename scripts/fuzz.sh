#!/usr/bin/env bash
# Builds the page-source fuzz target with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (preset "fuzz") and runs it for a fixed time on
# its seed corpus: every TIFF the engine and file-list tests make, plus
# tests/fuzz/regressions/. Fails when the fuzzer finds a crash, a leak or
# undefined behaviour; the input is left in build/fuzz/artifacts/.
#   scripts/fuzz.sh [seconds]    default 60
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

./scripts/setup-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_tiff_page_source

# The starting inputs are what the tests of the normal build write.
cmake --preset default >/dev/null
cmake --build --preset default --target test_engine test_filelist
work=build/fuzz/run
rm -rf "$work"
mkdir -p "$work/seeds" "$work/found" build/fuzz/artifacts
export PICTAVO_FUZZ_SEEDS="$PWD/$work/seeds"
export QT_QPA_PLATFORM=offscreen
build/default/tests/test_engine --gtest_brief=1 >/dev/null 2>&1
build/default/tests/test_filelist --gtest_brief=1 >/dev/null 2>&1
find tests/fuzz/regressions -type f ! -name '*.md' -exec cp {} "$work/seeds/" \;
echo "Fuzzing for ${seconds}s from $(find "$work/seeds" -type f | wc -l) seeds" >&2

# New inputs go to "found"; the starting inputs stay as the tests made them.
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
  build/fuzz/tests/fuzz/fuzz_tiff_page_source \
  -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=1048576 \
  -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ \
  "$work/found" "$work/seeds"
