#!/usr/bin/env bash
# "ブラウザで表示(&W)" (F12) in the running program, with a recording stand-in for xdg-open: the
# URL handed over for an unchanged HTML file (the file itself), for a changed one (a hidden copy
# beside it, in code page 932) and for a text without a file (a copy in a private temporary
# folder); the first copy removed when the second is made, and no copy left after Exit. A link
# planted at the copy's name is left alone: the copy goes to the private folder, told once.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

mkdir -p "$E2E_TMP/bin" "$E2E_TMP/tmp"
cat >"$E2E_TMP/bin/xdg-open" <<STANDIN
#!/bin/sh
printf '%s\n' "\$*" >>"$E2E_TMP/opened.log"
STANDIN
chmod +x "$E2E_TMP/bin/xdg-open"
export PATH="$E2E_TMP/bin:$PATH"
# The program's temporary folder, to see what it leaves there.
export TMPDIR="$E2E_TMP/tmp"

# The n-th URL handed to xdg-open; waits up to 5 s for it.
opened() {
    local i
    for i in $(seq 1 100); do
        if [ "$(wc -l <"$E2E_TMP/opened.log" 2>/dev/null || echo 0)" -ge "$1" ]; then
            sed -n "$1p" "$E2E_TMP/opened.log"
            return 0
        fi
        sleep 0.05
    done
    fail "xdg-open was not asked a $1. time"
}

# Files whose names mark them as preview copies, anywhere below $WORK and $TMPDIR.
copies() {
    find "$WORK" "$TMPDIR" -name '*zimo-preview*' | sort
}

# <P>日本</P> CR LF in code page 932.
printf '<P>\x93\xfa\x96\x7b</P>\r\n' >"$WORK/page.html"
start_zimo

# Open through the real open dialog.
open_file "$WORK/page.html"

# Unchanged: the file itself, and no copy.
keys F12
[ "$(opened 1)" = "file://$WORK/page.html" ] || fail "unchanged file: asked for '$(opened 1)'"
[ -z "$(copies)" ] || fail "a copy was written for an unchanged file: $(copies)"

# Changed: a hidden copy beside the file with the current text, in code page 932; the file as it was.
type_text '<B>'
keys F12
copy="$WORK/.page.html.zimo-preview.html"
[ "$(opened 2)" = "file://$copy" ] || fail "changed file: asked for '$(opened 2)'"
expect_bytes "$copy" '3c 42 3e 3c 50 3e 93 fa 96 7b 3c 2f 50 3e 0d 0a 0d 0a'
expect_bytes "$WORK/page.html" '3c 50 3e 93 fa 96 7b 3c 2f 50 3e 0d 0a'

# A new text without a file: a copy in a folder of its own in the temporary folder; the copy
# beside page.html is gone.
keys ctrl+n
answer_box Return
focus_window "$MAIN_WIN"
type_text '<I>x'
keys F12
url=$(opened 3)
case "$url" in
"file://$TMPDIR"/zimo-*/zimo-preview.html) ;;
*) fail "text without a file: asked for '$url'" ;;
esac
temporary=${url#file://}
expect_bytes "$temporary" '3c 49 3e 78 0d 0a'
[ "$(stat -c %a "$(dirname "$temporary")")" = 700 ] || fail "the temporary folder is open to others"
[ ! -e "$copy" ] || fail "the copy beside page.html was left when the next one was made"

# Exit: "上書き保存しますか？" cancelled, "終了します" OK. No copy and no folder is left.
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Escape
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
[ -z "$(copies)" ] || fail "copies left after Exit: $(copies)"
[ -z "$(ls -A "$TMPDIR")" ] || fail "left in the temporary folder: $(ls -A "$TMPDIR")"
expect_bytes "$WORK/page.html" '3c 50 3e 93 fa 96 7b 3c 2f 50 3e 0d 0a'
[ "$(wc -l <"$E2E_TMP/opened.log")" -eq 3 ] || fail "xdg-open was asked more than three times"

# A second run: something else holds the copy's name beside the document (a symbolic link to a
# file of the user's, as another user could plant in a shared folder). The page is shown from the
# private folder after one notice; the link and the file it points to stay as they were.
printf 'mine' >"$WORK/victim"
ln -s "$WORK/victim" "$copy"
start_zimo
open_file "$WORK/page.html"
type_text '<U>'
keys F12
answer_box Return
url=$(opened 4)
case "$url" in
"file://$TMPDIR"/zimo-*/zimo-preview.html) ;;
*) fail "name taken beside the file: asked for '$url'" ;;
esac
expect_bytes "${url#file://}" '3c 55 3e 3c 50 3e 93 fa 96 7b 3c 2f 50 3e 0d 0a 0d 0a'
# Told once: the next preview shows no box.
focus_window "$MAIN_WIN"
type_text 'x'
keys F12
[ "$(opened 5)" = "$url" ] || fail "second preview: asked for '$(opened 5)'"
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Escape
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
expect_bytes "$WORK/victim" '6d 69 6e 65'
[ -L "$copy" ] && [ "$(readlink "$copy")" = "$WORK/victim" ] || fail "the planted link was touched"
[ -z "$(ls -A "$TMPDIR")" ] || fail "left in the temporary folder: $(ls -A "$TMPDIR")"
pass
