#!/usr/bin/env bash
# Peak memory of tarn51-measure on a 1-minute and a 60-minute 5.1 48 kHz file: the meter
# streams block by block, so the two must lie within 2 MB of each other.
# Usage: bench/peak-memory.sh [build folder]   (default: $TARN_BUILD_DIR or build)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-${TARN_BUILD_DIR:-build}}
measure="$build_dir/tarn51-measure"
tonegen="$build_dir/tarn51-tonegen"
limit_kb=2048

for tool in "$measure" "$tonegen" /usr/bin/time; do
    if [ ! -x "$tool" ]; then
        echo "peak-memory: $tool is missing (build first; /usr/bin/time is Debian's package time)" >&2
        exit 2
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarn51-memory.XXXXXX")
trap 'rm -rf "$work"' EXIT

max_rss_kb() {
    /usr/bin/time -v "$measure" --quiet --json "$1" 2>"$work/time.txt" >/dev/null
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$work/time.txt"
}

"$tonegen" --seconds 60 --channels 6 --bits 16 "$work/one-minute.wav"
short_kb=$(max_rss_kb "$work/one-minute.wav")
rm -f "$work/one-minute.wav"

"$tonegen" --seconds 3600 --channels 6 --bits 16 "$work/sixty-minutes.wav"
long_kb=$(max_rss_kb "$work/sixty-minutes.wav")
rm -f "$work/sixty-minutes.wav"

difference_kb=$((long_kb - short_kb))
echo "tarn51-measure peak memory (max RSS): 1 min ${short_kb} kB, 60 min ${long_kb} kB, difference ${difference_kb} kB (limit ${limit_kb} kB)"

if [ "$difference_kb" -gt "$limit_kb" ]; then
    echo "peak-memory: the 60-minute file needs more than 2 MB more than the 1-minute file" >&2
    exit 1
fi
