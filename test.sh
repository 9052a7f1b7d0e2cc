#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
#   ./test.sh             RelWithDebInfo build
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build
#   ./test.sh --thread    ThreadSanitizer build of the test programs; only the tests
#                         that use threads
set -euo pipefail
cd "$(dirname "$0")"

# A clean clone anywhere reuses the compiler cache of another: paths are hashed
# relative to the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

preset=default
case "${1:-}" in
  "") ;;
  --sanitize) preset=asan-ubsan ;;
  --thread) preset=tsan ;;
  *) echo "usage: ./test.sh [--sanitize | --thread]" >&2; exit 2 ;;
esac

./scripts/setup-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
