#!/usr/bin/env bash
# Installs what is missing, builds, and starts Pictavo.
#   ./run.sh                 the application
#   ./run.sh convert ARGS    the headless converter, pictavo-convert
set -euo pipefail
cd "$(dirname "$0")"

./scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default >&2

bin=build/default/src
if [[ "${1:-}" == convert ]]; then
  shift
  exec "$bin/pictavo-convert" "$@"
fi
if [[ -x "$bin/pictavo" ]]; then
  exec "$bin/pictavo" "$@"
fi
cat <<'TXT'
Pictavo is built. The window program is not part of this build yet; what exists:
  the core library (settings, file items, TIFF page reading, the five page
  writers and the conversion log) and its tests: ./test.sh
TXT
