#!/usr/bin/env bash
# The memory of an idle pelmard: starts one in a fresh directory on
# 127.0.6.1 (web interface on, then --web off), lets it settle, and prints
# its VmRSS and PSS (/proc/PID/smaps_rollup) and its largest mappings by
# file, RSS and PSS in KiB (/proc/PID/smaps).
#   bench/idle-memory.sh [BUILD_DIR] [SECONDS]     (default build/, 3 s)
# Run it in a network namespace of its own when other nodes may use the
# address: unshare -n bash -c 'ip link set lo up; bench/idle-memory.sh'
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
settle=${2:-3}
work=$(mktemp -d /tmp/pelmar-memory-XXXXXX)
pid=
cleanup() {
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for web in on off; do
    arguments=(--ini "$work/pelmard.ini" --address 127.0.6.1)
    [ "$web" = off ] && arguments+=(--web off)
    (cd "$work" && exec "$build/daemon/pelmard" "${arguments[@]}") >"$work/out" 2>&1 &
    pid=$!
    sleep "$settle"
    kill -0 "$pid" || { cat "$work/out"; exit 1; }
    echo "== pelmard, web interface $web"
    grep VmRSS "/proc/$pid/status"
    grep -E '^(Rss|Pss|Pss_Anon|Pss_File):' "/proc/$pid/smaps_rollup"
    echo "largest mappings (RSS KiB, PSS KiB, file):"
    awk '/^[0-9a-f]+-[0-9a-f]+ /{ name = NF >= 6 ? $6 : "[anonymous]" }
         /^Rss:/{ rss[name] += $2 } /^Pss:/{ pss[name] += $2 }
         END { for (n in rss) printf "%7d %7d %s\n", rss[n], pss[n], n }' "/proc/$pid/smaps" |
        sort -rn | head -n 15
    grep -q -e libssl -e libcrypto "/proc/$pid/maps" && echo "OpenSSL is mapped" ||
        echo "OpenSSL is not mapped"
    kill -TERM "$pid"
    wait "$pid" || true
    pid=
done
