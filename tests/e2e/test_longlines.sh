#!/usr/bin/env bash
# Pages of one long line, as minified HTML is, of 1 MiB and 20 MiB, in UTF-8 and in code page 932:
# opened with "開く．．．(&O)", a character typed at the end and taken back with Backspace, one
# more typed and taken back at the start, then "上書き(&S)": the file is written back byte for
# byte (with the CR LF every save appends). Before long lines were cut into paragraphs, the 1 MiB
# page alone kept the program busy for over a minute.
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

command -v iconv >/dev/null || fail "iconv is not installed"

# A page of about $1 MiB in one line (no line end at all), in UTF-8.
one_line_page() {
    local unit='<li class="item"><a href="/p/1.html">項目の説明です</a><span>日付 2026-12-08</span></li>'
    bytes=$(printf '%s' "$unit" | wc -c)
    printf '<html><body><ul>'
    awk -v unit="$unit" -v n=$(($1 * 1024 * 1024 / bytes + 1)) \
        'BEGIN { for (i = 0; i < n; i++) printf "%s", unit }'
    printf '</ul></body></html>'
}

# Waits up to $3 seconds until file $1 has the bytes of file $2.
wait_for_same() {
    local i
    for i in $(seq 1 $(($3 * 10))); do
        cmp -s "$1" "$2" && return 0
        sleep 0.1
    done
    fail "$1 was written back as $(cmp "$1" "$2" 2>&1 | head -c 300)"
}

check_page() {
    local name=$1 mib=$2 encoding=$3
    one_line_page "$mib" | iconv -f UTF-8 -t "$encoding" >"$WORK/$name"
    [ "$(tr -cd '\r\n' <"$WORK/$name" | wc -c)" = 0 ] || fail "$name is not one line"
    { cat "$WORK/$name"; printf '\r\n'; } >"$E2E_TMP/$name.expected"

    start_zimo
    open_file "$WORK/$name"
    # Keys at the end and at the start of the line; each is taken back at once.
    keys ctrl+End
    type_text 'Z'
    keys BackSpace ctrl+Home
    type_text 'Q'
    keys BackSpace ctrl+s
    wait_for_same "$WORK/$name" "$E2E_TMP/$name.expected" 120
    # Everything saved: Exit asks only "終了します".
    focus_window "$MAIN_WIN"
    keys alt+f x
    answer_box Return
    wait_for_exit "$ZIMO_PID" || fail "zimo did not end after $name"
}

check_page utf8-1.html 1 UTF-8
check_page sjis-1.html 1 CP932
check_page utf8-20.html 20 UTF-8
check_page sjis-20.html 20 CP932
pass
