#!/bin/sh
# Builds the libFuzzer targets with clang in their own build directory and
# runs each for a while, one after another, starting from the seeds in
# tests/fuzz/<target>/ and the corpus kept from earlier runs.
#   scripts/fuzz.sh [SECONDS] [BUILD_DIR]
#   scripts/fuzz.sh --seeds [BUILD_DIR]     rewrites the committed seeds
# SECONDS per target (default 30); BUILD_DIR default: build-fuzz at the root.
# PELMAR_FUZZ_TARGETS="fuzz_a fuzz_b" runs just those targets;
# PELMAR_FUZZ_RUNS=N ends each target after N executions if that comes first.
# Corpora are kept in BUILD_DIR/corpus, crash inputs in BUILD_DIR/crashes.
# Ends with one line per target (executions, and whether it found anything)
# and a non-zero status when any target failed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
# Compiler results are cached by paths relative to the checkout, so another
# clone of the tree (CI's) reuses what an earlier build compiled.
CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros
export CCACHE_BASEDIR CCACHE_NOHASHDIR CCACHE_SLOPPINESS
seeds_only=no
if [ "${1:-}" = "--seeds" ]; then
    seeds_only=yes
    shift
fi
seconds=${1:-30}
build=${2:-$root/build-fuzz}
targets="fuzz_messages fuzz_request fuzz_fetch_reply fuzz_reflector_reply fuzz_category_file
fuzz_entrypoint_file fuzz_ini_file fuzz_store_records fuzz_store_files fuzz_shiftjis"
targets=${PELMAR_FUZZ_TARGETS:-$targets}

launcher=""
command -v ccache >/dev/null && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    $launcher -DPELMAR_FUZZ=ON -DPELMAR_TESTS=ON -DPELMAR_BENCH=OFF >/dev/null

if [ $seeds_only = yes ]; then
    cmake --build "$build" --target fuzz_make_seeds -j"$(nproc)"
    "$build/tests/fuzz/fuzz_make_seeds" "$root/tests/fuzz"
    exit 0
fi
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" $(for t in $targets; do printf -- '--target %s ' "$t"; done)

status=0
summary=""
for target in $targets; do
    corpus=$build/corpus/$target
    crashes=$build/crashes/$target/
    mkdir -p "$corpus" "$crashes"
    set -- -max_total_time="$seconds" -max_len=20000 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes"
    [ -n "${PELMAR_FUZZ_RUNS:-}" ] && set -- "$@" -runs="$PELMAR_FUZZ_RUNS"
    dict=$root/tests/fuzz/${target#fuzz_}.dict
    [ -f "$dict" ] && set -- "$@" -dict="$dict"
    echo "== $target: $seconds s"
    log=$build/$target.log
    result=ok
    "$build/tests/fuzz/$target" "$@" "$corpus" "$root/tests/fuzz/$target" >"$log" 2>&1 ||
        result=FAILED
    tail -n 12 "$log"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ $result = FAILED ]; then
        status=1
        grep -m 3 -E 'ERROR|SUMMARY|Test unit written' "$log" || true
    fi
    summary="$summary$target: ${runs:-0} runs, $result
"
done
printf '%s' "$summary"
exit $status
