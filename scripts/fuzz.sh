#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) and runs each for a bounded
# time: scripts/fuzz.sh [SECONDS per target, default 60] [TARGET ...]. Fails on the first crash,
# sanitizer report, broken invariant, leak or timeout; the input that caused it is left in
# build/fuzz/artifacts/ (replay it with: build/fuzz/fuzz/<target> <file>). Once the fault is
# fixed, copy that input into fuzz/corpus/<target without fuzz_>/: the test suite replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=build/fuzz

cmake --preset fuzz >/dev/null
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_conversion fuzz_template_check)
if ! cmake --build --preset fuzz --target "${targets[@]}" >"$build/build.log" 2>&1; then
    tail -n 40 "$build/build.log"
    exit 1
fi

mkdir -p "$build/artifacts"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in "${targets[@]}"; do
    seeds=fuzz/corpus/${target#fuzz_}
    # New inputs go to a scratch corpus; the checked-in seeds are only read.
    scratch=$build/corpus/${target#fuzz_}
    mkdir -p "$scratch"
    echo "== $target: ${seconds}s"
    log=$build/$target.log
    dict=()
    [ -f "fuzz/${target#fuzz_}.dict" ] && dict=(-dict="fuzz/${target#fuzz_}.dict")
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "${dict[@]}" "$scratch" "$seeds" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "FAIL: $target found a fault; see $log and $build/artifacts/" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "$target: clean, $runs executions, $speed per second"
done
