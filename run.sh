#!/usr/bin/env bash
# Installs what is missing, builds, and starts Pictavo.
#   ./run.sh [PATHS]         the application, the current edition
#   ./run.sh first [PATHS]   the first edition, pictavo1
#   ./run.sh convert ARGS    the headless converter, pictavo-convert
set -euo pipefail
cd "$(dirname "$0")"

# A clean clone anywhere reuses the compiler cache of another: paths are hashed
# relative to the tree.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

./scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default >&2

bin=build/default/src
case "${1:-}" in
  convert)
    shift
    exec "$bin/pictavo-convert" "$@"
    ;;
  first)
    shift
    exec "$bin/first_edition/pictavo1" "$@"
    ;;
esac
exec "$bin/shell/pictavo" "$@"
