#!/usr/bin/env bash
# The Windows build (scripts/build-windows.sh) under Wine, compared with the Linux build.
#
# usage: wine-test.sh WINDOWS-BUILD-DIR LINUX-BUILD-DIR CHECK
#   prefix       creates the Wine prefix the other checks share (WINDOWS-BUILD-DIR/wine)
#   vst2         the raw VST 2.4 host's tests against Tarn5.1.dll, editor snapshot included
#   vst2-linux   a -23 LUFS tone's readings and the saved state: the same bits as the Linux build
#   juce-host    JUCE's hosting classes' tests against the VST3 bundle and the VST 2.4 DLL
#   measure      tarn51-measure.exe gives exactly the Linux tarn51-measure's output, for the
#                files JUCE reads and for those FFmpeg reads (MOV, MXF tracks, AC-3, Opus)
#   standalone   Tarn51Standalone.exe shows its window and writes its settings file on a close
#                request
#   standalone-beside  twenty starts of it beside another Wine program whose display goes
# Exits 77 (reported by CTest as skipped) when Wine or the Windows build is missing.
set -euo pipefail

win=$1
linux=$2
check=$3
here=$(cd "$(dirname "$0")" && pwd)
wine=/usr/lib/wine/wine64
with_display=$here/../with-display.sh
snapshots=$win/snapshots

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAIL: $*"
    exit 1
}

[ -x "$wine" ] || skip "no 64-bit Wine ($wine; scripts/setup.sh installs wine64)"
[ -f "$win/tarn51-measure.exe" ] || skip "no Windows build in $win (scripts/build-windows.sh)"

# Wine quiet but for what the programs send to the debugger: JUCE's leak detector and assertion
# log write there on Windows, and the tests fail on what they write.
export WINEPREFIX=$win/wine WINEDEBUG=-all,warn+debugstr WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's name of a path in the Linux file system: its drive Z: is the root.
winpath() { echo "Z:$1"; }

# Every program of a prefix shares one wineserver, and the first program with a window binds
# the prefix's desktop to its X display. A check that outlived another check's display failed to
# make windows (the standalone program then crashed inside JUCE's display enumeration). So the
# checks run one at a time (CTest's resource lock), each with a wineserver of its own that ends
# with the check.
wineserver=/usr/lib/wine/wineserver
end_wineserver() {
    "$wineserver" -k 2> /dev/null || true
    "$wineserver" -w 2> /dev/null || true
}
end_wineserver
work=$(mktemp -d "${TMPDIR:-/tmp}/tarn51-wine-$check.XXXXXX")
trap 'rm -rf "$work"; end_wineserver' EXIT
mkdir -p "$snapshots"

case $check in
prefix)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot --init > "$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot"; }
        # Until the prefix is written out.
        "$wineserver" -w
    fi
    [ -f "$WINEPREFIX/system.reg" ] || fail "no Wine prefix in $WINEPREFIX"
    ;;

vst2)
    TARN_SNAPSHOT_DIR=$(winpath "$snapshots") "$with_display" "$wine" "$win/hosts/tarn51-raw-vst2-host-tests.exe"
    convert "$snapshots/vst2-editor.bmp" "$snapshots/vst2-editor.png" && rm "$snapshots/vst2-editor.bmp"
    ;;

juce-host)
    "$with_display" "$wine" "$win/hosts/tarn51-juce-host-tests.exe"
    ;;

vst2-linux)
    filter=--gtest_filter=RawVst2Host.MinusTwentyThreeLufsToneReadingsAndState
    TARN_VST2_READINGS=$work/linux.txt "$linux/tests/hosts/vst2-raw/tarn51-raw-vst2-host-tests" "$filter"
    TARN_VST2_READINGS=$(winpath "$work/windows.txt") "$wine" "$win/hosts/tarn51-raw-vst2-host-tests.exe" "$filter"
    diff "$work/linux.txt" "$work/windows.txt" || fail "the Windows build's readings or state differ"
    cat "$work/windows.txt"
    ;;

measure)
    # Test files of every reader the meter has, at several rates, channel counts and layouts.
    cd "$work"
    gen=$linux/tarn51-tonegen
    "$gen" --seconds 12 --channels 6 --rate 48000 --bits 24 --level -18 surround.wav
    "$gen" --seconds 9 --channels 5 --rate 96000 --bits 32f --level -25 five.wav
    "$gen" --seconds 8 --channels 2 --rate 44100 --bits 16 --level -12 stereo.aiff
    "$gen" --seconds 7 --channels 1 --rate 88200 --bits 24 --level -30 mono.flac
    "$gen" --seconds 10 --channels 6 --rate 48000 --level -20 surround.ogg
    # What the meter reads through FFmpeg, made by the ffmpeg command from the tones above: PCM in
    # MOV, six mono MXF tracks beside a video stream (measured as one programme with --tracks),
    # AC-3 and Opus (decoded by FFmpeg's own decoders on both systems).
    ff=(ffmpeg -hide_banner -loglevel error -nostdin -y)
    "${ff[@]}" -i stereo.aiff -c:a pcm_s24be stereo.mov
    pan=""
    for c in 0 1 2 3 4 5; do pan+="[0:a]pan=mono|c0=c${c}[t${c}];"; done
    "${ff[@]}" -i surround.wav -f lavfi -i "color=black:s=64x64:r=25:d=12" -filter_complex "${pan%;}" \
        -map 1:v -map "[t0]" -map "[t1]" -map "[t2]" -map "[t3]" -map "[t4]" -map "[t5]" \
        -c:v mpeg2video -c:a pcm_s24le tracks.mxf
    "${ff[@]}" -i surround.wav -c:a ac3 -b:a 448k surround.ac3
    "${ff[@]}" -i stereo.aiff -ar 48000 -c:a libopus -b:a 128k stereo.opus
    files=(surround.wav five.wav stereo.aiff mono.flac surround.ogg)
    decoded=(stereo.mov surround.ac3 stereo.opus)
    runs=(
        "--reference"
        "--reference --json"
        "--reference --standard atsc --gating off"
        "--json ${files[*]}"
        "${files[*]}"
        "--json --standard arib --layout c24 --block 333 ${files[*]}"
        "--json --ml-threshold -20 --st-threshold -25 surround.wav"
        "${decoded[*]}"
        "--json ${decoded[*]}"
        "--tracks 1-6 tracks.mxf"
        "--json --tracks 1-6 tracks.mxf")
    for args in "${runs[@]}"; do
        # shellcheck disable=SC2086 # the arguments are split on purpose
        "$linux/tarn51-measure" -q $args > linux.out
        # shellcheck disable=SC2086
        "$wine" "$win/tarn51-measure.exe" -q $args | tr -d '\r' > windows.out
        diff linux.out windows.out || fail "tarn51-measure $args: the outputs differ"
        echo "same output: tarn51-measure $args"
    done
    ;;

standalone)
    bash "$here/standalone-test.sh" "$win" "$snapshots" "$linux/tests/standalone/tarn51-x11-close-window"
    ;;

standalone-beside)
    bash "$here/standalone-beside-test.sh" "$win"
    ;;

*)
    fail "unknown check $check"
    ;;
esac
