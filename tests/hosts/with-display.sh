#!/usr/bin/env bash
# Runs a command under an Xvfb display of its own. Xvfb picks a display number no other server
# holds and tells it (-displayfd), so tests started at the same moment never share a display,
# and only that Xvfb, by its process id, is stopped when the command ends.
set -u
dir=$(mktemp -d "${TMPDIR:-/tmp}/tarn51-display.XXXXXX")
xvfb=
command=
stop() {
    [ -z "$command" ] || kill "$command" 2> /dev/null
    [ -z "$xvfb" ] || { kill "$xvfb" 2> /dev/null; wait "$xvfb" 2> /dev/null; }
    rm -rf "$dir"
}
trap stop EXIT
trap 'exit 143' TERM INT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$dir/display" 2> "$dir/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
    # The number is written, with a new line, once the server takes connections.
    grep -q '^[0-9]\+$' "$dir/display" 2> /dev/null && break
    kill -0 "$xvfb" 2> /dev/null || break
    sleep 0.05
done
if ! grep -q '^[0-9]\+$' "$dir/display" 2> /dev/null; then
    cat "$dir/xvfb.log" >&2
    echo "with-display.sh: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$(cat "$dir/display")"

"$@" &
command=$!
wait "$command"
status=$?
command=
exit $status
