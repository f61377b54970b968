#!/usr/bin/env bash
# Installs what is missing, builds ZIMO and starts it, optionally with a document:
#   scripts/run.sh [document]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
exec "${ZIMO_BUILD_DIR:-$here/build}/src/zimo" "$@"
