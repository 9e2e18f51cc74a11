#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test, as CI does:
#  1. the suite on the normal build (build/);
#  2. the suite again on a build with AddressSanitizer and
#     UndefinedBehaviorSanitizer (build-asan/, gcc, -O1), all but the desktop
#     program and its GUI tests (and the benchmarks), to keep CI within time;
#     it compiles each test file alone, where the normal build batches them, so
#     a test file that leans on another's includes or names fails here;
#  3. a short run of every fuzz target (build-fuzz/, clang + libFuzzer);
#  4. a 60-second soak of 32 nodes with churn (scripts/soak.sh).
# The suite includes the Debian package's test (built, checked, installed and
# removed when run as root). Each step prints the time so far, elapsed and of
# the processor. PELMAR_FUZZ_SECONDS and PELMAR_SOAK_SECONDS change the length
# of steps 3 and 4 (0 skips the step).
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler results are cached by paths relative to the checkout, so another
# clone of the tree (CI's) reuses what an earlier build compiled; the
# sloppiness lets files compiled with a precompiled header be cached.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros
fuzz_seconds=${PELMAR_FUZZ_SECONDS:-3}
soak_seconds=${PELMAR_SOAK_SECONDS:-60}
started=$SECONDS
# The processor time of the finished steps tells their cost on a machine that
# others share, where the elapsed time tells mostly how busy it was.
ticks=$(getconf CLK_TCK)
cpu() {
    local stat
    read -r -a stat </proc/$$/stat # the finished children's user and system time
    echo $(((stat[15] + stat[16]) / ticks))
}
step() { echo "== $1 ($((SECONDS - started)) s so far, $(cpu) s of processor time)"; }

./scripts/install-deps.sh

step "build"
./scripts/build.sh
step "suite"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)

step "sanitized build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Every undefined behaviour stops the program; the vptr check is left
# recoverable so that tests/sanitizer/ubsan.supp can silence it where it cannot work.
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize-recover=vptr"
sanitize="$sanitize -fno-omit-frame-pointer"
# gcc's maybe-uninitialized analysis gives false warnings on instrumented code
# (in <regex> here); the normal build keeps the warning.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="-O1 $sanitize -Wno-maybe-uninitialized" \
    -DCMAKE_EXE_LINKER_FLAGS="$sanitize" \
    -DPELMAR_BENCH=OFF -DPELMAR_GUI=OFF -DPELMAR_UNITY_TESTS=OFF -DPELMAR_TEST_CXX_FLAGS=-O0 >/dev/null
cmake --build build-asan -j"$(nproc)"
step "sanitized suite"
(cd build-asan &&
    ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=0 \
    LSAN_OPTIONS="suppressions=$PWD/../tests/sanitizer/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="suppressions=$PWD/../tests/sanitizer/ubsan.supp:print_stacktrace=1:halt_on_error=1" \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600)

if [ "$fuzz_seconds" != 0 ]; then
    step "fuzz targets, $fuzz_seconds s each"
    ./scripts/fuzz.sh "$fuzz_seconds"
fi
if [ "$soak_seconds" != 0 ]; then
    step "soak, $soak_seconds s"
    ./scripts/soak.sh "$soak_seconds"
fi
step "all passed"
