#!/usr/bin/env bash
# Tarn51Standalone.exe under Wine on a virtual X display of its own, started without a settings
# file: the settings file appears in Wine's all-users application data folder, the window
# shows (a screenshot is left as standalone-windows.png), and after a close request the
# program ends and the file holds its four keys.
#
# usage: standalone-test.sh WINDOWS-BUILD-DIR SNAPSHOT-FOLDER CLOSE-WINDOW-HELPER
#        (WINEPREFIX set by the caller)
set -euo pipefail

win=$1
snapshots=$2
closer=$3
wine=/usr/lib/wine/wine64
program=$win/Tarn51_artefacts/Release/Standalone/Tarn51Standalone.exe
settings=$WINEPREFIX/drive_c/ProgramData/Velnor/Tarn51.prefs

# The work folder, background processes, fail and wait_for of the standalone program's tests.
source "$(dirname "$0")/../../standalone/common.sh"

show_more_on_failure() {
    [ -f "$settings" ] && { echo "--- settings file"; cat "$settings"; }
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$work/display" 2> "$work/xvfb.log" &
background+=($!)
use_display "$work/display"

rm -f "$settings"
"$wine" "$program" > "$work/program.log" 2>&1 &
program_pid=$!
background+=($program_pid)

# JUCE makes the window anew when it switches to the native title bar: the geometry of the
# window that is visible once the program has settled.
geometry() {
    local window
    window=$(xdotool search --onlyvisible --name '^Tarn 5\.1$' | tail -n 1) &&
        xdotool getwindowgeometry --shell "$window" > "$work/geometry"
}
wait_for 60 geometry || fail "no window named \"Tarn 5.1\""
sleep 3
wait_for 10 geometry || fail "the window named \"Tarn 5.1\" went"
[ -f "$settings" ] || fail "no settings file at start: $settings"
# shellcheck disable=SC1091 # X, Y, WIDTH and HEIGHT
. "$work/geometry"
echo "window at $X,$Y, $WIDTH x $HEIGHT"
xwd -root -silent > "$work/screen.xwd" || fail "no screenshot"
convert "$work/screen.xwd" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$snapshots/standalone-windows.png" ||
    fail "no screenshot"

# A close request to the program's windows, as the close button sends it (Wine makes it a
# WM_CLOSE); an Audio Settings dialog opened for want of an audio device closes first, then the
# window. Only windows on this test's own display, which are this program's: no other program
# of the prefix is asked to close.
deadline=$((SECONDS + 40))
while kill -0 "$program_pid" 2> /dev/null; do
    [ $SECONDS -ge $deadline ] && fail "the program did not end after close requests"
    for window in $(xdotool search --onlyvisible --name '^(Tarn 5\.1|Audio Settings)$' 2> /dev/null); do
        "$closer" "$window" > /dev/null 2>&1 || true
    done
    sleep 2
done
wait "$program_pid" || fail "the program ended with status $?"

for key in filterState audioSetup windowX windowY; do
    grep -q "<VALUE name=\"$key\"" "$settings" || fail "the settings file lacks \"$key\""
done
grep -q '<VALUE name="filterState" val="[A-Za-z0-9+/.]\{20,\}' "$settings" || fail "no saved state under filterState"
echo "settings file $settings holds filterState, audioSetup, windowX and windowY"
