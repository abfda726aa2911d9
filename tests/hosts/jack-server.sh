# Sourced by tests that need a JACK server of their own on the dummy back end.
#
# start_jack_server PREFIX LOG DRIVER-ARGUMENTS...
#   starts jackd as tarn51-PREFIX-N, names it in JACK_DEFAULT_SERVER and its process in
#   jackd_pid, and returns once the server takes clients; returns 1 when none could start.
#
# A few fixed server names rather than a new one per run: JACK has room for eight servers on a
# machine and takes a name's slot back only when that name is used again, so servers that died
# without unregistering would otherwise fill the machine's slots for good. A name is this run's
# while it holds the name's lock (in this tree or another one); the server and its clients
# inherit the lock and hold it for as long as they live.
start_jack_server() {
    local prefix=$1 log=$2 slot
    shift 2
    export JACK_NO_START_SERVER=1
    export JACK_NO_AUDIO_RESERVATION=1
    jackd_pid=
    for slot in 1 2 3 4; do
        exec {jack_slot_lock}> "${TMPDIR:-/tmp}/tarn51-jack-$prefix-$slot.lock"
        flock -n "$jack_slot_lock" || { exec {jack_slot_lock}>&-; continue; }
        export JACK_DEFAULT_SERVER="tarn51-$prefix-$slot"
        jackd --no-realtime --name "$JACK_DEFAULT_SERVER" "$@" > "$log" 2>&1 &
        jackd_pid=$!
        # Our own server, not another run's of the same name.
        if jack_wait --server "$JACK_DEFAULT_SERVER" --wait --timeout 20 > /dev/null 2>&1 &&
            kill -0 "$jackd_pid" 2> /dev/null; then
            return 0
        fi
        kill "$jackd_pid" 2> /dev/null || true
        wait "$jackd_pid" 2> /dev/null || true
        jackd_pid=
        exec {jack_slot_lock}>&-
    done
    return 1
}
