#!/usr/bin/env bash
# Start-up as a user meets it: a document path with a space and Japanese characters on the
# command line, a second copy refused with its message, and a copy killed hard not blocking the
# next start (which offers the killed copy's draft).
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

# "日本語 テキスト" in code page 932: a CR LF line, a lone-CR line end and a last line without end.
doc="$WORK/新しい 文書.txt"
printf '\x93\xfa\x96\x7b\x8c\xea\r\nabc\rxyz' >"$doc"

start_zimo "$doc" extra-argument-ignored
first=$ZIMO_PID

# The window stands in the middle of the 1280 x 1024 screen (no window manager: no frame).
eval "$(xdotool getwindowgeometry --shell "$MAIN_WIN")"
dx=$((X - (1280 - WIDTH) / 2)); dy=$((Y - (1024 - HEIGHT) / 2))
[ "${dx#-}" -le 1 ] && [ "${dy#-}" -le 1 ] || fail "window at $X,$Y size ${WIDTH}x$HEIGHT is not centred"

# A second copy shows its message and ends without a window of its own.
(cd "$WORK" && exec "$ZIMO_BIN") >>"$E2E_TMP/zimo2.log" 2>&1 &
second=$!
disown "$second" 2>/dev/null || true
E2E_PIDS="$E2E_PIDS $second"
box=$(wait_for_window '^ZIMO$' "$second") || fail "the second copy showed no message"
focus_window "$box"
keys Return
wait_for_exit "$second" || fail "the second copy did not end"
kill -0 "$first" 2>/dev/null || fail "the first copy ended too"

# The document's lines are in the text area: saving writes them back, each line with CR LF, plus
# the final CR LF of every save.
save_as "$WORK/out.txt"
wait_for_file "$WORK/out.txt"
expect_bytes "$WORK/out.txt" "93 fa 96 7b 8c ea 0d 0a 61 62 63 0d 0a 78 79 7a 0d 0a 0d 0a"

# A copy that crashed leaves no lock that blocks the next start. Its document (the command-line
# file, never written over) was kept as a draft, which the next start offers; No removes it.
wait_for_file "$DRAFT"
kill -9 "$first"
wait_for_exit "$first" || fail "could not kill the first copy"
start_zimo_with_draft Escape
kill -0 "$ZIMO_PID" 2>/dev/null || fail "zimo did not start after a crashed copy"
wait_for_no_file "$DRAFT"
pass
