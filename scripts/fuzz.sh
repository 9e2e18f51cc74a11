#!/bin/sh
# Builds the libFuzzer targets with clang in their own build directory and
# runs each for a while.
#   scripts/fuzz.sh [SECONDS] [BUILD_DIR]
# SECONDS per target (default 30); BUILD_DIR default: build-fuzz at the root.
# Corpora are kept in BUILD_DIR/corpus, crash inputs in BUILD_DIR/crashes.
set -eu

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build-fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DPELMAR_FUZZ=ON -DPELMAR_TESTS=ON -DPELMAR_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_messages fuzz_request -j2

status=0
for target in fuzz_messages fuzz_request; do
    dict=$root/tests/fuzz/${target#fuzz_}.dict
    corpus=$build/corpus/$target
    crashes=$build/crashes/$target/
    mkdir -p "$corpus" "$crashes"
    echo "== $target: $seconds s"
    "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=20000 -print_final_stats=1 \
        -dict="$dict" -artifact_prefix="$crashes" "$corpus" || status=1
done
exit $status
