#!/usr/bin/env bash
# Configures and builds pelmar into build/ (release with debug info).
# BUILD_TARGETS (space-separated) limits what is built; default: everything.
set -euo pipefail
cd "$(dirname "$0")/.."
# Compiler results are cached by paths relative to the checkout, so another
# clone of the tree (CI's) reuses what an earlier build compiled; the
# sloppiness lets files compiled with a precompiled header be cached.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
targets=()
for target in ${BUILD_TARGETS:-}; do
    targets+=(--target "$target")
done
cmake --build build -j"$(nproc)" "${targets[@]}"
