#!/bin/bash
# Faults the logger must survive: fault-test.sh CASE LOGGER
#   server-dies   the HTTP stream's server ends and comes back: input-lost, input-back, logging resumes
#   kill-restart  kill -9 then a restart: integrity_check ok, every step but the last second kept
#   disk-full     the database's filesystem fills up: an error line, steps held and written later
#   long-reader   another connection holds the database: no step is lost or dropped
#   jack-server-dies  the JACK server (dummy backend) ends and comes back: as server-dies
set -euo pipefail
case_name=$1
logger=$2
work=$(mktemp -d /tmp/tarn51-logger-fault.XXXXXX)
pids=()
cleanup() {
    # Asked to end first: a JACK server killed outright leaves its entry in JACK's shared
    # registry, and a few such entries refuse every later server on the machine.
    for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
    for _ in $(seq 30); do
        alive=0
        for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && alive=1; done
        [ "$alive" = 0 ] && break
        sleep 0.1
    done
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
    mountpoint -q "$work/small" 2>/dev/null && umount "$work/small"
    rm -rf "$work"
}
trap cleanup EXIT
# The rows where the rollup and a sum over the steps differ, either way: none when each block
# was written with its steps.
rollup_differs() {
    local sums="SELECT (time_ms - 1) / 10000 * 10000, COUNT(*), MIN(momentary), MAX(momentary),
                MIN(short_term), MAX(short_term) FROM steps GROUP BY 1"
    local blocks="SELECT start_ms, steps, momentary_min, momentary_max, short_term_min, short_term_max
                  FROM step_blocks"
    q "$1" "SELECT COUNT(*) FROM ($sums EXCEPT $blocks) UNION ALL SELECT COUNT(*) FROM ($blocks EXCEPT $sums)" |
        awk '{ n += $1 } END { print n }'
}
fail() { echo "FAIL: $*" >&2; [ -f "$work/logger.err" ] && cat "$work/logger.err" >&2; exit 1; }
q() { sqlite3 "$1" "$2"; }
# Ends the input's server (signal, pid), starts it again (a function) and stops the logger 4 s
# later: the input was lost once and came back, and logging went on after it.
outage() {
    local db=$work/log.sqlite kinds back after
    kill "$1" "$2"; wait "$2" 2>/dev/null || true
    sleep 1.5
    "$3"
    sleep 4
    kill -TERM "$logger_pid"; wait "$logger_pid" || fail "logger exit status"
    kinds=$(q "$db" "SELECT group_concat(kind, ' ') FROM (SELECT kind FROM events ORDER BY time_ms, id)")
    echo "events: $kinds"
    [[ $kinds == "start input-lost input-back stop" ]] || fail "events: $kinds"
    back=$(q "$db" "SELECT time_ms FROM events WHERE kind = 'input-back'")
    after=$(q "$db" "SELECT COUNT(*) FROM steps WHERE time_ms > $back")
    echo "steps after input-back: $after"
    # The second attempt (2 s after the first) finds the server back: some 2.5 s of steps.
    [ "$after" -ge 15 ] || fail "logging did not resume ($after steps)"
}
# Waits until the stream server listens (a test connection would take its only client).
listening() { until ss -ltn | grep -q ":$port "; do sleep 0.1; done; }
# Steps stored without a hole: the count equals the span in steps.
contiguous() { [ "$(q "$1" "SELECT COUNT(*) = (MAX(time_ms) - MIN(time_ms)) / 100 + 1 FROM steps")" = 1 ]; }
tone() { ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=997:sample_rate=48000:duration=$2" \
         -af volume=-20dB -ac 2 -c:a pcm_s16le "$1"; }

case $case_name in
server-dies)
    port=$(( 20000 + RANDOM % 20000 ))
    serve() {
        ffmpeg -loglevel error -re -f lavfi -i "sine=frequency=997:sample_rate=48000:duration=60" \
            -ac 2 -c:a pcm_s16le -f matroska -listen 1 "http://127.0.0.1:$port/live" &
        server=$!; pids+=("$server")
    }
    serve; listening
    "$logger" --url "http://127.0.0.1:$port/live" --db "$work/log.sqlite" 2>"$work/logger.err" &
    logger_pid=$!; pids+=("$logger_pid")
    sleep 3
    outage -9 "$server" serve
    [ "$(q "$work/log.sqlite" "SELECT COUNT(*) FROM sessions")" = 2 ] || fail "no new session"
    ;;
