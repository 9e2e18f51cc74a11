#!/usr/bin/env bash
# Soak with churn: 32 pelmard nodes on 127.0.2.1-32 (a third cache servents)
# joined through pelmar-reflector on 127.0.2.40, a writer on 127.0.2.33 (its
# web interface takes the posts all the time), a node killed with SIGKILL and
# restarted every few seconds; then settles, refreshes and checks (see
# scripts/soak.py).
#   scripts/soak.sh [SECONDS] [BUILD_DIR]      (default 60 s, build/)
# Prints one summary line; exit status 0 when every check held. Builds the
# two programs it runs when they are missing or stale.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build}
cmake --build "$build" --target pelmard pelmar-reflector >/dev/null
exec /usr/bin/python3 scripts/soak.py "$seconds" "$build"
