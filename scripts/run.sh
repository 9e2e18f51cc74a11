#!/usr/bin/env bash
# Installs what is missing, builds, and starts the node in ./run (a ready
# working directory holding the shipped category.dat). Extra arguments go to
# the node, e.g. --connect 192.0.2.10:6340 or --log.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_TARGETS="pelmard pelmar pelmar-reflector" ./scripts/build.sh
mkdir -p run
[ -f run/category.dat ] || cp res/category.dat run/category.dat
cd run
node=../build/daemon/pelmard
if [ -x ../build/ui/pelmar ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    node=../build/ui/pelmar
fi
echo "starting $node in $(pwd) (Ctrl+C stops it)"
exec "$node" "$@"
