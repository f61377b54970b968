#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz, clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ (or $ZIMO_FUZZ_BUILD_DIR) and runs each one for the
# given number of seconds (default 30), one after another. Fails when a target finds anything: a
# crash, a sanitizer report, a failed property, a timeout or running out of memory. The input is
# then kept in build-fuzz/fuzz-findings/<target>/ and can be replayed with
#   build-fuzz/tests/fuzz/fuzz_<target> <file>
# Usage: scripts/fuzz.sh [seconds] [target...]   (the targets default to every built one)
# New inputs that reach new code are kept in build-fuzz/fuzz-corpus/<target>/, so later runs go on
# from where earlier ones stopped; the seeds in tests/fuzz/corpus/<target>/ are never changed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZIMO_FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${1:-30}
shift || true

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZIMO_FUZZ=ON -DZIMO_WERROR=ON -DZIMO_BUILD_TESTS=OFF -DZIMO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target zimo_fuzz -- --no-print-directory |
    grep -Ev '^\[ *[0-9]+%\] (Built|Building|Linking|Automatic)|^(Consolidate|Scanning|Generating)' || true
test "${PIPESTATUS[0]}" -eq 0

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
failed=()
while IFS=$'\t' read -r name binary seeds dict; do
    if (($#)) && ! printf '%s\n' "$@" | grep -qx "$name"; then
        continue
    fi
    corpus="$build/fuzz-corpus/$name"
    findings="$build/fuzz-findings/$name"
    mkdir -p "$corpus" "$findings"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$findings/")
    if [ -n "$dict" ]; then args+=(-dict="$dict"); fi
    echo "== fuzz_$name for ${seconds}s"
    log="$build/fuzz-$name.log"
    if "$binary" "${args[@]}" "$corpus" "$seeds" >"$log" 2>&1; then
        # The last coverage line (cov: edges, ft: features, corp: inputs kept) and the totals.
        grep -E '^#[0-9]+.* cov: ' "$log" | tail -n 1 || true
        grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
    else
        failed+=("$name")
        tail -n 40 "$log"
        echo "fuzz_$name: FINDING (input kept in $findings/, full log $log)"
    fi
done <"$build/fuzz_targets.txt"

if ((${#failed[@]})); then
    echo "Fuzzing found faults in: ${failed[*]}"
    exit 1
fi
echo "Fuzzing: no findings"
