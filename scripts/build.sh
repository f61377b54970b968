#!/usr/bin/env bash
# Configures and builds ZIMO in build/ (or the folder given as $ZIMO_BUILD_DIR).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZIMO_BUILD_DIR:-$here/build}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
# The filter never fails; with pipefail a failed build fails the script.
cmake --build "$build" -j2 -- --no-print-directory |
  { grep -Ev '^\[ *[0-9]+%\] (Built|Building|Linking|Automatic)|^(Consolidate|Scanning|Generating)' || true; }
