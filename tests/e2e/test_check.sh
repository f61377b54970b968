#!/usr/bin/env bash
# "HTMLをチェック(&K)" with real keys: F7 shows the window "チェック結果" with the page's
# findings, Down and Enter on the second one bring the main window back with the caret at that
# mistake (typed text lands there), and F7 again refreshes the same window.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

# LF line ends; "&copy" without ";" on line 7, an <img> without alt on line 8.
page='<!DOCTYPE html>\n<html>\n<head>\n<title>t</title>\n</head>\n<body>\n<p>&copy x</p>\n<p><img src="a.png"></p>\n</body>\n</html>\n'
printf "$page" >"$WORK/page.html"

start_zimo
open_file "$WORK/page.html"
keys F7
check=$(wait_for_window '^チェック結果$') || fail "no window チェック結果"
focus_window "$check"
keys Down Return
sleep 0.5
focus_window "$MAIN_WIN"
type_text 'X'
keys ctrl+s
expected="$(printf "${page/<img/X<img}\r\n" | od -An -v -tx1 | tr -s ' \n' ' ')"
for i in $(seq 1 100); do
    [ "$(od -An -v -tx1 "$WORK/page.html" | tr -s ' \n' ' ')" = "$expected" ] && break
    sleep 0.05
done
[ "$(od -An -v -tx1 "$WORK/page.html" | tr -s ' \n' ' ')" = "$expected" ] ||
    fail "X did not land before the <img>: $(cat "$WORK/page.html")"

# F7 again: the same window, refreshed.
keys F7
sleep 0.5
[ "$(wait_for_window '^チェック結果$')" = "$check" ] || fail "F7 again made another window"

focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
pass
