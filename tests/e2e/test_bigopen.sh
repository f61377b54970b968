#!/usr/bin/env bash
# A big page opened through the Open dialog: Esc pressed while it comes in leaves the earlier
# document as it was (Ctrl+S then writes the earlier text to its own file and leaves the big page
# alone); opened again and left to come in, it becomes the document (Ctrl+S, unavailable while it
# loads, then writes it back byte for byte).
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

hex_sum() { md5sum <"$1" | cut -d' ' -f1; }

printf '<P>small page</P>\r\n<P>\x93\xfa\x96\x7b\x8c\xea</P>' >"$WORK/small.html"
cp "$WORK/small.html" "$E2E_TMP/small.orig"
# About 40 MB of code page 932 lines, CR LF.
awk 'BEGIN { for (i = 0; i < 700000; i++)
    printf "<P>吾輩は猫である。名前はまだ無い。<A HREF=\"index.html\">ZIMO</A> page %d</P>\r\n", i }' |
    iconv -f UTF-8 -t CP932 >"$WORK/big.html"
size=$(stat -c %s "$WORK/big.html")
[ "$size" -gt 30000000 ] || fail "the big page has only $size bytes"
big_sum=$(hex_sum "$WORK/big.html")
big_inode=$(stat -c %i "$WORK/big.html")

start_zimo --open "$WORK/small.html"
sleep 0.3

# Esc while the big page comes in.
open_file "$WORK/big.html"
keys Escape
sleep 1
# The earlier document is the document: Ctrl+S writes its text to its own file.
small_inode=$(stat -c %i "$WORK/small.html")
focus_window "$MAIN_WIN"
keys ctrl+s
for i in $(seq 1 100); do
    [ "$(stat -c %i "$WORK/small.html")" != "$small_inode" ] && break
    sleep 0.05
done
[ "$(stat -c %i "$WORK/small.html")" != "$small_inode" ] || fail "Ctrl+S did not write the earlier file"
[ "$(od -An -v -tx1 "$WORK/small.html")" = "$({ cat "$E2E_TMP/small.orig"; printf '\r\n'; } | od -An -v -tx1)" ] ||
    fail "the earlier document's text changed: $(od -An -c "$WORK/small.html" | head -3)"
[ "$(stat -c %i "$WORK/big.html")" = "$big_inode" ] || fail "the cancelled page was written"
[ "$(hex_sum "$WORK/big.html")" = "$big_sum" ] || fail "the cancelled page changed"

# Opened again and left to come in: Ctrl+S does nothing until it is the document, then writes it.
open_file "$WORK/big.html"
for i in $(seq 1 120); do
    keys ctrl+s
    [ "$(stat -c %i "$WORK/big.html")" != "$big_inode" ] && break
    sleep 0.5
done
[ "$(stat -c %i "$WORK/big.html")" != "$big_inode" ] || fail "the big page never became the document"
[ "$(head -c -2 "$WORK/big.html" | md5sum | cut -d' ' -f1)" = "$big_sum" ] ||
    fail "the big page was not written back byte for byte"
[ "$(tail -c 2 "$WORK/big.html" | od -An -tx1 | tr -d ' ')" = 0d0a ] || fail "no CR LF at the end"
kill -0 "$ZIMO_PID" || fail "zimo ended"
pass
