#!/usr/bin/env bash
# A living board in one minute: a reflector and three pelmard nodes on
# 127.0.1.x, each holding a few sample threads, and the desktop joined to them.
#
#   scripts/demo.sh           start the demo (the desktop when a display is
#                             there); Ctrl+C or closing the desktop stops it
#   scripts/demo.sh stop      stop a demo running from another terminal
#   scripts/demo.sh --check   headless: a node joins, posts a thread, and the
#                             cache node fetches it over the overlay; then
#                             everything stops (exit status 0 on success)
#
# The demo lives in ./demo (PELMAR_DEMO_DIR); --check uses a temporary
# directory and its own addresses. PELMAR_BUILD names a build directory that
# is used as it is (nothing is installed or built then).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

mode=run
case "${1:-}" in
"") ;;
--check) mode=check ;;
stop) mode=stop ;;
-h | --help)
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
*)
    echo "usage: scripts/demo.sh [--check | stop]" >&2
    exit 2
    ;;
esac

# Every process the demo starts is listed in pids ("name pid" lines); the
# demo script's own id is in demo.pid.
# A listed id is signalled only while it still names one of our programs (an
# id left by a demo that was killed may have been reused since).
ours() { grep -qa pelmar "/proc/$1/cmdline" 2>/dev/null; }
stop_listed() {
    local dir=$1 name pid
    [ -f "$dir/pids" ] || return 0
    tac "$dir/pids" | while read -r name pid; do
        ours "$pid" && kill -TERM "$pid" 2>/dev/null || true
    done
    tac "$dir/pids" | while read -r name pid; do
        for _ in $(seq 50); do
            ours "$pid" || break
            sleep 0.1
        done
        if ours "$pid"; then
            echo "demo: $name ($pid) did not stop on SIGTERM; killing it" >&2
            kill -KILL "$pid" 2>/dev/null || true
        fi
    done
    rm -f "$dir/pids"
}

if [ "$mode" = stop ]; then
    dir=${PELMAR_DEMO_DIR:-$root/demo}
    if [ -f "$dir/demo.pid" ] && kill -TERM "$(cat "$dir/demo.pid")" 2>/dev/null; then
        # The running demo stops what it started; wait for it to finish.
        for _ in $(seq 100); do
            [ -f "$dir/demo.pid" ] || break
            sleep 0.1
        done
    fi
    stop_listed "$dir"
    rm -f "$dir/demo.pid"
    echo "demo stopped"
    exit 0
fi

if [ -n "${PELMAR_BUILD:-}" ]; then
    build=$(cd "$PELMAR_BUILD" && pwd)
else
    if [ "$mode" = run ]; then
        "$root/scripts/install-deps.sh"
    fi
    (cd "$root" && BUILD_TARGETS="pelmard pelmar pelmar-reflector pelmar-seed" \
        ./scripts/build.sh >/dev/null)
    build=$root/build
fi
pelmard=$build/daemon/pelmard
pelmar=$build/ui/pelmar
reflector=$build/tools/pelmar-reflector
seed=$build/tools/pelmar-seed

if [ "$mode" = check ]; then
    dir=$(mktemp -d /tmp/pelmar-demo-check-XXXXXX)
    net=127.0.1.1
    port=16350
    reflector_port=16390
else
    dir=${PELMAR_DEMO_DIR:-$root/demo}
    net=127.0.1.
    port=16340
    reflector_port=16380
    if [ -f "$dir/demo.pid" ] && kill -0 "$(cat "$dir/demo.pid")" 2>/dev/null; then
        echo "a demo is already running (scripts/demo.sh stop ends it)" >&2
        exit 1
    fi
    stop_listed "$dir" # leftovers of a demo that was killed
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
reflector_address=${net}1
reflector_url=http://$reflector_address:$reflector_port/reflect

