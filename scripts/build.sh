#!/usr/bin/env bash
# Configures and builds pelmar into build/ (release with debug info).
# BUILD_TARGETS (space-separated) limits what is built; default: everything.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
targets=()
for target in ${BUILD_TARGETS:-}; do
    targets+=(--target "$target")
done
cmake --build build -j"$(nproc)" "${targets[@]}"
