#!/usr/bin/env bash
# The standalone program end to end, as a user runs it twice on a fresh machine:
#
#   first run   the settings file appears at start, the window is centred, R and Ctrl+F
#               work, the Audio Settings dialog opens from the editor's button, the window
#               is moved and closed through its close request; the settings file then holds
#               the window position, a JACK device set-up and the processor's state;
#   second run  the window comes back where it was left, on the stored JACK device.
#
# Everything runs in a private world: a virtual X display (Xvfb, no window manager, so that
# positions are exact), a JACK server of its own name on its dummy back end, HOME and
# XDG_CONFIG_HOME in a temporary folder. A screenshot of the running window is left in the
# snapshot folder as standalone.png.
#
# usage: end_to_end.sh PROGRAM CLOSE-WINDOW-HELPER SNAPSHOT-FOLDER
set -euo pipefail

program=$1
closer=$2
snapshots=$3

for tool in Xvfb xdotool xwd convert jackd jack_lsp jack_connect jack_rec jack_simple_client od; do
    if ! command -v "$tool" > /dev/null; then
        echo "FAIL: $tool is missing (scripts/setup.sh installs it)"
        exit 1
    fi
done

source "$(dirname "$0")/common.sh"
show_more_on_failure() {
    [ -f "${settings:-}" ] && { echo "--- settings file"; cat "$settings"; }
}

step() { echo "== $*"; }

export HOME="$work/home"
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
settings="$XDG_CONFIG_HOME/Velnor/Tarn51.prefs"

#-------------------------------------------------------------------------------------------
step "virtual display"
# -noreset: the server keeps its atoms when the last client leaves (see below).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$work/display" 2> "$work/xvfb.log" &
background+=($!)
use_display "$work/display"
# Without a window manager nobody has created the close-request atoms yet, and JUCE only
# looks them up: create them before the program starts, or it would ignore the request.
"$closer" --intern || fail "cannot reach the display"

step "JACK server on the dummy back end"
source "$(dirname "$0")/../hosts/jack-server.sh"
start_jack_server end-to-end "$work/jackd.log" -d dummy -r 48000 -p 256 -C 6 -P 6 || fail "jackd did not start"
background+=("$jackd_pid")

#-------------------------------------------------------------------------------------------
program_pid=
window=

start_program() {
    "$program" > "$work/program-$1.log" 2>&1 &
    program_pid=$!
    background+=("$program_pid")
    # JUCE builds the native window anew when the title bar and the resizing style change
    # just after the window is shown: take the one that is still there a second later.
    local previous=
    for _ in 1 2 3 4 5; do
        window=$(find_window '^Tarn 5\.1$') || fail "no window of the program appeared"
        [ "$window" = "$previous" ] && return
        previous=$window
        sleep 1
    done
    fail "the program's window does not settle"
}

# The visible window of the running program with a title matching $1, waiting up to 20 s
# for one. (xdotool gives up when a window goes away while it looks at it: ask again.)
find_window() {
    local deadline=$((SECONDS + 20)) found
    while [ $SECONDS -lt $deadline ]; do
        found=$(xdotool search --all --onlyvisible --pid "$program_pid" --name "$1" 2> /dev/null | tail -n 1) || true
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.2
    done
    return 1
}

# x y width height of a window, in screen pixels.
geometry() {
    local x y w h
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}

quit_program() {
    "$closer" "$window" || fail "could not send the close request"
    local deadline=$((SECONDS + 20))
    while kill -0 "$program_pid" 2> /dev/null; do
        [ $SECONDS -ge $deadline ] && fail "the program did not end after the close request"
        sleep 0.2
    done
    wait "$program_pid" || fail "the program ended with status $?"
}

# The element stored under "audioSetup", on one line.
audio_setup() { sed -n '/<VALUE name="audioSetup"/,/<\/VALUE>/p' "$settings" | tr -s '\n ' ' '; }

# Whether JACK port $1 is connected to port $2.
connected() { jack_lsp -c "$1" | grep -qx "   $2"; }

setting() { grep -o "<VALUE name=\"$1\" val=\"[^\"]*\"" "$settings" | sed 's/.*val="\(.*\)"/\1/'; }

