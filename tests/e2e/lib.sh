# Helpers for whole-program tests: the real zimo binary in its own Xvfb server, driven by xdotool.
# A test script sources this file with the binary's path as $1:
#
#   source "$(dirname "$0")/lib.sh" "$1"
#   e2e_setup                    # Xvfb, temporary work/runtime/home folders, cleanup on exit
#   start_zimo file.txt          # zimo in $WORK with these arguments; sets ZIMO_PID, MAIN_WIN
#   start_zimo_with_draft Return # the same, answering the question about a draft left behind
#   wait_for_file "$DRAFT"       # the draft of the unsaved text ($XDG_STATE_HOME/zimo/draft)
#   keys ctrl+b ctrl+u           # key presses, one after another, to the focused window
#   type_text 'abc'              # types ASCII text
#   save_as "$WORK/out.txt"      # the File menu's save command through the real save dialog
#   wait_for_file "$WORK/out.txt"; expect_bytes "$WORK/out.txt" '61 62 63 0d 0a'
#   answer_box Return            # answers the next message box with a key
#   pass
#
# Everything stays in $WORK (zimo's working folder) and $E2E_TMP; nothing touches the real $HOME.

set -euo pipefail
export LC_ALL=C.UTF-8

ZIMO_BIN=$(readlink -f "${1:?usage: test script needs the zimo binary path}")
E2E_NAME=$(basename "$0" .sh)

fail() {
    echo "FAIL ($E2E_NAME): $*" >&2
    if [ -n "${E2E_TMP:-}" ] && [ -n "${DISPLAY:-}" ]; then
        if import -window root "/tmp/zimo-e2e-$E2E_NAME-failure.png" 2>/dev/null; then
            echo "screenshot: /tmp/zimo-e2e-$E2E_NAME-failure.png" >&2
        fi
        [ -s "$E2E_TMP/zimo.log" ] && sed 's/^/zimo: /' "$E2E_TMP/zimo.log" >&2
    fi
    exit 1
}

pass() {
    echo "PASS ($E2E_NAME)"
    exit 0
}

e2e_cleanup() {
    local pid
    for pid in ${E2E_PIDS:-}; do kill -9 "$pid" 2>/dev/null || true; done
    if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
    if [ -n "${E2E_TMP:-}" ]; then rm -rf "$E2E_TMP"; fi
}

e2e_setup() {
    E2E_TMP=$(mktemp -d /tmp/zimo-e2e.XXXXXX)
    WORK="$E2E_TMP/work"
    mkdir -p "$WORK" "$E2E_TMP/home" "$E2E_TMP/run"
    chmod 700 "$E2E_TMP/run"
    export HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/run"
    export XDG_CONFIG_HOME="$E2E_TMP/home/.config"
    export XDG_STATE_HOME="$E2E_TMP/home/.local/state"
    DRAFT="$XDG_STATE_HOME/zimo/draft"
    export QT_QPA_PLATFORM=xcb
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
    E2E_PIDS=""
    trap e2e_cleanup EXIT

    command -v Xvfb >/dev/null || fail "Xvfb is not installed"
    command -v xdotool >/dev/null || fail "xdotool is not installed"
    # Xvfb picks a free display itself and writes its number to the descriptor given; so runs at
    # the same time never share a server.
    local fifo="$E2E_TMP/display" i n=""
    mkfifo "$fifo"
    # -noreset: the server must not restart (refusing connections meanwhile) when xdpyinfo leaves.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" >"$E2E_TMP/xvfb.log" 2>&1 &
    XVFB_PID=$!
    read -r -t 10 n <"$fifo" || true
    [ -n "$n" ] || fail "could not start Xvfb: $(cat "$E2E_TMP/xvfb.log")"
    export DISPLAY=":$n"
    for i in $(seq 1 100); do
        kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb ended: $(cat "$E2E_TMP/xvfb.log")"
        if xdpyinfo >/dev/null 2>&1; then return 0; fi
        sleep 0.05
    done
    fail "Xvfb on $DISPLAY does not answer"
}

# Starts zimo in $WORK with the given arguments; sets ZIMO_PID.
launch_zimo() {
    (cd "$WORK" && exec "$ZIMO_BIN" "$@") >>"$E2E_TMP/zimo.log" 2>&1 &
    ZIMO_PID=$!
    disown "$ZIMO_PID" 2>/dev/null || true
    E2E_PIDS="$E2E_PIDS $ZIMO_PID"
}

# Starts zimo in $WORK with the given arguments and waits for its main window.
start_zimo() {
    launch_zimo "$@"
    MAIN_WIN=$(wait_for_window '^ZIMO$' "$ZIMO_PID") || fail "zimo showed no main window"
    focus_window "$MAIN_WIN"
}

# Starts zimo as start_zimo does when a draft was left behind: the question about it comes
# before the main window and is answered with the key $1 (Return: Yes, Escape: No).
start_zimo_with_draft() {
    local key=$1 box
    shift
    launch_zimo "$@"
    box=$(wait_for_window '^ZIMO$' "$ZIMO_PID") || fail "zimo asked nothing about the draft"
    focus_window "$box"
    keys "$key"
    wait_closed "$box"
    MAIN_WIN=$(wait_for_window '^ZIMO$' "$ZIMO_PID") || fail "zimo showed no main window"
    focus_window "$MAIN_WIN"
}

