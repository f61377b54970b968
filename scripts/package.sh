#!/usr/bin/env bash
# Builds the Debian package of ZIMO, zimo_<version>_<arch>.deb, in build/ (or the folder given as
# $ZIMO_BUILD_DIR, whose configuration is kept) and prints its path. Only the program and its data
# are built for it. Install it with: apt-get install ./build/zimo_*.deb
# With --check it also runs lintian, desktop-file-validate and appstreamcli on the package's files.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZIMO_BUILD_DIR:-$here/build}
check=false
if [ "${1:-}" = --check ]; then check=true; fi

# Only the package's path goes to the standard output; the rest to the error output.
"$here/scripts/setup.sh" >&2
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
else
  cmake "$build" >/dev/null
fi
# The filters never fail; with pipefail a failed build or lintian error fails the script.
cmake --build "$build" -j2 --target zimo zimo_help_page zimo_compressed_docs -- --no-print-directory |
  { grep -Ev '^\[ *[0-9]+%\] (Built|Building|Linking|Automatic)|^(Consolidate|Scanning|Generating)' >&2 || true; }
rm -f "$build"/zimo_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/zimo_*.deb)

if $check; then
  # Errors fail; the warnings kept are listed with why in docs/packaging.md.
  lintian --fail-on error --suppress-tags-from-file "$here/data/debian/lintian-kept" "$deb" 2>&1 |
    { grep -v "root privileges" >&2 || true; }
  unpacked=$(mktemp -d)
  trap 'rm -rf "$unpacked"' EXIT
  dpkg-deb -x "$deb" "$unpacked"
  desktop-file-validate "$unpacked/usr/share/applications/jp.zimo.ZIMO.desktop" >&2
  appstreamcli validate --no-net --pedantic "$unpacked/usr/share/metainfo/jp.zimo.ZIMO.metainfo.xml" >&2
fi
echo "$deb"