press() {
    xdotool windowfocus --sync "$window"
    xdotool key --clearmodifiers "$@"
    sleep 0.5
}

#-------------------------------------------------------------------------------------------
step "first run"
start_program first

[ -f "$settings" ] || fail "the settings file was not created at start: $settings"
[ ! -s "$settings" ] || fail "the settings file was written before the program ended"

read -r x y width height <<< "$(geometry "$window")"
# The editor, 729 x 472, is centred in the window's content area.
[ "$width" -ge 729 ] && [ "$height" -ge 472 ] || fail "the window is ${width}x${height}, smaller than the editor"
editor_x=$(((width - 729) / 2))
editor_y=$(((height - 472) / 2))
# Centred on the 1280 x 1024 screen.
[ $((x - (1280 - width) / 2)) -ge -1 ] && [ $((x - (1280 - width) / 2)) -le 1 ] || fail "not centred: x $x"
[ $((y - (1024 - height) / 2)) -ge -1 ] && [ $((y - (1024 - height) / 2)) -le 1 ] || fail "not centred: y $y"

step "R toggles the repaint flag and changes nothing else"
press r
[ "$(geometry "$window")" = "$x $y $width $height" ] || fail "R changed the window"
kill -0 "$program_pid" || fail "the program ended after R"

step "Ctrl+F enters kiosk mode, pressed again leaves it"
press ctrl+f
[ "$(geometry "$window")" = "0 0 1280 1024" ] || fail "kiosk mode did not fill the screen: $(geometry "$window")"
press ctrl+f
[ "$(geometry "$window")" = "$x $y $width $height" ] || fail "leaving kiosk mode did not restore the window"

step "the editor's Audio Settings button opens the dialog"
# The Settings tab (right-hand column), then the button on the settings page.
xdotool mousemove --window "$window" $((editor_x + 714)) $((editor_y + 203)) click 1
sleep 0.5
xdotool mousemove --window "$window" $((editor_x + 444)) $((editor_y + 292)) click 1
dialog=$(find_window '^Audio Settings$') || fail "the Audio Settings dialog did not open"
read -r _ _ dialog_width dialog_height <<< "$(geometry "$dialog")"
[ "$dialog_width" -eq 615 ] && [ "$dialog_height" -eq 610 ] || fail "the dialog is ${dialog_width}x${dialog_height}"
sleep 1

step "assign JACK's capture_1 to L's input and playback_1 to L's output"
# L's row of the input selector, then of the output selector; in each, the first channel.
for box_x in 200 460; do
    xdotool mousemove --window "$dialog" $box_x 159 click 1
    sleep 0.7
    xdotool key Down Return
    sleep 0.7
done
wait_for 10 connected Tarn5.1:in_1 system:capture_1 || fail "L's input is not connected to capture_1"
wait_for 10 connected Tarn5.1:out_1 system:playback_1 || fail "L's output is not connected to playback_1"
connected Tarn5.1:in_2 system:capture_2 && fail "R's input is connected although R has no channel"

mkdir -p "$snapshots"
xwd -silent -id "$dialog" | convert xwd:- "$snapshots/standalone-audio-settings.png" || fail "no screenshot of the dialog"
"$closer" "$dialog"
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Audio Settings\$'" || fail "the dialog did not close"

step "a tone into L's input comes out of L's output; the meter runs"
jack_simple_client > "$work/tone.log" 2>&1 & # a sine of amplitude 0.2
background+=($!)
wait_for 10 bash -c "jack_lsp | grep -qx jack_simple_client:output1" || fail "the tone generator did not start"
jack_connect jack_simple_client:output1 Tarn5.1:in_1 || fail "cannot connect the tone to the program"
# The play button of the meter panel.
xdotool mousemove --window "$window" $((editor_x + 326)) $((editor_y + 342)) click 1
(cd "$work" && timeout 20 jack_rec -f "$work/output.wav" -d 1 -b 16 Tarn5.1:out_1 > "$work/jack_rec.log" 2>&1) ||
    fail "could not record the program's output"
# The largest 16-bit sample after the 44-byte header: 0.2 of full scale is 6553.
peak=$(od -An -v -t d2 -j 44 "$work/output.wav" | tr -s ' ' '\n' | sed 's/^-//' | sort -n | tail -n 1)
[ "${peak:-0}" -ge 6000 ] && [ "$peak" -le 7000 ] || fail "L's output peaks at $peak, not at the tone's 6553"

