#!/usr/bin/env bash
# tarn51-logger's costs:
#   - processor time of logging one 5.1 48 kHz input paced at its own rate, as % of one core;
#   - database bytes per logged day (an hour of 5.1 48 kHz, logged as fast as it decodes);
#   - resident memory over a simulated week: DAYS days of generated input (mono 8 kHz, so that
#     a week decodes in minutes; the steps and the database are those of any input), sampled
#     every 2 s, after the first day and at the end. Matroska, as a stream server sends it: NUT's
#     demuxer keeps every syncpoint it passes for seeking, some 7 MB a day;
#   - the time of a one-day report over that database.
# Usage: bench/logger.sh [build folder]   (default: $TARN_BUILD_DIR or build); DAYS=7 by default.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-${TARN_BUILD_DIR:-build}}
logger="$build_dir/tarn51-logger"
days=${DAYS:-7}
for tool in "$logger" ffmpeg /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "logger bench: $tool is missing" >&2; exit 2; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tarn51-logger-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# A 5.1 programme whose level moves, so that every step differs.
surround() {
    ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=997:sample_rate=48000:duration=$1" \
        -af "volume='0.2+0.15*sin(t/7)':eval=frame" -ac 6 -c:a pcm_s16le "$2"
}

surround 30 "$work/live.wav"
/usr/bin/time -f "%U %S %e" -o "$work/time.txt" \
    "$logger" --file "$work/live.wav" --realtime --db "$work/live.sqlite" 2>/dev/null
read -r user system elapsed <"$work/time.txt"
echo "core: $(echo "scale=2; 100 * ($user + $system) / $elapsed" | bc) % of one core" \
    "(${user} s user + ${system} s system over ${elapsed} s of 5.1 48 kHz)"

surround 3600 "$work/hour.wav"
"$logger" --file "$work/hour.wav" --db "$work/hour.sqlite" 2>/dev/null
hour_bytes=$(stat -c %s "$work/hour.sqlite")
echo "database: $((hour_bytes * 24)) bytes per day of 5.1 ($hour_bytes for an hour; limit 40 MB)"
rm -f "$work/hour.wav"

ffmpeg -loglevel error -f lavfi -i "sine=frequency=997:sample_rate=8000:duration=$((days * 86400))" \
    -af "volume='0.2+0.15*sin(t/7)':eval=frame" -c:a pcm_s16le -f matroska pipe:1 |
    "$logger" --file - --start 2026-01-05T00:00:00Z --db "$work/week.sqlite" 2>/dev/null &
pid=$! # the logger, the pipeline's last command
first_day_kb=0 largest_kb=0
while [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; do
    rss=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status" 2>/dev/null || echo 0)
    logged_days=$(sqlite3 "file:$work/week.sqlite?mode=ro" "SELECT COUNT(*) / 864000.0 FROM steps" 2>/dev/null || echo 0)
    [ "${rss:-0}" -gt "$largest_kb" ] && largest_kb=$rss
    if [ "$first_day_kb" = 0 ] && [ "$(echo "$logged_days >= 1" | bc)" = 1 ]; then first_day_kb=$largest_kb; fi
    sleep 2
done
wait
echo "memory: ${first_day_kb} kB after the first day, ${largest_kb} kB largest over ${days} days"
echo "database: $(stat -c %s "$work/week.sqlite") bytes for ${days} days of mono"

/usr/bin/time -f "%e" -o "$work/report.txt" "$logger" report --db "$work/week.sqlite" \
    --from 2026-01-06T00:00:00Z --to 2026-01-07T00:00:00Z --json >/dev/null
echo "report: one day in $(cat "$work/report.txt") s (limit 2 s)"
