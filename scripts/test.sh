#!/usr/bin/env bash
# Installs what is missing, builds ZIMO with its tests and runs every test with ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$@"
cd "${ZIMO_BUILD_DIR:-$here/build}"
ctest --output-on-failure -j2 --timeout 300