finish() {
    local status=$? listed="" name pid code
    trap - EXIT INT TERM
    [ -f "$dir/pids" ] && listed=$(cat "$dir/pids")
    stop_listed "$dir"
    rm -f "$dir/demo.pid"
    if [ "$mode" = check ]; then
        # Every program must have ended cleanly on SIGTERM.
        while read -r name pid; do
            [ -n "$pid" ] || continue
            code=0
            wait "$pid" 2>/dev/null || code=$?
            if [ "$code" != 0 ]; then
                echo "demo: $name ended with status $code" >&2
                [ "$status" = 0 ] && status=1
            fi
        done <<<"$listed"
        rm -rf "$dir"
    fi
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
echo $$ >"$dir/demo.pid"
: >"$dir/pids"

started() { echo "$1 $2" >>"$dir/pids"; }

# Waits (at most $2 tenths of a second) until the command in $3... succeeds.
wait_for() {
    local what=$1 tenths=$2
    shift 2
    for _ in $(seq "$tenths"); do
        if "$@"; then
            return 0
        fi
        sleep 0.1
    done
    echo "demo: gave up waiting for $what" >&2
    return 1
}
log_has() { [ -f "$1" ] && grep -q -- "$2" "$1"; }

"$reflector" --address "$reflector_address" --port "$reflector_port" \
    >"$dir/reflector.log" 2>&1 &
started reflector $!
wait_for "the reflector" 50 log_has "$dir/reflector.log" "listening"

# Three nodes, each seeded with its share of the samples; the third keeps a
# copy of every thread it hears announced. They join one after another, so
# the reflector can name the earlier ones to the later.
for n in 1 2 3; do
    node=$dir/node$n
    rm -rf "$node"
    mkdir -p "$node"
    cp "$root/res/category.dat" "$node/"
    cache=Disable
    [ "$n" = 3 ] && cache=CacheServent
    printf '[Network]\nPort=%s\n[Servent]\nCacheMode=%s\n' "$port" "$cache" >"$node/pelmar.ini"
    "$seed" --share "$n/3" "$node" >"$node/seeded.txt" 2>"$node/seed.log"
    (cd "$node" && exec "$pelmard" --ini pelmar.ini --address "$net$((n + 1))" --log \
        --connect "$reflector_url") >"$node/stderr.log" 2>&1 &
    started "node$n" $!
    wait_for "node$n to ask the reflector" 100 log_has "$node/pelmar.log" "CGI Reflector"
done
wait_for "node3 to join" 100 log_has "$dir/node3/pelmar.log" "PELMAR OK"

if [ "$mode" = check ]; then
    # A fourth node joins through node1 and posts; node3 hears the
    # announcement through the overlay and fetches the thread from it.
    poster=$dir/poster
    mkdir -p "$poster"
    "$seed" --live --address "${net}5" --port "$port" --connect "${net}2:$port" --stay 30 \
        --log "$poster" >"$poster/posted.txt" 2>"$poster/stderr.log" &
    started poster $!
    wait_for "the poster's thread" 250 test -s "$poster/posted.txt"
    id=$(head -n1 "$poster/posted.txt")
    thread=$dir/node3/thread/${id:0:1}/$id
    echo "demo: posted thread $id; waiting for node3 to fetch it"
    has_fetched() { [ -f "$thread/$id.thread" ] && compgen -G "$thread/*.res" >/dev/null; }
    wait_for "node3 to fetch thread $id" 250 has_fetched
    for n in 1 2 3; do
        [ -s "$dir/node$n/seeded.txt" ] || {
            echo "demo: node$n holds no sample thread" >&2
            exit 1
        }
    done
    echo "demo check passed: node3 fetched $(ls "$thread" | grep -c '\.res$') response(s)" \
        "of the thread posted at ${net}5"
    exit 0
fi

desktop=$dir/desktop
mkdir -p "$desktop"
[ -f "$desktop/category.dat" ] || cp "$root/res/category.dat" "$desktop/"
printf '[Network]\nPort=%s\n' "$port" >"$desktop/pelmar.ini"

cat <<TEXT

The demo board is up: a reflector at $reflector_url and three nodes
(${net}2, ${net}3 and ${net}4, port $port), each holding sample threads in
the shipped categories; node3 keeps a copy of every thread it hears of.
Logs: $dir/node1/pelmar.log ... $dir/node3/pelmar.log, $dir/reflector.log
Stop: Ctrl+C here, or scripts/demo.sh stop from another terminal.
TEXT

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    cat <<TEXT

The desktop joins as ${net}5. In its window: press スレッドリスト更新 to see
the threads of the selected category (the lightning icon marks a thread
announced by the network that this desktop does not hold yet), double click
one to fetch it, then レス作成 to answer. node3 fetches your response; watch
it arrive with: tail -f $dir/node3/pelmar.log
Closing the window ends the demo.
TEXT
    (cd "$desktop" && exec "$pelmar" --ini pelmar.ini --address "${net}5" --log \
        --connect "$reflector_url") >"$desktop/stderr.log" 2>&1 &
    desktop_pid=$!
    started desktop $desktop_pid
    wait "$desktop_pid" || true
else
    cat <<TEXT

No display: start the desktop elsewhere with DISPLAY set, or join from a
terminal with another node:
  (mkdir -p /tmp/me && cd /tmp/me && cp $root/res/category.dat . &&
   $pelmard --address ${net}5 --log --connect $reflector_url)
Watch the overlay: tail -f $dir/node*/pelmar.log
TEXT
    while :; do
        sleep 1 &
        wait $! || true
    done
fi
