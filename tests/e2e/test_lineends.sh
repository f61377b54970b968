#!/usr/bin/env bash
# Pages whose lines end in LF, and in CR, as Unix and old Mac editors write them: opened through
# "開く．．．(&O)", every line end is a line of the text area (Down goes to the next line),
# "上書き(&S)" writes the page back byte for byte (with the CR LF every save adds at the end), and
# Enter inserts CR LF among the other line ends.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

# Hex bytes of a printf format, as expect_bytes wants them.
hex_of() {
    printf "$1" | od -An -v -tx1 | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

start_zimo
for end in lf cr; do
    e='\n'
    [ "$end" = cr ] && e='\r'
    # "<P>日本" (code page 932), "line two", an empty line, "end</P>"; no line end at the end.
    page="<P>\x93\xfa\x96\x7b${e}line two${e}${e}end</P>"
    printf "$page" >"$WORK/$end.html"
    open_file "$WORK/$end.html"

    # Overwrite at once: the same bytes and the CR LF every save appends.
    keys ctrl+s
    wait_for_bytes "$WORK/$end.html" "$(hex_of "$page\r\n")"

    # From the start, two lines down is the empty third line: typed text and Enter go there.
    keys ctrl+Home Down Down
    type_text 'X'
    keys Return
    keys ctrl+s
    wait_for_bytes "$WORK/$end.html" \
        "$(hex_of "<P>\x93\xfa\x96\x7b${e}line two${e}X\r\n${e}end</P>\r\n")"
done

# Everything saved: Exit asks only "終了します".
focus_window "$MAIN_WIN"
keys alt+f x
answer_box Return
wait_for_exit "$ZIMO_PID" || fail "zimo did not end"
pass
