#!/usr/bin/env bash
# Writing documents as a user does: typed text saved through the real save dialog, written again
# by Exit's question and by Ctrl+S, and leaving through the File menu with its questions
# answered by keys. Then a fresh window whose text has no file yet: answering OK to the
# overwrite question asks where to save. Last, a page with duplicate code page 932 cells opened,
# one line edited and overwritten: only that line's bytes change. Then a file with a second hard
# link (written in place, both names new) and a 245-byte file name saved by Ctrl+S. Last, Save
# onto an existing file asks first, and a failed Open (a named pipe) leaves Ctrl+S writing to the
# document's own file.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

# Boxes and dialogs of zimo other than the main window that are on screen now.
open_dialogs() {
    windows_named '.' | grep -vx "$MAIN_WIN" | grep -c . || true
}

start_zimo
type_text 'abc'
keys Return
type_text '<BR>x'

# "保存．．．(&A)": the text, then the CR LF every save adds.
save_as "$WORK/page.html"
wait_for_file "$WORK/page.html"
expect_bytes "$WORK/page.html" '61 62 63 0d 0a 3c 42 52 3e 78 0d 0a'

# Save does not make the text the baseline: "終了(&X)" asks "上書き保存しますか？" first (OK writes
# the file again), then "終了します", answered Cancel: zimo stays.
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
answer_box Escape
kill -0 "$ZIMO_PID" 2>/dev/null || fail "zimo ended although 終了します was cancelled"
[ "$(open_dialogs)" -eq 0 ] || fail "a box is still open"
expect_bytes "$WORK/page.html" '61 62 63 0d 0a 3c 42 52 3e 78 0d 0a'

# More text, "上書き(&S)" by Ctrl+S.
focus_window "$MAIN_WIN"
type_text '!'
keys ctrl+s
wait_for_bytes "$WORK/page.html" '61 62 63 0d 0a 3c 42 52 3e 78 21 0d 0a'

# After Overwrite the document is unchanged: Exit asks only "終了します"; OK ends zimo.
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end after 終了します was answered OK"

# A fresh window: "上書き保存しますか？" answered OK has no file to write to, so the save dialog
# asks for one; then "終了します" OK ends.
start_zimo
type_text 'new'
keys alt+f x
answer_box Return
dialog=$(wait_for_dialog) || fail "no save dialog after answering OK"
focus_window "$dialog"
keys ctrl+a
type_text "$WORK/fresh.txt"
keys Return
for i in $(seq 1 200); do
    windows_named '.' | grep -qx "$dialog" || break
    sleep 0.05
done
wait_for_file "$WORK/fresh.txt"
expect_bytes "$WORK/fresh.txt" '6e 65 77 0d 0a'
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"

# 8790 and ED40 read as ≒ and 纊, which the codec writes as 81E0 and FA5C. "開く．．．(&O)" by Ctrl+O,
# an x typed at the start of the first line, Ctrl+S: the first line is written by the codec, the
# second keeps its bytes.
printf '\x87\x90\r\n\xed\x40\r\n' >"$WORK/dup.html"
start_zimo
open_file "$WORK/dup.html"
type_text 'x'
keys ctrl+s
wait_for_bytes "$WORK/dup.html" '78 81 e0 0d 0a ed 40 0d 0a 0d 0a'
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end after 終了します was answered OK"
# A file with a second hard link is written in place: both names show the new text and stay one
# file. A name of 245 bytes saves too (its temporary name is cut to fit).
printf 'a\r\n' >"$WORK/linked.txt"
ln "$WORK/linked.txt" "$WORK/second-name.txt"
inode=$(stat -c %i "$WORK/linked.txt")
long=$(printf 'n%.0s' $(seq 1 241)).txt
printf 'b\r\n' >"$WORK/$long"
start_zimo
open_file "$WORK/linked.txt"
type_text 'x'
keys ctrl+s
wait_for_bytes "$WORK/second-name.txt" '78 61 0d 0a 0d 0a'
[ "$(stat -c %i "$WORK/linked.txt")" = "$inode" ] || fail "the hard-linked file was replaced by a new one"
open_file "$WORK/$long"
type_text 'y'
keys ctrl+s
wait_for_bytes "$WORK/$long" '79 62 0d 0a 0d 0a'
[ -z "$(find "$WORK" -name '*.zimo-*')" ] || fail "temporary files left: $(find "$WORK" -name '*.zimo-*')"
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end after 終了します was answered OK"

# A page opened and edited. "保存．．．(&A)" onto another existing file asks before replacing it;
# Escape (No) writes nothing.
printf 'mine\r\n' >"$WORK/mine.html"
printf 'theirs\r\n' >"$WORK/theirs.html"
mkfifo "$WORK/pipe.html"
start_zimo
open_file "$WORK/mine.html"
type_text 'x'
keys alt+f a
dialog=$(wait_for_dialog) || fail "no save dialog"
focus_window "$dialog"
keys ctrl+a
type_text "$WORK/theirs.html"
keys Return
wait_closed "$dialog"
answer_box Escape
expect_bytes "$WORK/theirs.html" '74 68 65 69 72 73 0d 0a'

# Ctrl+O on a named pipe: the Open question (OK), the pipe is refused at once with a message, and
# the document stays mine.html's: Ctrl+S writes mine.html and the pipe stays a pipe.
focus_window "$MAIN_WIN"
keys ctrl+o
answer_box Return
dialog=$(wait_for_dialog) || fail "no open dialog"
focus_window "$dialog"
keys ctrl+a
type_text "$WORK/pipe.html"
keys Return
wait_closed "$dialog"
answer_box Return
focus_window "$MAIN_WIN"
keys ctrl+s
wait_for_bytes "$WORK/mine.html" '78 6d 69 6e 65 0d 0a 0d 0a'
[ -p "$WORK/pipe.html" ] || fail "the named pipe was replaced"
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end after 終了します was answered OK"
pass
