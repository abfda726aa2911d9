# Shared by the standalone program's scripted tests (sourced): a private work folder, the
# processes a test starts in the background (stopped at exit, the latest first, so clients go
# before the servers they use), failure with the tail of every log, and waiting.

work=$(mktemp -d "${TMPDIR:-/tmp}/tarn51-$(basename "$0" .sh).XXXXXX")
background=()

cleanup() {
    for ((i = ${#background[@]} - 1; i >= 0; i--)); do
        kill "${background[i]}" 2> /dev/null || true
        wait "${background[i]}" 2> /dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Prints the message and the tail of every log in the work folder; a test may define
# show_more_on_failure to add its own.
fail() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; }
    done
    if declare -F show_more_on_failure > /dev/null; then show_more_on_failure; fi
    exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" > /dev/null 2>&1; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.2
    done
}

# Takes the display an "Xvfb -displayfd 3 -noreset 3> FILE" started by the test names in FILE,
# once a client can open it: the window managers connect once and give up when the server does
# not answer yet. Without -noreset the server resets when its last client (this probe) leaves and
# drops a connection made during the reset, so the next client met "cannot open display".
use_display() {
    wait_for 10 test -s "$1" || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$1")"
    wait_for 10 xprop -root || fail "Xvfb does not take clients on $DISPLAY"
}
