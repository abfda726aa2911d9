#!/usr/bin/env bash
# Tarn51Standalone.exe started twenty times beside another Wine program of the same prefix,
# each time with a fresh wineserver: the other program starts first, on an X display that goes
# away, as when another test ends, and the prefix's desktop is left on that display; DXGI makes
# no factory then.
#
# The display goes at two moments, in turn:
# - once the other program shows its window: the desktop is set up on that display.
# - while the other program starts.
# When the display goes while Wine's desktop process is still busy with it (setting up its
# display driver, and now and then still after the other program's first window), that process
# fails and the prefix's desktop is left without a driver: no Wine program can make a window
# then, and Wine says so in the program's log ("no driver could be loaded"). Such a start is
# counted as meeting that Wine fault; any other start must show the program's window, and at
# least half the starts after the other program's window must show it, so that the check never
# passes on the fault alone.
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
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3> "$work/display-$1" 2> /dev/null &
    xvfb=$!
    wait_for 10 test -s "$work/display-$1" || fail "Xvfb did not start"
}
start_xvfb own
background+=("$xvfb")
own=":$(cat "$work/display-own")"

# Wine's own report of a desktop without a display driver (its winediag channel).
no_driver='nodrv_CreateWindow Application tried to create a window, but no driver could be loaded'
# Until the window shows, or Wine reports that it can make none.
window_or_no_driver() {
    DISPLAY=$own xdotool search --onlyvisible --name '^Tarn 5\.1$' || grep -q "$no_driver" "$work/program.log"
}
shown=0
shown_after_window=0
driverless=0
for start in $(seq 20); do
    "$wineserver" -k 2> /dev/null || true
    "$wineserver" -w 2> /dev/null || true
    start_xvfb "other-$start"
    other_xvfb=$xvfb
    background+=("$xvfb") # until it is stopped below, so that a failure stops it too
    other_display=":$(cat "$work/display-other-$start")"
    DISPLAY=$other_display "$wine" notepad > "$work/other.log" 2>&1 &
    other=$!
    if [ $((start % 2)) -eq 1 ]; then
        DISPLAY=$other_display wait_for 120 xdotool search --onlyvisible --name Notepad ||
            fail "start $start: the other program showed no window"
        moment="after the other program's window"
    else
        # Its display goes while it is starting.
        sleep 2
        moment="while the other program started"
    fi
    kill "$other_xvfb"
    wait "$other_xvfb" 2> /dev/null || true
    unset 'background[-1]'

    DISPLAY=$own WINEDEBUG="${WINEDEBUG:-},err+winediag" "$wine" "$program" > "$work/program.log" 2>&1 &
    pid=$!
    wait_for 120 window_or_no_driver ||
        fail "start $start ($moment): no window (the program $(kill -0 "$pid" 2> /dev/null && echo "still runs" || echo "ended"))"
    grep -q "Unhandled" "$work/program.log" && fail "start $start: $(grep -m1 Unhandled "$work/program.log")"
    if DISPLAY=$own xdotool search --onlyvisible --name '^Tarn 5\.1$' > /dev/null; then
        shown=$((shown + 1))
        [ $((start % 2)) -eq 0 ] || shown_after_window=$((shown_after_window + 1))
        echo "start $start ($moment): window shown"
    else
        driverless=$((driverless + 1))
        echo "start $start ($moment): Wine fault: the desktop process failed as its display went, no display driver for any window"
    fi
    kill "$pid" "$other" 2> /dev/null || true
    wait "$pid" "$other" 2> /dev/null || true
done
[ "$shown_after_window" -ge 5 ] ||
    fail "only $shown_after_window of 10 starts after the other program's window showed the program's window"
echo "PASS: 20 starts beside another Wine program whose display went: $shown windows shown, $driverless met Wine's desktop without a display driver"
