#!/usr/bin/env bash
# Replace and go to a line in the running program, with real key presses: a regular expression
# with groups replaced everywhere (Ctrl+R, Alt+E, Alt+A), the text area's own undo taking it back
# in one step, Ctrl+G to the second line; the results checked through saves.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

hex_of() {
    printf "$1" | od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# Opening inserts each line with a CR LF after it, so the text ends with two.
printf 'a1 b2\r\nc3' >"$WORK/doc.txt"
start_zimo doc.txt

# The replace dialog: the find field has the focus; Tab reaches the replacement.
keys ctrl+r
dialog=$(dialog_titled "置換")
focus_window "$dialog"
type_text '([a-z])(\d)'
keys Tab
type_text '$2$1'
# "正規表現を使う(&E)", then "すべて置換(&A)", then Esc closes the dialog.
keys alt+e alt+a Escape
wait_closed "$dialog"
focus_window "$MAIN_WIN"
save_as "$WORK/out1.txt"
wait_for_file "$WORK/out1.txt"
expect_bytes "$WORK/out1.txt" "$(hex_of '1a 2b\r\n3c\r\n\r\n')"

# One Ctrl+Z of the text area gives the whole text back.
focus_window "$MAIN_WIN"
keys ctrl+z
save_as "$WORK/out2.txt"
wait_for_file "$WORK/out2.txt"
expect_bytes "$WORK/out2.txt" "$(hex_of 'a1 b2\r\nc3\r\n\r\n')"

# Ctrl+G, line 2, Enter: the caret at the start of the second line.
focus_window "$MAIN_WIN"
keys ctrl+g
go=$(dialog_titled "指定行へ移動")
focus_window "$go"
keys ctrl+a
type_text '2'
keys Return
wait_closed "$go"
focus_window "$MAIN_WIN"
type_text 'X'
save_as "$WORK/out3.txt"
wait_for_file "$WORK/out3.txt"
expect_bytes "$WORK/out3.txt" "$(hex_of 'a1 b2\r\nXc3\r\n\r\n')"
kill -0 "$ZIMO_PID" 2>/dev/null || fail "zimo ended"
pass
