#!/usr/bin/env bash
# Pages in UTF-8, EUC-JP, ISO-2022-JP and UTF-16 opened with the File menu: each takes a code
# page 932 snippet from "[Plug_1]" and is written back by Overwrite in its own encoding, byte for
# byte (plus the final CR LF in that encoding).
source "$(dirname "$0")/lib.sh" "$1"
e2e_setup

command -v iconv >/dev/null || fail "iconv is not installed"

hex_file() {
    od -An -v -tx1 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# The page's text, in UTF-8 here; each test file is made from it with iconv.
page() {
    printf '<HTML>\r\n<HEAD><TITLE>%s</TITLE></HEAD>\r\n<BODY>\r\n<P>%s</P>\r\n</BODY>\r\n</HTML>\r\n' \
        '日本語のページ' 'ひらがな、カタカナ、漢字が混じった文です。'
}
# "<P>日本</P>" CR LF in code page 932: the snippet.
mkdir -p "$WORK/item"
printf '<P>\x93\xfa\x96\x7b</P>\r\n' >"$WORK/item/plug_1.txt"
# What the program holds after the snippet, followed by the final CR LF of the save.
expected_text() {
    page
    printf '\r\n<P>日本</P>\r\n\r\n'
}

# name, iconv target, byte-order mark (hex, may be empty)
check_page() {
    local name=$1 target=$2 mark=$3 dialog
    { printf "$mark"; page | iconv -f UTF-8 -t "$target"; } >"$WORK/$name"
    { printf "$mark"; expected_text | iconv -f UTF-8 -t "$target"; } >"$E2E_TMP/$name.expected"

    start_zimo
    # "開く．．．(&O)" with Ctrl+O, the path typed into the open dialog.
    open_file "$WORK/$name"
    # "[Plug_1]", then "上書き(&S)" with Ctrl+S.
    keys alt+q Down Down Down Return
    local before
    before=$(stat -c %i "$WORK/$name")
    keys ctrl+s
    local i
    for i in $(seq 1 100); do
        [ "$(stat -c %i "$WORK/$name")" != "$before" ] && break
        sleep 0.05
    done
    [ "$(hex_file "$WORK/$name")" = "$(hex_file "$E2E_TMP/$name.expected")" ] ||
        fail "$name written back as $(hex_file "$WORK/$name" | cut -c1-300), expected $(hex_file "$E2E_TMP/$name.expected" | cut -c1-300)"
    [ -n "${E2E_SCREENSHOT:-}" ] && import -window root "/tmp/zimo-e2e-$name.png"
    # "終了(&X)": nothing is changed, so only "終了します" asks.
    focus_window "$MAIN_WIN"
    keys alt+f x
    answer_box Return
    wait_for_exit "$ZIMO_PID" || fail "zimo did not end after $name"
}

check_page utf8.html UTF-8 ''
check_page euc.html EUC-JP ''
check_page iso.txt ISO-2022-JP ''
check_page utf16.html UTF-16LE '\xff\xfe'
check_page utf16be.html UTF-16BE '\xfe\xff'
pass
