#!/usr/bin/env bash
# The markup commands in the running program: a document from the command line, <BR> added with
# Ctrl+B and undone with Ctrl+U, a line selected with keys and wrapped with Ctrl+C, a snippet
# appended from the Edit menu, <BR> added twice and removed once, the count's two boxes; the
# results checked through saves.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

# Hex bytes of a printf format, as expect_bytes wants them.
hex_of() {
    printf "$1" | od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# "日本語" CR LF "def" CR LF "ghi", in code page 932; start-up inserts each line with CR LF.
printf '\x93\xfa\x96\x7b\x8c\xea\r\ndef\r\nghi' >"$WORK/doc.txt"
# A snippet: "<P>日本</P>" CR LF.
mkdir -p "$WORK/item"
printf '<P>\x93\xfa\x96\x7b</P>\r\n' >"$WORK/item/plug_1.txt"

start_zimo doc.txt

# <BR> added, then undone: the caret is at the start of the text afterwards.
keys ctrl+b ctrl+u
# The second line selected with keys and wrapped in the CENTER block (Ctrl+C does not copy).
keys Down Home shift+End ctrl+c
# "[Plug_1]": the fourth item of "編集(&Q)".
keys alt+q Down Down Down Return
# Two tags added, one removed.
keys ctrl+b ctrl+b ctrl+d

save_as "$WORK/out1.txt"
wait_for_file "$WORK/out1.txt"
jp='\x93\xfa\x96\x7b\x8c\xea'
one="$jp<BR>\r\n<BR>\r\n<CENTER><BR>\r\ndef<BR>\r\n</CENTER><BR>\r\n<BR>\r\nghi<BR>\r\n<BR>\r\n<P>\x93\xfa\x96\x7b</P><BR>\r\n\r\n"
expect_bytes "$WORK/out1.txt" "$(hex_of "$one")"

# "I'll be back" gives the text from before the removal: two tags at every break.
focus_window "$MAIN_WIN"
keys ctrl+u
save_as "$WORK/out2.txt"
wait_for_file "$WORK/out2.txt"
two="$jp<BR><BR>\r\n<BR><BR>\r\n<CENTER><BR><BR>\r\ndef<BR><BR>\r\n</CENTER><BR><BR>\r\n<BR><BR>\r\nghi<BR><BR>\r\n<BR><BR>\r\n<P>\x93\xfa\x96\x7b</P><BR><BR>\r\n\r\n"
expect_bytes "$WORK/out2.txt" "$(hex_of "$two")"

# The count: "まだ作成中です。" and then the number, each answered with Enter.
focus_window "$MAIN_WIN"
keys ctrl+l
answer_box Return
answer_box Return
kill -0 "$ZIMO_PID" 2>/dev/null || fail "zimo ended"
pass
