#!/usr/bin/env bash
# The installed package as a user meets it: /usr/bin/zimo (given as $1) starts under Xvfb with its
# window, "トピック(&H)" finds the help page in its installed place (../share/zimo/ from the
# program's folder, nothing beside the program) and shows it, and the desktop entry installed with
# it opens a page as a document. Run by .ci/run after `apt-get install ./zimo_*.deb`.
source "$(dirname "$0")/../e2e/lib.sh" "$1"
e2e_setup

[ ! -e "$(dirname "$ZIMO_BIN")/zimo.html" ] || fail "a help page lies beside $ZIMO_BIN: the test would not see the installed place"
[ -f /usr/share/zimo/zimo.html ] || fail "the help page is not installed in /usr/share/zimo"

# The menu entry's command, as the desktop runs it for a page.
entry=/usr/share/applications/jp.zimo.ZIMO.desktop
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "$exec_line" = "zimo --open %f" ] || fail "unexpected Exec line in $entry: $exec_line"
printf '<html><body>\r\n<p>installed</p>\r\n</body></html>' >"$WORK/page.html"
start_zimo --open "$WORK/page.html"

# "ヘルプ(&H)" → "トピック(&H)": first "まだ作ってません", then the help window.
keys alt+h h
answer_box Return
help=$(wait_for_window '^ZIMO ヘルプ$') || fail "the help window did not appear (help page not found?)"
focus_window "$help"
keys Escape
focus_window "$MAIN_WIN"

# The page opened as a document: Ctrl+S writes it back (plus the final CR LF of every write).
before=$(stat -c %i "$WORK/page.html")
keys ctrl+s
for i in $(seq 1 100); do
    [ "$(stat -c %i "$WORK/page.html")" != "$before" ] && break
    sleep 0.05
done
expect_bytes "$WORK/page.html" "$(printf '<html><body>\r\n<p>installed</p>\r\n</body></html>\r\n' | od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')"
pass
