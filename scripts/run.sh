#!/usr/bin/env bash
# Installs what is missing, builds ZIMO and starts it, optionally with a document, which is
# opened as "開く．．．(&O)" opens it (`zimo --open document`; handed to the window already
# running, if there is one):
#   scripts/run.sh [document]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
zimo="${ZIMO_BUILD_DIR:-$here/build}/src/zimo"
if [ $# -gt 0 ]; then
  exec "$zimo" --open "$@"
fi
exec "$zimo"