kill-restart)
    tone "$work/in.wav" 60
    "$logger" --file "$work/in.wav" --realtime --db "$work/log.sqlite" 2>"$work/logger.err" &
    logger_pid=$!; pids+=("$logger_pid")
    sleep 4.5
    kill -9 "$logger_pid"; wait "$logger_pid" 2>/dev/null || true
    db=$work/log.sqlite
    [ "$(q "$db" "PRAGMA integrity_check")" = ok ] || fail "integrity_check"
    contiguous "$db" || fail "a hole in the steps"
    [ "$(rollup_differs "$db")" = 0 ] || fail "the rollup differs from the steps"
    n=$(q "$db" "SELECT COUNT(*) FROM steps")
    echo "steps after 4.5 s and kill -9: $n"
    [ "$n" -ge 30 ] || fail "only $n steps kept"
    before=$(q "$db" "SELECT COUNT(*), SUM(momentary), SUM(time_ms) FROM steps")
    "$logger" --file "$work/in.wav" --realtime --db "$work/log.sqlite" 2>>"$work/logger.err" &
    logger_pid=$!; pids+=("$logger_pid")
    sleep 2
    kill -TERM "$logger_pid"; wait "$logger_pid" || fail "restart exit status"
    last=$(q "$db" "SELECT MAX(time_ms) FROM steps WHERE time_ms <= (SELECT MIN(started_ms) FROM sessions WHERE id = 2)")
    [ "$(q "$db" "SELECT COUNT(*), SUM(momentary), SUM(time_ms) FROM steps WHERE time_ms <= $last")" = "$before" ] \
        || fail "old rows changed"
    [ "$(q "$db" "SELECT COUNT(*) FROM sessions")" = 2 ] || fail "no second session"
    [ "$(q "$db" "PRAGMA integrity_check")" = ok ] || fail "integrity_check after restart"
    [ "$(rollup_differs "$db")" = 0 ] || fail "the rollup differs from the steps after the restart"
    ;;
disk-full)
    [ "$(id -u)" = 0 ] || { echo "needs root to mount a tmpfs"; exit 0; }
    mkdir "$work/small"
    mount -t tmpfs -o size=2m tmpfs "$work/small"
    tone "$work/in.wav" 60
    "$logger" --file "$work/in.wav" --realtime --db "$work/small/log.sqlite" 2>"$work/logger.err" &
    logger_pid=$!; pids+=("$logger_pid")
    sleep 1.5
    dd if=/dev/zero of="$work/small/filler" bs=64k 2>/dev/null || true
    sleep 3
    grep -q "cannot write to the database" "$work/logger.err" || fail "no error line"
    rm "$work/small/filler"
    sleep 2.5
    kill -TERM "$logger_pid"; wait "$logger_pid" || fail "logger exit status"
    db=$work/small/log.sqlite
    kinds=$(q "$db" "SELECT group_concat(kind, ' ') FROM (SELECT kind FROM events ORDER BY time_ms, id)")
    echo "events: $kinds"
    [[ $kinds == *storage-full*storage-back* ]] || fail "events: $kinds"
    contiguous "$db" || fail "steps lost while the disk was full"
    n=$(q "$db" "SELECT COUNT(*) FROM steps")
    echo "steps after 7 s with 3 s of full disk: $n"
    [ "$n" -ge 60 ] || fail "only $n steps"
    ;;
long-reader)
    tone "$work/in.wav" 60
    db=$work/log.sqlite
    "$logger" --file "$work/in.wav" --realtime --db "$db" 2>"$work/logger.err" &
    logger_pid=$!; pids+=("$logger_pid")
    sleep 1.5
    # A report that reads for 3 s, then a connection that holds the write lock for 3 s.
    python3 - "$db" <<'PY'
import sqlite3, sys, time
reader = sqlite3.connect(sys.argv[1], isolation_level=None)
reader.execute("BEGIN"); reader.execute("SELECT COUNT(*) FROM steps").fetchone(); time.sleep(3); reader.execute("COMMIT")
holder = sqlite3.connect(sys.argv[1], isolation_level=None, timeout=10)
holder.execute("BEGIN IMMEDIATE"); time.sleep(3); holder.execute("COMMIT")
PY
    sleep 1.5
    kill -TERM "$logger_pid"; wait "$logger_pid" || fail "logger exit status"
    contiguous "$db" || fail "a hole in the steps"
    n=$(q "$db" "SELECT COUNT(*) FROM steps")
    dropped=$(q "$db" "SELECT COUNT(*) FROM events WHERE kind = 'steps-dropped'")
    echo "steps over 9 s with the database held 6 s: $n, dropped events: $dropped"
    [ "$n" -ge 80 ] && [ "$dropped" = 0 ] || fail "$n steps, $dropped drops"
    ;;
jack-server-dies)
    command -v jackd >/dev/null || { echo "no jackd: skipped"; exit 0; }
    # A server of this test's own (dummy backend, no sound card), which it stops and starts again.
    export JACK_DEFAULT_SERVER=tarn51-test-$$ JACK_NO_AUDIO_RESERVATION=1
    jack() { jackd -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >>"$work/jackd.log" 2>&1 & jackd_pid=$!; pids+=("$jackd_pid"); }
    jack; until jack_lsp >/dev/null 2>&1; do sleep 0.1; done
    "$logger" --jack --connect system:capture_1 system:capture_2 --db "$work/log.sqlite" 2>"$work/logger.err" &
    logger_pid=$!; pids+=("$logger_pid")
    sleep 3
    outage -TERM "$jackd_pid" jack
    [ "$(q "$work/log.sqlite" "SELECT channels || ' ' || sample_rate FROM sessions LIMIT 1")" = "2 48000.0" ] \
        || fail "session"
    ;;
*) echo "unknown case $case_name" >&2; exit 2 ;;
esac
echo "PASS $case_name"
