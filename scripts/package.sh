#!/usr/bin/env bash
# Builds the Debian package pelmar_<version>_amd64.deb from a build directory
# (default build/, built first when stale) into OUT_DIR (default: the build
# directory), then checks it: appstreamcli validates its AppStream data and
# lintian must report no error.
#   scripts/package.sh [BUILD_DIR] [OUT_DIR]
# Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-$build}" && cd "${2:-$build}" && pwd)
[ -f "$build/CPackConfig.cmake" ] || {
    echo "package.sh: $build has no CPackConfig.cmake (a build with the desktop makes one)" >&2
    exit 2
}
cmake --build "$build" >/dev/null
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log") || {
    cat "$out/cpack.log" >&2
    exit 1
}
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/pelmar_*_amd64.deb)
appstreamcli validate --no-net "$build"/dist/*.metainfo.xml >&2
# Warnings and notes are shown; only errors fail.
lintian --fail-on error --tag-display-limit 0 "$deb" >&2
echo "$deb"
