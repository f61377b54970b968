#!/usr/bin/env bash
# Nothing typed is lost when zimo is killed: a file opened and typed into, zimo killed hard, the
# next start (with another document on its command line, which is then not inserted) answered Yes
# and Ctrl+S writes the typed text into that file. Then a normal Exit that
# answers not to save leaves no draft, and the next start asks nothing. Last, a 9 MB page: its
# drafts are small records appended over its text written once, and a kill -9 between them
# loses nothing.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

printf 'old\r\n' >"$WORK/page.html"
start_zimo

# "開く．．．(&O)" through the real open dialog.
open_file "$WORK/page.html"
keys ctrl+End
type_text 'typed'

# A moment after typing stops the draft is there; kill -9 gives zimo no chance to do anything.
wait_for_file "$DRAFT"
kill -9 "$ZIMO_PID"
wait_for_exit "$ZIMO_PID" || fail "could not kill zimo"
[ -e "$DRAFT" ] || fail "the draft went with the killed zimo"
expect_bytes "$WORK/page.html" '6f 6c 64 0d 0a'

# Started again with another document on the command line. Yes: the typed text is back, with its
# file; the other document is not inserted into it, a message says so (answered Return); and
# "上書き(&S)" (Ctrl+S) is enabled again.
printf 'other\r\n' >"$WORK/other.html"
launch_zimo "$WORK/other.html"
for answer in restore not-inserted; do
    box=$(wait_for_window '^ZIMO$' "$ZIMO_PID") || fail "zimo showed no box ($answer)"
    focus_window "$box"
    keys Return
    wait_closed "$box"
done
MAIN_WIN=$(wait_for_window '^ZIMO$' "$ZIMO_PID") || fail "zimo showed no main window"
focus_window "$MAIN_WIN"
keys ctrl+s
wait_for_bytes "$WORK/page.html" '6f 6c 64 0d 0a 74 79 70 65 64 0d 0a'
# Written: the document is unchanged, so no draft.
wait_for_no_file "$DRAFT"

# Exit: only "終了します" (the document is saved), OK ends.
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"

# Type, then Exit answering Cancel to "上書き保存しますか？" and OK to "終了します": the unsaved text
# was given up on purpose, so the draft goes too.
start_zimo
type_text 'given up'
wait_for_file "$DRAFT"
keys alt+f x
answer_box Escape
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
[ ! -e "$DRAFT" ] || fail "a normal end left the draft"
expect_bytes "$WORK/page.html" '6f 6c 64 0d 0a 74 79 70 65 64 0d 0a'

# The next start asks nothing: the main window is the only window, and stays so.
start_zimo
sleep 1
[ "$(windows_named '.' | grep -c . || true)" -eq 1 ] || fail "zimo showed more than its main window"
kill -9 "$ZIMO_PID"
wait_for_exit "$ZIMO_PID" || fail "could not kill zimo"

# A big page (200,000 lines, 9 MB of UTF-8).
awk 'BEGIN { for (i = 0; i < 200000; i++) printf "<TR><TD>あいうえおかきくけこさしすせそ</TD></TR>\r\n" }' >"$WORK/big.html"
cp "$WORK/big.html" "$WORK/expected.html"
printf 'onetwo\r\n' >>"$WORK/expected.html"
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
start_zimo
open_file "$WORK/big.html"
# Once opened, the page's text is written once beside the draft folder's draft, as the base of the
# journal (twice the page's characters, UTF-16).
for i in $(seq 1 600); do
    compgen -G "$XDG_STATE_HOME/zimo/base-*" >/dev/null && break
    sleep 0.1
done
bases=("$XDG_STATE_HOME"/zimo/base-*)
[ "${#bases[@]}" -eq 1 ] && [ -e "${bases[0]}" ] || fail "no single base after opening the big page"
sleep 1
base_size=$(size_of "${bases[0]}")
[ "$base_size" -gt 10000000 ] || fail "the base holds $base_size bytes"
focus_window "$MAIN_WIN"
keys ctrl+End
type_text 'one'
for i in $(seq 1 300); do [ -e "$DRAFT" ] && break; sleep 0.1; done
[ -e "$DRAFT" ] || fail "no draft after typing into the big page"
first=$(size_of "$DRAFT")
type_text 'two'
for i in $(seq 1 300); do [ "$(size_of "$DRAFT")" -gt "$first" ] && break; sleep 0.1; done
second=$(size_of "$DRAFT")
# The drafts are records of what was typed, not the 9 MB text, and the base was not written again.
[ "$second" -gt "$first" ] && [ "$second" -lt 4096 ] || fail "draft sizes $first, $second"
[ "$(size_of "${bases[0]}")" -eq "$base_size" ] && [ -e "${bases[0]}" ] || fail "the base changed"
kill -9 "$ZIMO_PID"
wait_for_exit "$ZIMO_PID" || fail "could not kill zimo"

# Restored (Yes) and written with Ctrl+S: the page with both keys' text.
start_zimo_with_draft Return
keys ctrl+s
for i in $(seq 1 600); do cmp -s "$WORK/big.html" "$WORK/expected.html" && break; sleep 0.1; done
cmp -s "$WORK/big.html" "$WORK/expected.html" || fail "the big page was not restored as typed"
wait_for_no_file "$DRAFT"
pass
