#!/usr/bin/env bash
# Transfer benchmark of a whole node on loopback, in one run:
#  1. GET /get_thread/ requests answered per second by one pelmard, measured
#     with wrk side by side with nginx serving the same ".thread" file (one
#     worker process, sendfile), with a new connection per request and with
#     wrk's kept connections; prints the ratios. The node answers in HTTP/1.0
#     without keep-alive, so wrk opens a new connection after each of its
#     replies in both modes; nginx keeps them in the second.
#  2. System calls per request of each server (strace -c over a short run).
#  3. The time to fetch a thread of 1,000 responses from one pelmard holder
#     with the fetch procedure; the node's share (that time less the 250 ms
#     pause before the connect) next to the floor: a minimal client taking the
#     same files from nginx on one kept connection and writing each once.
# Usage: scripts/bench-transfer.sh [BUILD_DIR] [SECONDS] [CONNECTIONS]
# Installs nginx and wrk from Debian's packages when missing (needs root
# then). Every server it starts is stopped on exit; every load run is
# bounded in time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-bench}")
seconds=${2:-5}
connections=${3:-8}
address=127.0.0.1
pelmar_port=16478
nginx_port=16479
responses=1000

if ! command -v wrk >/dev/null; then
    echo "installing wrk"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq wrk >/dev/null
fi
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
cmake --build "$build" --target pelmard pelmar-fetch-bench >/dev/null
pelmard=$build/daemon/pelmard
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
mkdir -p "$work/www/$bucket" "$work/nginx/logs"
cp "$thread_file" "$work/www/$thread_id.thread"
# The floor's server serves a copy of the holder's thread directory.
cp -r "$work/holder/thread/$bucket/$thread_id" "$work/www/$bucket/"
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
    sendfile on;
    server {
        listen $address:$nginx_port;
        root $work/www;
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
url() { echo "http://$address:$1$target"; }
rps() { sed -n 's/^Requests\/sec: *\([0-9.]*\).*/\1/p'; }
count() { sed -n 's/^ *\([0-9]*\) requests in.*/\1/p'; }
# close: every request asks for its connection to be closed (nginx does so;
# the node's HTTP/1.0 replies end the connection for wrk anyway). The two
# servers take turns in short rounds, so a change of load on a shared machine
# falls on both alike; the figures are the totals over the rounds.
# Besides requests per second, the processor time each server spent per
# request (user + system, from /proc): wrk and both servers share the
# machine's cores, so the rate also tells how the scheduler split them,
# while the time per request is the server's own cost.
rounds=5
round_seconds=$(awk -v s="$seconds" -v r="$rounds" 'BEGIN { v = s / r; print (v < 1 ? 1 : v) }')
nginx_worker=$(pgrep -P "$(cat "$work/nginx/nginx.pid")" | head -1)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
# Prints "requests ticks" of one wrk round against port, served by pid.
measure() {
    local pid=$1 port=$2 before after requests
    before=$(ticks "$pid")
    requests=$(wrk -t1 -c"$connections" -d"${round_seconds}s" "${header[@]}" "$(url "$port")" | count)
    after=$(ticks "$pid")
    echo "${requests:-0} $((after - before))"
}
for mode in close keepalive; do
    header=()
    [ "$mode" = close ] && header=(-H "Connection: close")
    p_requests=0 p_ticks=0 n_requests=0 n_ticks=0
    for _ in $(seq "$rounds"); do
        read -r r t < <(measure "$pelmar_pid" "$pelmar_port")
        p_requests=$((p_requests + r)) p_ticks=$((p_ticks + t))
        read -r r t < <(measure "$nginx_worker" "$nginx_port")
        n_requests=$((n_requests + r)) n_ticks=$((n_ticks + t))
    done
    total=$(awk -v r="$rounds" -v s="$round_seconds" 'BEGIN { print r * s }')
    cpu() { awk -v t="$1" -v n="$2" -v hz="$hz" 'BEGIN { printf "%.1f", (n > 0 ? t / hz * 1e6 / n : 0) }'; }
    echo "pelmard $mode: rps=$(awk -v n="$p_requests" -v t="$total" 'BEGIN { printf "%.0f", n / t }') cpu_us_per_request=$(cpu "$p_ticks" "$p_requests")"
    echo "nginx   $mode: rps=$(awk -v n="$n_requests" -v t="$total" 'BEGIN { printf "%.0f", n / t }') cpu_us_per_request=$(cpu "$n_ticks" "$n_requests")"
    awk -v p="$p_requests" -v n="$n_requests" -v m="$mode" \
        'BEGIN { printf "ratio pelmard/nginx (%s): %.2f\n", m, (n > 0 ? p / n : 0) }'
done

echo "== system calls per request (strace -c, 2 s of wrk, a connection per request)"
calls_per_request() {
    local pid=$1 port=$2 out="$work/strace.$2"
    timeout 30 strace -f -c -p "$pid" -o "$out" 2>/dev/null &
    local tracer=$!
    sleep 0.5
    local requests
    requests=$(wrk -t1 -c"$connections" -d2s -H "Connection: close" "$(url "$port")" | count)
    kill -INT "$tracer" 2>/dev/null || true
    wait "$tracer" 2>/dev/null || true
    local calls
    calls=$(awk '$NF == "total" { print $4 }' "$out")
    awk -v c="$calls" -v r="$requests" 'BEGIN { printf "%.1f (%d calls, %d requests)\n", (r > 0 ? c / r : 0), c, r }'
}
if command -v strace >/dev/null; then
    echo "pelmard: $(calls_per_request "$pelmar_pid" "$pelmar_port")"
    echo "nginx:   $(calls_per_request "$nginx_worker" "$nginx_port")"
else
    echo "strace missing: skipped"
fi

echo "== fetch of a thread with $responses responses from one holder"
# The two take turns, a run each, so that the file system's state (recently
# freed inodes, dirty pages being written back) falls on both alike.
fetch_runs=() floor_runs=()
for i in 1 2 3 4 5; do
    out=$("$fetch" fetch "$work/fetcher$i/thread/" "$address" "$pelmar_port" "$thread_id" 1)
    echo "fetch $(echo "$out" | grep '^run=')"
    fetch_runs+=("$(echo "$out" | sed -n 's/.*fetch_ms_median=\([0-9.]*\).*/\1/p')")
    pause_ms=$(echo "$out" | sed -n 's/.*connect_pause_ms=\([0-9]*\).*/\1/p')
    out=$("$fetch" floor "$work/www/" "$address" "$nginx_port" "$thread_id" 1)
    echo "floor ms=$(echo "$out" | sed -n 's/.*floor_ms_median=\([0-9.]*\).*/\1/p')"
    floor_runs+=("$(echo "$out" | sed -n 's/.*floor_ms_median=\([0-9.]*\).*/\1/p')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
fetch_ms=$(median "${fetch_runs[@]}")
floor_ms=$(median "${floor_runs[@]}")
echo "fetch_ms_median=$fetch_ms connect_pause_ms=$pause_ms floor_ms_median=$floor_ms"
awk -v f="$fetch_ms" -v p="$pause_ms" -v r="$floor_ms" \
    'BEGIN { printf "node share %.1f ms, floor %.1f ms, ratio %.2f\n", f - p, r, (r > 0 ? (f - p) / r : 0) }'
