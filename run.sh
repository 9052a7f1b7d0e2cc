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
exec "$bin/shell/pictavo" "$@"
