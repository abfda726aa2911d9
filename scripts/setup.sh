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
    xvfb xauth x11-apps xdotool imagemagick jackd2 openbox x11-utils
    jalv binutils ardour python3
    help2man lintian desktop-file-utils dpkg-dev
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
