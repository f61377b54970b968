#!/usr/bin/env bash
# The settings commands in the running program: the settings dialog without zimo.ini (notice,
# default folder written), Esc closing nothing, Cancel, Ok storing what was read; the file
# manager asked for the stored folder through a recording stand-in for xdg-open; the about box;
# the font dialog writing zimo_2.ini; both files kept over a restart.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

# A stand-in for the desktop's opener, first on PATH: it records what it was asked to open.
mkdir -p "$E2E_TMP/bin"
cat >"$E2E_TMP/bin/xdg-open" <<STANDIN
#!/bin/sh
printf '%s\n' "\$*" >>"$E2E_TMP/opened.log"
STANDIN
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"

# Whether the window with id $1 is shown.
is_shown() {
    windows_named '.' | grep -qx "$1"
}

start_zimo

# No zimo.ini: the notice, then the dialog shows "/", which is written.
keys alt+o v
answer_box Return
settings=$(dialog_titled 詳細設定)
expect_bytes "$WORK/zimo.ini" "2f"
# Esc closes nothing; Cancel (third in the tab order) closes without writing.
focus_window "$settings"
keys Escape
sleep 0.3
is_shown "$settings" || fail "Esc closed the settings dialog"
keys Tab Tab Return
wait_closed "$settings"
expect_bytes "$WORK/zimo.ini" "2f"

# A stored path with a comma is read up to the comma; Ok stores what the dialog shows, exactly.
printf '/srv/a,b\r\n' >"$WORK/zimo.ini"
focus_window "$MAIN_WIN"
keys alt+o v
settings=$(dialog_titled 詳細設定)
focus_window "$settings"
keys Tab Return
wait_closed "$settings"
expect_bytes "$WORK/zimo.ini" "2f 73 72 76 2f 61"

# The file manager is asked for the stored folder, as a file URL.
mkdir -p "$WORK/site"
printf '%s' "$WORK/site" >"$WORK/zimo.ini"
focus_window "$MAIN_WIN"
keys alt+e
for i in $(seq 1 100); do [ -s "$E2E_TMP/opened.log" ] && break; sleep 0.05; done
[ "$(cat "$E2E_TMP/opened.log" 2>/dev/null)" = "file://$WORK/site" ] ||
    fail "file manager asked for '$(cat "$E2E_TMP/opened.log" 2>/dev/null)'"

# The about box: OK has the focus, Enter closes it.
focus_window "$MAIN_WIN"
keys alt+h a
about=$(dialog_titled 情報)
focus_window "$about"
keys Return
wait_closed "$about"

# The font dialog confirmed with its defaults writes zimo_2.ini: size, face, bold, italic, CR LF
# between, nothing after the last.
focus_window "$MAIN_WIN"
keys alt+o g
fontdialog=$(wait_for_dialog) || fail "no font dialog"
focus_window "$fontdialog"
keys Return
wait_for_file "$WORK/zimo_2.ini"
LC_ALL=C grep -Pzq '^[0-9]+(\.[0-9]+)?\r\n[^\r\n]+\r\n(True|False)\r\n(True|False)$' "$WORK/zimo_2.ini" ||
    fail "zimo_2.ini: $(od -c "$WORK/zimo_2.ini" | head -3)"
cp "$WORK/zimo_2.ini" "$E2E_TMP/zimo_2.before"

# Exit ("終了(&X)", "終了します" answered OK) and start again: both files are as they were, and
# the settings dialog shows the stored folder without the notice.
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
start_zimo
keys alt+o v
settings=$(dialog_titled 詳細設定)
focus_window "$settings"
keys Tab Return
wait_closed "$settings"
[ "$(cat "$WORK/zimo.ini")" = "$WORK/site" ] || fail "zimo.ini changed over the restart"
cmp -s "$WORK/zimo_2.ini" "$E2E_TMP/zimo_2.before" || fail "zimo_2.ini changed over the restart"
pass
