#!/usr/bin/env bash
# The Debian package end to end (as root, as CI runs): built from the build folder given as
# $ZIMO_BUILD_DIR (CI's own, so nothing is compiled again) and checked with lintian,
# desktop-file-validate and appstreamcli; installed with apt-get so that its dependencies come
# from the archive; started (tests/package/test_installed.sh); purged, after which none of its
# files may be left in /usr.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
export DEBIAN_FRONTEND=noninteractive

deb=$("$here/scripts/package.sh" --check)
echo "package: $(basename "$deb")"
version=$(dpkg-deb -f "$deb" Version)
expected=$(sed -n 's/^project(zimo VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
[ "$version" = "$expected" ] || { echo "FAIL: package version $version, project $expected" >&2; exit 1; }

apt-get install -y -qq "$deb" >/dev/null
files=$(dpkg -L zimo | grep '^/usr/' | while read -r f; do [ -d "$f" ] || echo "$f"; done)
status=0
# One version everywhere: the package's, the AppStream metadata's (the about box's is checked by
# tst_form3).
grep -q "<release version=\"$expected\"" /usr/share/metainfo/jp.zimo.ZIMO.metainfo.xml ||
    { echo "FAIL: the installed metainfo does not name version $expected" >&2; status=1; }
bash "$here/tests/package/test_installed.sh" /usr/bin/zimo || status=1
apt-get purge -y -qq zimo >/dev/null
left=$(for f in $files; do [ -e "$f" ] && echo "$f"; done; for d in /usr/share/zimo /usr/share/doc/zimo; do [ -e "$d" ] && echo "$d"; done; true)
if [ -n "$left" ]; then
    echo "FAIL: left in /usr after purging the package:" >&2
    echo "$left" >&2
    status=1
fi
[ "$status" -eq 0 ] && echo "PASS (package: built, lintian, installed, started, help found, purged)"
exit "$status"
