#!/usr/bin/env bash
# Tarn51Standalone.exe started twenty times beside another Wine program of the same prefix,
# each time with a fresh wineserver: the other program starts first, on an X display that goes
# away while it starts, as when another test ends, and the prefix's desktop is left on that
# display; DXGI makes no factory then. Every start must show the program's window on its own
# display.
#
# usage: standalone-beside-test.sh WINDOWS-BUILD-DIR   (WINEPREFIX set by the caller)
set -euo pipefail

win=$1
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
program=$win/Tarn51_artefacts/Release/Standalone/Tarn51Standalone.exe

source "$(dirname "$0")/../../standalone/common.sh"

# Starts an Xvfb of this test's own; prints its display number; its id goes to $xvfb.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3> "$work/display-$1" 2> /dev/null &
    xvfb=$!
    wait_for 10 test -s "$work/display-$1" || fail "Xvfb did not start"
}
start_xvfb own
background+=("$xvfb")
own=":$(cat "$work/display-own")"

for start in $(seq 20); do
    "$wineserver" -k 2> /dev/null || true
    "$wineserver" -w 2> /dev/null || true
    start_xvfb "other-$start"
    other_xvfb=$xvfb
    DISPLAY=":$(cat "$work/display-other-$start")" "$wine" notepad > "$work/other.log" 2>&1 &
    other=$!
    # Its display goes while it is starting.
    sleep 4
    kill "$other_xvfb"
    wait "$other_xvfb" 2> /dev/null || true

    DISPLAY=$own "$wine" "$program" > "$work/program.log" 2>&1 &
    pid=$!
    DISPLAY=$own wait_for 60 xdotool search --onlyvisible --name '^Tarn 5\.1$' ||
        fail "start $start: no window (the program $(kill -0 "$pid" 2> /dev/null && echo "still runs" || echo "ended"))"
    grep -q "Unhandled" "$work/program.log" && fail "start $start: $(grep -m1 Unhandled "$work/program.log")"
    kill "$pid" "$other" 2> /dev/null || true
    wait "$pid" "$other" 2> /dev/null || true
    echo "start $start: window shown"
done
echo "PASS: 20 starts beside another Wine program whose display went"