step "screenshot of the running window"
# Back to the first page; the click also repaints what the dialog covered, which Xvfb
# without a window manager does not always ask for after popup menus.
xdotool mousemove --window "$window" $((editor_x + 714)) $((editor_y + 40)) click 1
sleep 4 # the first momentary and short-term values
xwd -silent -id "$window" | convert xwd:- "$snapshots/standalone.png" || fail "no screenshot of the window"

step "move the window, then close it"
xdotool windowmove --sync "$window" 37 41
sleep 0.5
[ "$(geometry "$window" | cut -d' ' -f1,2)" = "37 41" ] || fail "the window did not move"
quit_program

step "the settings file holds the four keys"
[ -s "$settings" ] || fail "nothing was written"
[ "$(setting windowX)" = 37 ] || fail "windowX is '$(setting windowX)'"
[ "$(setting windowY)" = 41 ] || fail "windowY is '$(setting windowY)'"
[ -n "$(setting filterState)" ] || fail "no filterState"
device_setup=$(audio_setup)
grep -q '<DEVICESETUP ' <<< "$device_setup" || fail "audioSetup holds no device set-up"
grep -q 'deviceType="JACK"' <<< "$device_setup" || fail "the device set-up is not JACK's: $device_setup"
grep -q 'audioOutputDeviceName="system" audioInputDeviceName="system"' <<< "$device_setup" ||
    fail "the set-up does not name JACK's system ports"
# Explicit channels, not the device's defaults. (Which ones JUCE's JACK device reports as
# active follows the port connections as the server has taken them up at that moment, so
# the output channel may be missing here; the connections themselves were checked above.)
grep -q 'audioDeviceInChans="1"' <<< "$device_setup" || fail "the set-up does not name input 1 alone"
grep -q 'audioDeviceOutChans=' <<< "$device_setup" || fail "the set-up names no output channels"

#-------------------------------------------------------------------------------------------
step "second run"
cp "$settings" "$work/after-first-run.prefs"
start_program second

[ "$(geometry "$window")" = "37 41 $width $height" ] || fail "the window came back at $(geometry "$window")"
# The stored set-up names JACK's "system" device: the program is a JACK client again.
wait_for 10 bash -c "jack_lsp | grep -q '^Tarn5\.1:in_1\$'" || fail "the program did not open the stored JACK device"
[ "$(jack_lsp | grep -c '^Tarn5\.1:')" -eq 12 ] || fail "the JACK client has not six inputs and six outputs"
# With the stored channels: L's input alone, not the six of a default set-up.
wait_for 10 connected Tarn5.1:in_1 system:capture_1 || fail "the stored input channel is not connected"
for port in 2 3 4 5 6; do
    connected Tarn5.1:in_$port system:capture_$port && fail "input $port is connected; the stored set-up has input 1 alone"
done

quit_program
[ "$(setting windowX)" = 37 ] && [ "$(setting windowY)" = 41 ] || fail "the second run lost the position"
grep -q '<DEVICESETUP deviceType="JACK" audioOutputDeviceName="system"' <<< "$(audio_setup)" ||
    fail "the second run lost the device set-up: $(audio_setup)"

#-------------------------------------------------------------------------------------------
step "third run, with the JACK server gone"
kill "$jackd_pid"
wait "$jackd_pid" 2> /dev/null || true
wait_for 10 bash -c "! jack_lsp" || fail "jackd did not stop"
start_program third
# The stored device cannot be opened: the dialog opens by itself, so that the user can
# choose another; the stored set-up is not replaced by a default one.
dialog=$(find_window '^Audio Settings$') || fail "the Audio Settings dialog did not open when the stored device was missing"
"$closer" "$dialog"
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Audio Settings\$'" || fail "the dialog did not close"
quit_program
grep -q '<DEVICESETUP deviceType="JACK" audioOutputDeviceName="system"' <<< "$(audio_setup)" ||
    fail "the run without JACK lost the stored device set-up: $(audio_setup)"

echo "end to end: 3 runs passed"
