#!/usr/bin/env bash
# The standalone window under a real window manager on a virtual display (openbox, or another
# that frames windows differently): started and closed through its close button ten times, it
# must open where it was left each time, also after it was moved.
#
# usage: window_position.sh PROGRAM CLOSE-WINDOW-HELPER [WINDOW-MANAGER]
set -euo pipefail
program=$1
closer=$2
manager=${3:-openbox}

for tool in Xvfb "$manager" xdotool xprop; do
    command -v "$tool" > /dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

source "$(dirname "$0")/common.sh"

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" JACK_NO_START_SERVER=1
mkdir -p "$HOME"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$work/display" 2> "$work/xvfb.log" &
background+=($!)
use_display "$work/display"
case $manager in
    openbox) openbox --sm-disable > "$work/wm.log" 2>&1 & ;;
    *) "$manager" > "$work/wm.log" 2>&1 & ;;
esac
background+=($!)
wait_for 10 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" || fail "$manager did not start"
sleep 1

# Position of the program's window once it has stayed put for a second: "x y".
settled_position() {
    local previous= current
    for _ in $(seq 20); do
        current=$(xdotool search --all --onlyvisible --pid "$1" --name '^Tarn 5\.1$' 2> /dev/null | tail -n 1) || true
        if [ -n "$current" ]; then
            current="$current $(xdotool getwindowgeometry --shell "$current" 2> /dev/null | grep -E '^(X|Y)=' | cut -d= -f2 | tr '\n' ' ' | sed 's/ $//')"
            [ "$current" = "$previous" ] && { echo "${current#* }"; return 0; }
        fi
        previous=$current
        sleep 1
    done
    return 1
}

# Ten starts and closes from a fresh settings file. Before the second close the window is
# moved, as a user drags it: every later start must open where it was moved to.
rm -rf "$XDG_CONFIG_HOME"
expected=
for run in $(seq 10); do
    "$program" > "$work/program-$run.log" 2>&1 &
    pid=$!
    position=$(settled_position "$pid") || fail "run $run: the window did not appear or did not settle"
    echo "run $run: window at $position"
    [ -z "$expected" ] || [ "$position" = "$expected" ] || fail "run $run opened at $position, not at $expected where it was left"
    expected=$position
    window=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Tarn 5\.1$' | tail -n 1)
    if [ "$run" = 2 ]; then
        xdotool windowmove --sync "$window" 411 333
        expected=$(settled_position "$pid") || fail "run $run: the moved window did not settle"
        [ "$expected" != "$position" ] || fail "run $run: the window did not stay where it was moved"
        echo "run $run: moved to $expected"
    fi
    "$closer" "$window" || fail "run $run: could not send the close request"
    wait_for 20 bash -c "! kill -0 $pid" || fail "run $run: the program did not end"
    wait "$pid" || fail "run $run: the program ended with status $?"
done
echo "PASS"
