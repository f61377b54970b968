#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz, clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ (or $ZIMO_FUZZ_BUILD_DIR) and runs each one for the
# given number of seconds (default 30), one after another. Fails when a target finds anything: a
# crash, a sanitizer report, a failed property, a timeout or running out of memory. The input is
# then kept in build-fuzz/fuzz-findings/<target>/ and can be replayed with
#   build-fuzz/tests/fuzz/fuzz_<target> <file>
# Usage: scripts/fuzz.sh [seconds] [target...]   (the targets default to every built one)
# ZIMO_FUZZ_JOBS=2 runs two targets at a time.
# New inputs that reach new code are kept in build-fuzz/fuzz-corpus/<target>/, so later runs go on
# from where earlier ones stopped; the seeds in tests/fuzz/corpus/<target>/ are never changed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZIMO_FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${1:-30}
shift || true

"$here/scripts/setup.sh"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZIMO_FUZZ=ON -DZIMO_WERROR=ON -DZIMO_BUILD_TESTS=OFF -DZIMO_BUILD_BENCH=OFF >/dev/null
# The filter never fails; with pipefail a failed build fails the script.
cmake --build "$build" -j2 --target zimo_fuzz -- --no-print-directory |
    { grep -Ev '^\[ *[0-9]+%\] (Built|Building|Linking|Automatic)|^(Consolidate|Scanning|Generating)' || true; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
jobs=${ZIMO_FUZZ_JOBS:-1}

# Runs one target; prints its figures (or the end of its log) in one piece when it is done and
# leaves "ok" or "finding" in $build/fuzz-<name>.status.
run_target() {
    local name=$1 binary=$2 seeds=$3 dict=$4
    local corpus="$build/fuzz-corpus/$name" findings="$build/fuzz-findings/$name"
    local log="$build/fuzz-$name.log"
    mkdir -p "$corpus" "$findings"
    local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                -artifact_prefix="$findings/")
    if [ -n "$dict" ]; then args+=(-dict="$dict"); fi
    local report
    if "$binary" "${args[@]}" "$corpus" "$seeds" >"$log" 2>&1; then
        echo ok >"$build/fuzz-$name.status"
        # The last coverage line (cov: edges, ft: features, corp: inputs kept) and the totals.
        report=$(grep -E '^#[0-9]+.* cov: ' "$log" | tail -n 1 || true
                 grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true)
    else
        echo finding >"$build/fuzz-$name.status"
        report=$(tail -n 40 "$log"
                 echo "fuzz_$name: FINDING (input kept in $findings/, full log $log)")
    fi
    printf '== fuzz_%s, %ss\n%s\n' "$name" "$seconds" "$report"
}

names=()
while IFS=$'\t' read -r name binary seeds dict; do
    if (($#)) && ! printf '%s\n' "$@" | grep -qx "$name"; then
        continue
    fi
    names+=("$name")
    rm -f "$build/fuzz-$name.status"
    # At most $ZIMO_FUZZ_JOBS targets at a time (default 1).
    while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
    run_target "$name" "$binary" "$seeds" "$dict" &
done <"$build/fuzz_targets.txt"
wait

if ((${#names[@]} == 0)); then
    echo "No fuzz target ran (asked for: ${*:-every target})"
    exit 1
fi
failed=()
for name in "${names[@]}"; do
    if [ "$(cat "$build/fuzz-$name.status" 2>/dev/null)" != ok ]; then failed+=("$name"); fi
done
if ((${#failed[@]})); then
    echo "Fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "Fuzzing: no findings in ${names[*]}"
