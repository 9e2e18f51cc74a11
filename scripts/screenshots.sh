#!/usr/bin/env bash
# Takes the README's screenshots again, under a virtual X server:
#   docs/main-window.png     the main window: category tree, a thread list with
#                            held and announced threads, a thread page
#   docs/response-dialog.png the response dialog with Japanese text typed in
# A pelmard holds most of the demo's sample threads, the desktop a few; the
# desktop joins the pelmard and asks for the list, so held rows and rows
# announced by the network both show. Installs Xvfb, a window manager
# (openbox), xdotool and ImageMagick when missing (needs root).
# Uses 127.0.1.41 and 127.0.1.42 and display :47; stops everything it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

packages=(xvfb openbox xdotool imagemagick fonts-ipafont-gothic)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
./scripts/install-deps.sh
BUILD_TARGETS="pelmard pelmar pelmar-seed" ./scripts/build.sh >/dev/null
build=$root/build

work=$(mktemp -d /tmp/pelmar-screenshots-XXXXXX)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

display=:47
port=16360
Xvfb "$display" -screen 0 1100x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
done
# Window frames with their titles, as on a desktop.
DISPLAY=$display openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1
export DISPLAY=$display TZ=Asia/Tokyo
# A Japanese locale when the machine has one (Qt's own texts follow it).
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\{0,1\}8'; then
    export LANG=ja_JP.UTF-8
else
    export LANG=C.UTF-8
fi

for name in node desktop; do
    mkdir -p "$work/$name"
    cp res/category.dat "$work/$name/"
    printf '[Network]\nPort=%s\n' "$port" >"$work/$name/pelmar.ini"
done
"$build/tools/pelmar-seed" --share 1/3 "$work/desktop" >/dev/null 2>&1
"$build/tools/pelmar-seed" --share 2/3 "$work/node" >/dev/null 2>&1
"$build/tools/pelmar-seed" --share 3/3 "$work/node" >/dev/null 2>&1
(cd "$work/node" && exec "$build/daemon/pelmard" --ini pelmar.ini --address 127.0.1.41 --log) \
    >"$work/node.err" 2>&1 &
pids+=($!)
sleep 0.5
(cd "$work/desktop" && exec "$build/ui/pelmar" --ini pelmar.ini --address 127.0.1.42 --log \
    --connect 127.0.1.41:$port) >"$work/desktop.err" 2>&1 &
pids+=($!)

window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^pelmar' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the desktop's window did not appear" >&2; exit 1; }
xdotool windowsize "$window" 1060 700 windowmove "$window" 20 40
sleep 1

# スレッドリスト更新 from the menu: the pelmard answers with its threads.
xdotool windowfocus --sync "$window"
xdotool key alt+t r
sleep 2
# The first row is a thread only the pelmard holds: a double click fetches
# it, a click shows it. Rows are 18 pixels high below the header.
xdotool mousemove --window "$window" 300 78 click --repeat 2 --delay 80 1
sleep 3
xdotool click 1
sleep 1.5
mkdir -p docs
import -window root -crop 1064x728+18+19 +repage docs/main-window.png

# レス作成 opens the response dialog; type a response into it.
xdotool windowfocus --sync "$window"
xdotool key alt+t w
dialog=""
for _ in $(seq 50); do
    dialog=$(xdotool search --onlyvisible --name '^レス送信$' 2>/dev/null | grep -vx "$window" | head -n1 || true)
    [ -n "$dialog" ] && break
    sleep 0.1
done
[ -n "$dialog" ] || { echo "the response dialog did not open" >&2; exit 1; }
sleep 1.5
# The fields in order: title, name, mail, body.
xdotool type --delay 250 "日曜の天気"
xdotool key Tab
xdotool type --delay 250 "南の住人"
xdotool key Tab Tab
xdotool type --delay 250 "こちらも日曜は雨の予報です。傘を忘れずに。"
sleep 0.5
import -window root -crop 1064x728+18+19 +repage docs/response-dialog.png
xdotool key Escape
echo "wrote docs/main-window.png and docs/response-dialog.png"
