#!/usr/bin/env bash
# Opens PAGE in the real program as the desktop's "open with" does (`zimo --open PAGE`, which
# takes the same DocumentCommands::openDocument path as the Open dialog), in its own Xvfb, and
# stops it once it has used no CPU for a second (the highlighter's idle steps done). Prints the
# CPU time and the peak memory. With OUT given, records it with `perf record` into OUT.
#
#   bench/open/profile_open.sh build/src/zimo /tmp/page932.html /tmp/p932.data
set -euo pipefail
bin=$(realpath "$1") page=$(realpath "$2") out=${3:-}
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!; read -r disp <"$fifo"; rm -f "$fifo"; export DISPLAY=:$disp
home=$(mktemp -d); work=$(mktemp -d)
trap 'kill $xvfb; rm -rf "$home" "$work"' EXIT
if [ -n "$out" ]; then
    out=$(realpath -m "$out")
    (cd "$work" && HOME=$home XDG_RUNTIME_DIR=$home \
        exec perf record -F 499 --call-graph dwarf,16384 -o "$out" -- "$bin" --open "$page") \
        >/dev/null 2>&1 &
else
    (cd "$work" && HOME=$home XDG_RUNTIME_DIR=$home exec "$bin" --open "$page") >/dev/null 2>&1 &
fi
runner=$!
sleep 1
pid=$(pgrep -n -f -- "$bin --open")
last=-1
while :; do
    sleep 1
    now=$(awk '{print $14+$15}' /proc/$pid/stat)
    [ "$now" = "$last" ] && break
    last=$now
done
echo "cpu_s=$(awk -v t="$now" -v h="$(getconf CLK_TCK)" 'BEGIN{print t/h}')" \
     "vmhwm_kib=$(awk '/VmHWM/{print $2}' /proc/$pid/status)"
kill $pid; wait $runner || true
