#!/usr/bin/env bash
# Runs every fuzz harness (or those named) for SECONDS each, two at a time, on a working copy
# of its seed corpus; prints executions and findings per harness. Exit 1 on any finding.
#   fuzz/run.sh SECONDS [HARNESS...]
# Builds into $SCOUTLY_FUZZ_BUILD (default build-fuzz) with clang first. Crashing inputs land
# in <build>/artifacts/<harness>/; new interesting inputs in <build>/corpus/<harness>/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${SCOUTLY_FUZZ_BUILD:-$ROOT/build-fuzz}
JOBS=${SCOUTLY_FUZZ_JOBS:-2}
SECONDS_EACH=${1:?usage: fuzz/run.sh SECONDS [HARNESS...]}
shift
HARNESSES=("$@")
if [ ${#HARNESSES[@]} -eq 0 ]; then
    HARNESSES=($(ls "$ROOT/fuzz/corpus"))
fi

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++ -DSCOUTLY_FUZZ=ON \
        -DSCOUTLY_BUILD_TESTS=OFF -DSCOUTLY_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD" --target fuzzers

run_one() {
    local name=$1 seconds=$2 build=$3 root=$4
    mkdir -p "$build/corpus/$name" "$build/artifacts/$name" "$build/logs"
    local log="$build/logs/$name.log" started=$SECONDS
    # Qt's platform plugins are never loaded; keep it quiet about a missing runtime folder.
    if QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='*.debug=false;*.warning=false' \
        "$build/bin/fuzz_$name" -max_total_time="$seconds" -timeout=10 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$name/" \
        "$build/corpus/$name" "$root/fuzz/corpus/$name" >"$log" 2>&1; then
        status=clean
    else
        status="FINDING (see $log)"
    fi
    local runs
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    printf '%-12s %12s executions in %4ss  %s\n' "$name" "${runs:-?}" "$((SECONDS - started))" \
        "$status"
}
mkdir -p "$BUILD/logs"
export -f run_one

printf '%s\n' "${HARNESSES[@]}" |
    xargs -P "$JOBS" -I{} bash -c 'run_one "$@"' _ {} "$SECONDS_EACH" "$BUILD" "$ROOT" |
    tee "$BUILD/logs/summary.txt"
! grep -q FINDING "$BUILD/logs/summary.txt"
