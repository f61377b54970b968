#!/usr/bin/env bash
# The text area in the whole program:
# - a UTF-8 page holding the characters QTextDocument uses itself (U+2028, U+2029, U+FDD0,
#   U+FDD1, U+FFFC) is opened with Ctrl+O and written back with Ctrl+S unchanged (plus the final
#   CR LF), and Exit asks only "終了します": the text area gave back the text it was given;
# - while the File menu is open, the text beside and below it is still drawn (the menu drops down
#   over the top left corner, where a short page's text lies, and hides only that).
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

command -v compare >/dev/null || fail "ImageMagick is not installed"

# --- Characters held as stand-ins ----------------------------------------------------------
# "<p>a" LS "b" PS "c" FDD0 FDD1 "d" FFFC "</p>" CR LF, in UTF-8.
page_hex='3c 70 3e 61 e2 80 a8 62 e2 80 a9 63 ef b7 90 ef b7 91 64 ef bf bc 3c 2f 70 3e 0d 0a'
printf "$(printf '\\x%s' $page_hex)" >"$WORK/special.html"
expect_bytes "$WORK/special.html" "$page_hex"

start_zimo
open_file "$WORK/special.html"
before=$(stat -c %i "$WORK/special.html")
keys ctrl+s
for i in $(seq 1 100); do
    [ "$(stat -c %i "$WORK/special.html")" != "$before" ] && break
    sleep 0.05
done
expect_bytes "$WORK/special.html" "$page_hex 0d 0a"
# Nothing was changed: "終了(&X)" asks only "終了します".
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo asked more than 終了します after an unchanged save"

# --- The File menu over a short page ---------------------------------------------------------
for i in $(seq 1 20); do printf '<p>line %s</p>\r\n' "$i"; done >"$WORK/short.html"
start_zimo short.html
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$MAIN_WIN")"
# Text below the menu (which is about 130 pixels tall) and the menu bar: lines 9 and after.
region="300x150+$X+$((Y + 200))"
screenshot "$E2E_TMP/closed.png"
keys alt+f
sleep 0.5
screenshot "$E2E_TMP/open.png"
keys Escape Escape
convert "$E2E_TMP/closed.png" -crop "$region" +repage "$E2E_TMP/closed-part.png"
convert "$E2E_TMP/open.png" -crop "$region" +repage "$E2E_TMP/open-part.png"
dark=$(convert "$E2E_TMP/open-part.png" -colorspace Gray -threshold 50% -negate \
    -format '%[fx:int(w*h*mean)]' info:)
[ "$dark" -gt 200 ] || fail "no text drawn below the open File menu ($dark dark pixels)"
differing=$(compare -metric AE "$E2E_TMP/closed-part.png" "$E2E_TMP/open-part.png" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "the text below the File menu changed while it was open ($differing pixels)"
pass
