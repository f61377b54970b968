#!/usr/bin/env bash
# File names that are not UTF-8 (made on older systems, in Shift_JIS or EUC-JP): `zimo PATH`
# inserts the file's lines, `zimo --open` opens the very file, Ctrl+S writes it back byte for
# byte and makes no file of another name, a draft names the same file after a kill, and a second
# start hands such a name to the running window.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

sjis=$'\x93\xfa\x96\x7b.html' # 日本.html in Shift_JIS
euc=$'\xc6\xfc\xcb\xdc.html'  # 日本.html in EUC-JP
hex() { od -An -v -tx1 "$@" | tr -d ' \n'; }
# The folder's names as bytes.
listing() { find "$WORK" -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort | hex; }

printf '<HTML><BODY>\r\n<P>シフトJISのページ</P>\r\n</BODY></HTML>' | iconv -f UTF-8 -t SHIFT_JIS >"$WORK/$sjis"
printf '<HTML><BODY>\r\n<P>EUCのページ</P>\r\n</BODY></HTML>' | iconv -f UTF-8 -t EUC-JP >"$WORK/$euc"
cp "$WORK/$sjis" "$E2E_TMP/sjis.orig"
cp "$WORK/$euc" "$E2E_TMP/euc.orig"
names=$(listing)

# Written back byte for byte, and no file of another name made beside it.
expect_written_back_only() {
    expect_written_back "$1" "$2"
    [ "$(listing)" = "$names" ] || fail "the folder's names changed: $(ls -b "$WORK")"
}

# `zimo PATH`: the lines are inserted (the text then differs from the empty file_text: a draft
# with the page's text appears).
start_zimo "$sjis"
wait_for_file "$DRAFT"
want=$(printf 'シフトJISのページ' | iconv -f UTF-8 -t UTF-16LE | hex)
[[ $(hex "$DRAFT") == *"$want"* ]] || fail "zimo PATH did not insert the page's lines"
kill -9 "$ZIMO_PID"
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
rm -f "$DRAFT"

# `zimo --open`: the very file is opened and written back.
start_zimo --open "$WORK/$sjis"
sleep 0.5
overwrite "$WORK/$sjis"
expect_written_back_only "$WORK/$sjis" "$E2E_TMP/sjis.orig"

# Typed, killed, restored: the draft names the same file, and Ctrl+S writes to it.
keys ctrl+Home
type_text 'x'
wait_for_file "$DRAFT"
kill -9 "$ZIMO_PID"
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
start_zimo_with_draft Return
sleep 0.5
overwrite "$WORK/$sjis"
[ "$(head -c 1 "$WORK/$sjis")" = x ] || fail "the restored draft was not written to its file"
[ "$(listing)" = "$names" ] || fail "the folder's names changed: $(ls -b "$WORK")"
cp "$E2E_TMP/sjis.orig" "$WORK/$sjis"

# A second start hands the EUC-JP name (relative to its folder) to the running window, whose
# document is unchanged: it opens without a question, and Ctrl+S writes that file back.
(cd "$WORK" && exec "$ZIMO_BIN" --open "$euc") >>"$E2E_TMP/zimo2.log" 2>&1 &
second=$!
E2E_PIDS="$E2E_PIDS $second"
wait_for_exit "$second" || fail "the second start did not end"
sleep 0.5
wait_for_window_count '.' 1 || fail "zimo has more than its main window"
overwrite "$WORK/$euc"
expect_written_back_only "$WORK/$euc" "$E2E_TMP/euc.orig"
pass
