#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the layout, then that
# the installed pelmard and pelmar start in an empty working directory, take
# the shipped category.dat and stop on SIGTERM with status 0.
#   InstallTest.sh CMAKE BUILD_DIR SOURCE_DIR
# Uses 127.0.1.30 and 127.0.1.31; every process it starts is stopped.
set -euo pipefail
cmake=$1 build=$2 source=$3
tmp=$(mktemp -d /tmp/pelmar-install-test-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" || fail "cmake --install"

for program in pelmar pelmard pelmar-reflector; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program missing"
done
desktop=$prefix/share/applications/pelmar.desktop
grep -qx 'Exec=pelmar' "$desktop" || fail "desktop entry: Exec"
grep -qx 'Categories=Network;' "$desktop" || fail "desktop entry: Categories"
grep -q '^Name\[ja\]=' "$desktop" || fail "desktop entry: Japanese name"
grep -q '^Comment\[ja\]=' "$desktop" || fail "desktop entry: Japanese comment"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
for size in 16 32 48 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/pelmar.png
    [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "icon $size: not a PNG"
done
cmp -s "$source/res/category.dat" "$prefix/share/pelmar/category.dat" ||
    fail "share/pelmar/category.dat differs from res/category.dat"
unit=$prefix/lib/systemd/system/pelmard.service
for line in 'User=pelmar' 'WorkingDirectory=/var/lib/pelmar' 'StateDirectory=pelmar' \
    'NoNewPrivileges=yes' 'ProtectSystem=strict'; do
    grep -qx "$line" "$unit" || fail "service: $line"
done
grep -q '^ExecStart=/.*/pelmard ' "$unit" || fail "service: ExecStart"

# Starts an installed program in an empty directory; waits for its start.
start() {
    local program=$1 address=$2 port=$3 work=$4
    mkdir -p "$work"
    printf '[Network]\nPort=%s\n' "$port" >"$tmp/$program.ini"
    (cd "$work" && exec "$prefix/bin/$program" --ini "$tmp/$program.ini" --address "$address" \
        --log) 2>"$tmp/$program.err" &
    pids+=($!)
    for _ in $(seq 100); do
        grep -qs 'pelmar Startup!!' "$work/pelmar.log" && return 0
        kill -0 "${pids[-1]}" 2>/dev/null || fail "$program ended at start: $(cat "$tmp/$program.err")"
        sleep 0.1
    done
    fail "$program did not start"
}
# SIGTERM, then at most ten seconds for a clean end with status 0.
stop() {
    local program=$1 work=$2 pid=${pids[-1]}
    # The desktop shows its window once the category tree has loaded.
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || fail "$program ended early: $(cat "$tmp/$program.err")"
    kill -TERM "$pid"
    local status=0
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "$program did not stop on SIGTERM"
    wait "$pid" || status=$?
    [ "$status" = 0 ] || fail "$program exited with $status"
    grep -q 'pelmar Shutdown!!' "$work/pelmar.log" || fail "$program: no shutdown line"
    cmp -s "$source/res/category.dat" "$work/category.dat" ||
        fail "$program: the default category.dat was not copied"
    grep -q 'copied the default' "$tmp/$program.err" || fail "$program: the copy was not told"
}

start pelmard 127.0.1.30 16330 "$tmp/daemon-work"
stop pelmard "$tmp/daemon-work"
QT_QPA_PLATFORM=offscreen start pelmar 127.0.1.31 16331 "$tmp/desktop-work"
stop pelmar "$tmp/desktop-work"
echo "install layout and first starts: ok"
