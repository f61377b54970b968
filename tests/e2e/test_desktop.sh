#!/usr/bin/env bash
# Pages opened from the desktop: the desktop entry's Exec line with %f replaced, as a file manager
# runs it. A 50 KB EUC-JP page and a 2 KB UTF-8 page open as documents (Ctrl+S writes them back),
# and a second start hands its page to the running window, which replaces an unchanged document
# and asks first for a changed one; the second start ends within a second, with no window.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

entry="$(dirname "$0")/../../data/jp.zimo.ZIMO.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ -n "$exec_line" ] || fail "no Exec line in $entry"
# The command a file manager runs for `file`, in the array `cmd`.
desktop_command() {
    local word
    cmd=()
    read -ra words <<<"$exec_line"
    for word in "${words[@]}"; do
        case $word in
        zimo) cmd+=("$ZIMO_BIN") ;;
        %f) cmd+=("$1") ;;
        *) cmd+=("$word") ;;
        esac
    done
    [ "${cmd[0]}" = "$ZIMO_BIN" ] || fail "the Exec line does not start zimo: $exec_line"
}

hex() { od -An -v -tx1 "$@" | tr -d ' \n'; }

# A 50 KB page in EUC-JP (over the 10,000 bytes of `zimo PATH`) and a 2 KB page in UTF-8.
{
    printf '<HTML>\r\n<HEAD><META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=EUC-JP">'
    printf '<TITLE>日本語のページ</TITLE></HEAD>\r\n<BODY>\r\n'
    for i in $(seq 1 1500); do printf '<P>第%d段落：ひらがなと漢字</P>\r\n' "$i"; done
    printf '</BODY>\r\n</HTML>'
} | iconv -f UTF-8 -t EUC-JP >"$WORK/euc page.html"
{
    printf '<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>ユーティーエフ</title></head><body>\n'
    for i in $(seq 1 60); do printf '<p>行%02d：カタカナ</p>\n' "$i"; done
    printf '</body></html>\n'
} >"$WORK/utf8.html"
size=$(stat -c %s "$WORK/euc page.html")
[ "$size" -gt 45000 ] && [ "$size" -lt 60000 ] || fail "the EUC-JP page has $size bytes"
cp "$WORK/euc page.html" "$E2E_TMP/euc.orig"
cp "$WORK/utf8.html" "$E2E_TMP/utf8.orig"


# Started from the desktop: the page opens as a document, whole, its file name set.
desktop_command "$WORK/euc page.html"
launch_zimo "${cmd[@]:1}"
MAIN_WIN=$(wait_for_window '^ZIMO$' "$ZIMO_PID") || fail "zimo showed no main window"
focus_window "$MAIN_WIN"
sleep 0.5
overwrite "$WORK/euc page.html"
expect_written_back "$WORK/euc page.html" "$E2E_TMP/euc.orig"

# The characters are right: typing makes a draft, whose journal's base holds the text as UTF-16LE.
keys ctrl+Home
type_text 'x'
wait_for_file "$DRAFT"
draft=$(cat "$DRAFT" "$(dirname "$DRAFT")"/base-* | hex)
want=$(printf '第1500段落：ひらがなと漢字' | iconv -f UTF-8 -t UTF-16LE | hex)
[[ $draft == *"$want"* ]] || fail "the draft does not hold the page's Japanese text"
grep -aq "euc page.html" "$DRAFT" || fail "the draft does not name the page's file"

# A second start with another page: the running window asks first (its text was changed); the
# second start itself ends within a second and shows nothing.
second_start() {
    local t0 t1 pid
    desktop_command "$1"
    t0=$(date +%s%N)
    (cd "$WORK" && exec "${cmd[@]}") >>"$E2E_TMP/zimo2.log" 2>&1 &
    pid=$!
    E2E_PIDS="$E2E_PIDS $pid"
    # Ending by itself within the second also means it showed nothing: its refusal message
    # would wait for an answer.
    wait_for_exit "$pid" || fail "the second start did not end"
    t1=$(date +%s%N)
    [ $(((t1 - t0) / 1000000)) -lt 1000 ] || fail "the second start took $(((t1 - t0) / 1000000)) ms"
    wait "$pid" || fail "the second start ended with status $?"
}
second_start "$WORK/utf8.html"
box=$(dialog_titled ZIMO)
# Cancel keeps the changed EUC-JP document.
focus_window "$box"
keys Escape
wait_closed "$box"
overwrite "$WORK/euc page.html"
[ "$(head -c 1 "$WORK/euc page.html")" = x ] || fail "Cancel did not keep the typed text"
cp "$E2E_TMP/euc.orig" "$WORK/euc page.html"

# Changed again (the write above made it unchanged, so type), and this time OK: the UTF-8 page,
# given with a path relative to the second start's folder, replaces it.
type_text 'y'
second_start "utf8.html"
answer_box Return
wait_for_window_count '.' 1 || fail "zimo has more than its main window"
overwrite "$WORK/utf8.html"
expect_written_back "$WORK/utf8.html" "$E2E_TMP/utf8.orig"

# Unchanged: the next page replaces it without a question.
second_start "$WORK/euc page.html"
sleep 0.5
wait_for_window_count '.' 1 || fail "zimo asked something for an unchanged document"
overwrite "$WORK/euc page.html"
expect_written_back "$WORK/euc page.html" "$E2E_TMP/euc.orig"
# Only one copy ran all along.
[ "$(pgrep -c -f "^$ZIMO_BIN")" -eq 1 ] || fail "more than one zimo is running"
pass
