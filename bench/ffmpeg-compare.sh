#!/usr/bin/env bash
# Decode plus measurement of tarn51-measure against the ffmpeg command's own ebur128 filter
# (true peak on), on the same coded files, side by side in one run: a 10-minute 5.1 AC-3 at
# 448 kb/s and a 10-minute stereo AAC in MP4, both made here by ffmpeg from a 997 Hz tone with
# pink noise. Prints the processor time (user + system) and wall time of each, best of three,
# and the ratios.
# Usage: bench/ffmpeg-compare.sh [build folder]   (default: $TARN_BUILD_DIR or build)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-${TARN_BUILD_DIR:-build}}
measure="$build_dir/tarn51-measure"

for tool in "$measure" /usr/bin/time ffmpeg; do
    if ! command -v "$tool" > /dev/null; then
        echo "ffmpeg-compare: $tool is missing (build first; Debian packages time and ffmpeg)" >&2
        exit 2
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tarn51-ffmpeg-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

source_of() { # channels
    echo "sine=f=997:d=600:r=48000,volume=0.3[t];anoisesrc=c=pink:d=600:r=48000:a=0.1[n];[t][n]amix=normalize=0,aformat=channel_layouts=$1"
}
ffmpeg -v error -f lavfi -i "$(source_of 5.1)" -c:a ac3 -b:a 448k "$work/programme-5.1.ac3"
ffmpeg -v error -f lavfi -i "$(source_of stereo)" -c:a aac -b:a 256k "$work/programme-stereo.mp4"

# Best of three runs: "cpu wall" in seconds.
best_of_three() {
    for _ in 1 2 3; do
        /usr/bin/time -f "%U %S %e" -o "$work/time.txt" "$@" > /dev/null 2>&1
        cat "$work/time.txt"
    done | awk 'NR == 1 || $1 + $2 < cpu { cpu = $1 + $2 } NR == 1 || $3 < wall { wall = $3 } END { print cpu, wall }'
}

for file in programme-5.1.ac3 programme-stereo.mp4; do
    read -r ours_cpu ours_wall < <(best_of_three "$measure" --quiet --json "$work/$file")
    read -r theirs_cpu theirs_wall < <(best_of_three ffmpeg -nostats -i "$work/$file" -af ebur128=peak=true -f null -)
    awk -v f="$file" -v oc="$ours_cpu" -v ow="$ours_wall" -v tc="$theirs_cpu" -v tw="$theirs_wall" 'BEGIN {
        printf "%-22s tarn51-measure %5.2f s CPU %5.2f s wall | ffmpeg ebur128 %5.2f s CPU %5.2f s wall | %4.1fx CPU %4.1fx wall\n",
            f, oc, ow, tc, tw, tc / oc, tw / ow }'
done
