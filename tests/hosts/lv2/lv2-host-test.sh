#!/usr/bin/env bash
# The LV2 bundle in Debian's LV2 tools and hosts.
#
#   lv2-host-test.sh info|validate|jack|late BUNDLE [PASS_THROUGH_CHECK [LATE_CLIENT]]
#
# info      lv2info lists the plug-in with its URI, name, maker and ports.
# validate  sord_validate over the bundle's Turtle files with the LV2 schemas of lv2-dev:
#           every finding must be one of those JUCE's generator is known to cause.
# jack      jalv hosts the plug-in in a JACK server of its own on the dummy backend; the
#           pass-through check plays six channels into it and records them and its outputs in
#           the same cycles: the outputs must equal the inputs bit for bit.
# late      the pass-through check against a client that activates 3 s after it registered
#           its ports, as jalv on a loaded machine: the check must wait for it.
set -euo pipefail

mode=$1
bundle=$(cd "$2" && pwd)
uri=https://velnor.org/plugins/tarn51

work=$(mktemp -d)
pids=()
# Stops what the test started, the last started first (jalv before its JACK server, so that
# the server need not wait for a client that vanished).
# One that does not end within 10 s of the request (jalv stuck in leaving a server that went
# wrong) is killed, so that the test reports instead of running into its time-out.
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        for _ in $(seq 100); do
            kill -0 "${pids[i]}" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Only this bundle on the LV2 path.
mkdir "$work/lv2"
ln -s "$bundle" "$work/lv2/$(basename "$bundle")"
export LV2_PATH="$work/lv2:/usr/lib/lv2"

source "$(dirname "$0")/../jack-server.sh"

# A JACK server of this run's own, with a long client time-out: on a loaded machine a slow
# cycle must not throw jalv out of the graph.
start_lv2_jack_server() {
    if ! start_jack_server lv2 "$work/jackd.log" --sync --timeout 5000 -d dummy --rate 48000 \
        --period 256 --capture 0 --playback 0; then
        cat "$work/jackd.log"
        fail "the JACK server did not start"
    fi
    pids+=("$jackd_pid")
}

case "$mode" in
info)
    lv2info "$uri" > "$work/info.txt" || fail "lv2info does not find $uri"
    cat "$work/info.txt"
    expect() {
        grep -Eq "$1" "$work/info.txt" || fail "lv2info shows no line matching: $1"
    }
    expect "^$uri\$"
    expect "^[[:space:]]*Name:[[:space:]]+Tarn5\.1\$"
    expect "^[[:space:]]*Author:[[:space:]]+Velnor\$"
    expect "^[[:space:]]*Class:[[:space:]]+Plugin\$"
    for preset in EBU ATSC ARIB; do
        expect "^[[:space:]]+(Presets:[[:space:]]*)?$preset\$"
    done
    for i in 1 2 3 4 5 6; do
        expect "Symbol:[[:space:]]+audio_in_$i\$"
        expect "Symbol:[[:space:]]+audio_out_$i\$"
    done
    audio_ins=$(grep -c "Symbol:[[:space:]]*audio_in_" "$work/info.txt")
    audio_outs=$(grep -c "Symbol:[[:space:]]*audio_out_" "$work/info.txt")
    [ "$audio_ins" -eq 6 ] && [ "$audio_outs" -eq 6 ] || fail "$audio_ins audio inputs, $audio_outs outputs"
    # No MIDI port: the meter takes no events.
    if grep -q "http://lv2plug.in/ns/ext/midi#MidiEvent" "$work/info.txt"; then
        fail "a port takes MIDI"
    fi
    echo "lv2info: $uri with 6 audio inputs, 6 audio outputs and the three programs as presets"
    ;;

validate)
    schemas=$(dpkg -L lv2-dev | grep '\.ttl$' | grep '^/usr/lib/lv2/')
    [ -n "$schemas" ] || fail "no LV2 schemas from lv2-dev"
    # shellcheck disable=SC2086
    sord_validate $schemas "$bundle"/*.ttl > "$work/validate.txt" 2>&1 || true
    cat "$work/validate.txt"
    # What JUCE's generator writes that the schemas do not describe; see the README.
    known=(
        'Subject not in domain <http://usefulinc.com/ns/doap#Project> .* http://usefulinc.com/ns/doap#(maintainer|release) '
        'Object not in range <http://lv2plug.in/ns/lv2core#ExtensionData> .* http://lv2plug.in/ns/extensions/ui#noUserResize$'
        'Object not in range <http://lv2plug.in/ns/lv2core#Feature> .* http://lv2plug.in/ns/ext/options#interface$'
        'Use of undefined property [^ ]+ https://velnor.org/plugins/tarn51:Program [0-9]+$'
        'Property <https://velnor.org/plugins/tarn51:Program> has no label [^ ]+ https://velnor.org/plugins/tarn51:Program [0-9]+$'
    )
    # Each finding is an "error:" or "warning:" line and the indented triple below it.
    awk '/^(error|warning):/ { if (f != "") print f; f = $0; next }
         /^[[:space:]]+[^[:space:]]/ { if (f != "") { sub(/^[[:space:]]+/, ""); f = f " " $0 }; next }
         /^[^[:space:]]/ { if (f != "") print f; f = "" }
         END { if (f != "") print f }' "$work/validate.txt" > "$work/findings.txt"
    unexplained=0
    while IFS= read -r finding; do
        explained=0
        for pattern in "${known[@]}"; do
            if grep -Eq -- "$pattern" <<< "$finding"; then
                explained=1
                break
            fi
        done
        if [ $explained -eq 0 ]; then
            echo "UNEXPLAINED: $finding" >&2
            unexplained=$((unexplained + 1))
        fi
    done < "$work/findings.txt"
    [ $unexplained -eq 0 ] || fail "$unexplained sord_validate findings not caused by JUCE's generator"
    echo "sord_validate: $(wc -l < "$work/findings.txt") findings, all from JUCE's generator"
    ;;

jack)
    check=$3
    start_lv2_jack_server

    # jalv leaves when its standard input ends, so it gets one that stays open.
    mkfifo "$work/jalv-input"
    jalv -x -n tarn51 "$uri" < "$work/jalv-input" > "$work/jalv.log" 2>&1 &
    pids+=($!)
    exec 3> "$work/jalv-input"

    status=0
    "$check" tarn51 4 || status=$?
    # The end of its input lets jalv leave by itself.
    exec 3>&-
    for _ in $(seq 50); do
        kill -0 "${pids[1]}" 2>/dev/null || break
        sleep 0.1
    done
    echo "--- jalv"
    cat "$work/jalv.log"
    if [ $status -ne 0 ]; then
        echo "--- jackd"
        cat "$work/jackd.log"
        fail "the pass-through check failed"
    fi
    echo "jalv in JACK: outputs equal inputs"
    ;;

late)
    # The check against a client that activates 3 s after it registered its ports.
    check=$3
    start_lv2_jack_server
    "$4" tarn51-late 3 &
    pids+=($!)
    "$check" tarn51-late 1 || { cat "$work/jackd.log"; fail "the check did not wait for the late client"; }
    echo "the check waited for the late client"
    ;;

*)
    fail "unknown mode $mode"
    ;;
esac