# Ids of the visible windows of a process (default zimo) whose name matches the regex.
windows_named() {
    xdotool search --onlyvisible --pid "${2:-$ZIMO_PID}" --name "$1" 2>/dev/null || true
}

# Prints the id of the newest visible window of `pid` whose name matches; waits up to 10 s.
wait_for_window() {
    local name=$1 pid=${2:-$ZIMO_PID} i id
    for i in $(seq 1 200); do
        id=$(windows_named "$name" "$pid" | tail -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

# Waits until zimo has exactly `count` visible windows named `name`.
wait_for_window_count() {
    local name=$1 count=$2 i
    for i in $(seq 1 200); do
        [ "$(windows_named "$name" | grep -c . || true)" -eq "$count" ] && return 0
        sleep 0.05
    done
    return 1
}

# The id of a visible window of zimo other than the main window (a dialog); waits up to 10 s.
wait_for_dialog() {
    local i id
    for i in $(seq 1 200); do
        id=$(windows_named '.' | grep -vx "$MAIN_WIN" | tail -n 1 || true)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

focus_window() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1" 2>/dev/null || true
    sleep 0.2
}

keys() {
    local k
    for k in "$@"; do
        xdotool key --clearmodifiers "$k"
        sleep 0.15
    done
}

type_text() {
    xdotool type --delay 20 -- "$1"
    sleep 0.2
}

# Waits until the window with id $1 is gone.
wait_closed() {
    local i
    for i in $(seq 1 200); do
        windows_named '.' | grep -qx "$1" || return 0
        sleep 0.05
    done
    fail "window $1 did not close"
}

# The id of the dialog that comes up next, checked to be titled $1.
dialog_titled() {
    local id
    id=$(wait_for_dialog) || fail "no window '$1' appeared"
    [ "$(xdotool getwindowname "$id")" = "$1" ] ||
        fail "expected window '$1', got '$(xdotool getwindowname "$id")'"
    echo "$id"
}

# Answers the message box that zimo shows next (titled "ZIMO" unless a title is given as $2)
# with a key: Return presses the default (first) button, Escape cancels.
answer_box() {
    local box
    box=$(dialog_titled "${2:-ZIMO}")
    focus_window "$box"
    keys "$1"
    wait_closed "$box"
}

# Types a path into the file dialog that the keys given open, presses Enter and comes back to
# the main window: file_dialog open ctrl+o PATH, file_dialog save "alt+f a" PATH.
file_dialog() {
    local what=$1 open_keys=$2 path=$3 dialog
    focus_window "$MAIN_WIN"
    keys $open_keys
    dialog=$(wait_for_dialog) || fail "no $what dialog for $path"
    focus_window "$dialog"
    keys ctrl+a
    type_text "$path"
    keys Return
    wait_for_window_count '.' 1 || fail "the $what dialog did not close for $path"
    focus_window "$MAIN_WIN"
}

# The File menu's "保存．．．(&A)": types the path into the save dialog and presses Enter.
save_as() {
    file_dialog save "alt+f a" "$1"
}

# "開く．．．(&O)" (Ctrl+O): types the path into the open dialog and presses Enter.
open_file() {
    file_dialog open ctrl+o "$1"
}

wait_for_file() {
    local i
    for i in $(seq 1 100); do
        [ -e "$1" ] && return 0
        sleep 0.05
    done
    fail "file $1 did not appear"
}

# Compares a file with the expected bytes, written as hex pairs ("61 62 0d 0a").
expect_bytes() {
    local got
    got=$(od -An -v -tx1 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
    [ "$got" = "$2" ] || fail "bytes of $1: got '$got', expected '$2'"
}

# Waits until the file $1 holds the bytes $2 (hex pairs, as expect_bytes takes them), then
# compares: a save that is still on its way gets a moment, a wrong one fails.
wait_for_bytes() {
    local i
    for i in $(seq 1 100); do
        [ "$(od -An -v -tx1 "$1" 2>/dev/null | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')" = "$2" ] && break
        sleep 0.05
    done
    expect_bytes "$1" "$2"
}

# Ctrl+S in the main window; waits until the file $1 was replaced (another inode).
overwrite() {
    local before i
    before=$(stat -c %i "$1")
    focus_window "$MAIN_WIN"
    keys ctrl+s
    for i in $(seq 1 100); do
        [ "$(stat -c %i "$1")" != "$before" ] && return 0
        sleep 0.05
    done
    fail "Ctrl+S did not write $1"
}

# The file $1 holds the bytes of the file $2 plus the CR LF that ends every write.
expect_written_back() {
    [ "$(od -An -v -tx1 "$1" | tr -d ' \n')" = "$(od -An -v -tx1 "$2" | tr -d ' \n')0d0a" ] ||
        fail "$1 was not written back byte for byte"
}

# Waits until the file $1 is gone.
wait_for_no_file() {
    local i
    for i in $(seq 1 100); do
        [ -e "$1" ] || return 0
        sleep 0.05
    done
    fail "file $1 is still there"
}

wait_for_exit() {
    local pid=$1 i
    for i in $(seq 1 200); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.05
    done
    return 1
}

screenshot() {
    import -window root "$1"
}
