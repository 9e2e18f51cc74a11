#!/usr/bin/env bash
# Transfer benchmark of a whole node on loopback, in one run:
#  1. GET /get_thread/ requests answered per second by one pelmard, measured
#     side by side with nginx serving the same ".thread" file from a
#     directory (one worker process each), with a new connection per request
#     and with requests one after another on kept connections; prints ratios.
#  2. The time to fetch a thread of 1,000 responses from one pelmard holder
#     with the fetch procedure, next to the 250 ms pause before each connect.
# Usage: scripts/bench-transfer.sh [BUILD_DIR] [SECONDS] [CONNECTIONS]
# Installs nginx from Debian's packages when missing (needs root then). Every
# server it starts is stopped on exit; every load run is bounded in time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-bench}")
seconds=${2:-5}
connections=${3:-8}
address=127.0.0.1
pelmar_port=16478
nginx_port=16479
responses=1000

if ! command -v nginx >/dev/null && [ ! -x /usr/sbin/nginx ]; then
    echo "installing nginx"
    export DEBIAN_FRONTEND=noninteractive
    # The package must not start a system-wide nginx on port 80.
    made_policy=no
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
        chmod +x /usr/sbin/policy-rc.d
        made_policy=yes
    fi
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends nginx >/dev/null
    [ "$made_policy" = yes ] && rm -f /usr/sbin/policy-rc.d
fi
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake "$build" >/dev/null
cmake --build "$build" --target pelmard pelmar-load-client pelmar-fetch-bench >/dev/null
pelmard=$build/daemon/pelmard
load=$build/bench/pelmar-load-client
fetch=$build/bench/pelmar-fetch-bench

work=$(mktemp -d /tmp/pelmar-bench-XXXXXX)
chmod 755 "$work"
pelmar_pid=""
nginx_started=no
cleanup() {
    if [ -n "$pelmar_pid" ]; then
        kill "$pelmar_pid" 2>/dev/null || true
        wait "$pelmar_pid" 2>/dev/null || true
    fi
    if [ "$nginx_started" = yes ]; then
        "$nginx_bin" -p "$work/nginx/" -c "$work/nginx/nginx.conf" -s stop 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The holder's store: one thread of 1,000 responses.
mkdir -p "$work/holder"
thread_id=$("$fetch" seed "$work/holder/thread/" "$responses")
printf '[Network]\nPort=%s\n[Servent]\nCacheMode=Disable\n' "$pelmar_port" >"$work/holder/pelmar.ini"
(cd "$work/holder" && exec "$pelmard" --ini pelmar.ini --address "$address") \
    >"$work/pelmard.out" 2>&1 &
pelmar_pid=$!

# nginx serves the same ".thread" bytes for the same request line.
bucket=${thread_id:0:1}
thread_file="$work/holder/thread/$bucket/$thread_id/$thread_id.thread"
mkdir -p "$work/www" "$work/nginx/logs"
cp "$thread_file" "$work/www/$thread_id.thread"
chmod -R a+rX "$work/www"
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    keepalive_requests 1000000;
    server {
        listen $address:$nginx_port;
        location /get_thread/ {
            root $work/www;
            default_type application/octet-stream;
            try_files /$thread_id.thread =404;
        }
    }
}
EOF
"$nginx_bin" -p "$work/nginx/" -c "$work/nginx/nginx.conf"
nginx_started=yes

for _ in $(seq 50); do
    if (exec 3<>"/dev/tcp/$address/$pelmar_port") 2>/dev/null &&
        (exec 3<>"/dev/tcp/$address/$nginx_port") 2>/dev/null; then
        break
    fi
    sleep 0.1
done

target="/get_thread/?threadid=$thread_id"
size=$(stat -c %s "$thread_file")
echo "== GET $target (${size}-byte .thread), ${seconds}s each, $connections connections"
rps() { sed -n 's/.*rps=\([0-9]*\).*/\1/p'; }
for mode in close keepalive; do
    p=$("$load" "$address" "$pelmar_port" "$target" "$seconds" "$connections" "$mode")
    n=$("$load" "$address" "$nginx_port" "$target" "$seconds" "$connections" "$mode")
    echo "pelmard $mode: $p"
    echo "nginx   $mode: $n"
    p_rps=$(echo "$p" | rps)
    n_rps=$(echo "$n" | rps)
    awk -v p="$p_rps" -v n="$n_rps" -v m="$mode" \
        'BEGIN { printf "ratio pelmard/nginx (%s): %.2f\n", m, (n > 0 ? p / n : 0) }'
done

echo "== fetch of a thread with $responses responses from one holder"
"$fetch" fetch "$work/fetcher/thread/" "$address" "$pelmar_port" "$thread_id" 5
