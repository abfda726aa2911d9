#!/usr/bin/env bash
# Installs every Debian package that building and testing Tarn 5.1 needs.
# Idempotent: packages already present are left alone. Runs as root or through sudo.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config git
    juce-modules-source
    libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev
    libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev libgl-dev
    libflac-dev libvorbis-dev libogg-dev
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
    fst-dev lv2-dev lilv-utils serdi sordi
    fonts-dejavu-core
    libebur128-dev time
    # tarn51-measure decodes through FFmpeg's libraries; the ffmpeg command makes test fixtures.
    libavformat-dev libavcodec-dev libavutil-dev libswresample-dev ffmpeg
    # tarn51-logger stores its steps in SQLite; the sqlite3 command checks them in tests.
    libsqlite3-dev sqlite3
    # Its JACK input is tested against a JACK server with the dummy backend.
    jackd2
    # Its web page (--http): the HTTP server library, the chart library the page embeds, and
    # the browser its test drives headless.
    libcpp-httplib-dev libjs-chart.js chromium
    xvfb xauth x11-apps xdotool imagemagick jackd2 openbox fluxbox x11-utils
    jalv binutils ardour python3 gdb
    help2man lintian desktop-file-utils dpkg-dev
    clang libclang-rt-14-dev
    # The Windows build (scripts/build-windows.sh): MinGW-w64, the zlib it links, the tools that
    # unpack the codec libraries' and FFmpeg's Debian sources, the assembler of FFmpeg's SIMD
    # code, and Wine to run the Windows tests.
    g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev nasm wine64
)

# The Windows build compiles the codec libraries from Debian's source packages (apt-get source).
source_list=/etc/apt/sources.list.d/tarn51-bookworm-src.sources
need_sources=0
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    need_sources=1
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ] && [ $need_sources -eq 0 ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi

if [ $need_sources -eq 1 ]; then
    echo "Adding Debian's bookworm source packages to the apt sources: $source_list"
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
        "${as_root[@]}" tee "$source_list" > /dev/null
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
