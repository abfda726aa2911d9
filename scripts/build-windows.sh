#!/usr/bin/env bash
# Cross-builds the Windows deliverables with MinGW-w64 into build-win/ (the Linux build's folder,
# $TARN_BUILD_DIR or build/, with -win; or $TARN_WINDOWS_BUILD_DIR):
#   Tarn5.1.dll            VST 2.4 plug-in (exports VSTPluginMain)
#   Tarn5.1.vst3/          VST3 bundle (Contents/x86_64-win/Tarn5.1.vst3)
#   Tarn51Standalone.exe   the standalone program
#   tarn51-measure.exe     the command-line meter
# and the Windows test hosts that scripts/test.sh runs under Wine. The codec libraries JUCE
# reads through (libpng, libjpeg-turbo, libogg, libvorbis, libFLAC) have no MinGW packages in
# Debian: they are built once from Debian's source packages into build-win/deps/ and kept there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh

build_dir=${TARN_WINDOWS_BUILD_DIR:-${TARN_BUILD_DIR:-build}-win}
mkdir -p "$build_dir"
build_dir=$(cd "$build_dir" && pwd)
deps=$build_dir/deps
prefix=$deps/prefix
toolchain=$root/cmake/MinGW64Toolchain.cmake
jobs=$(nproc)

# Shared ccache entries whichever folder the checkout or the sources sit in.
launcher=()
if command -v ccache > /dev/null; then
    export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# build_dep SOURCE-PACKAGE CMAKE-OPTION...: fetches Debian's source package (its patches
# applied), builds it as a static MinGW library and installs it into the prefix, once.
build_dep() {
    local package=$1
    shift
    local stamp=$prefix/.built-$package
    [ -f "$stamp" ] && return 0
    mkdir -p "$deps/src"
    local source
    source=$(find "$deps/src" -maxdepth 1 -mindepth 1 -type d -name "${package}-*" | head -n 1)
    if [ -z "$source" ]; then
        (cd "$deps/src" && apt-get source -q "$package" 2>&1 > /dev/null | grep -v "unsandboxed as root" || true)
        source=$(find "$deps/src" -maxdepth 1 -mindepth 1 -type d -name "${package}-*" | head -n 1)
    fi
    echo "Building $package for Windows from $(basename "$source")"
    cmake -S "$source" -B "$deps/build/$package" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTARN_WINDOWS_DEPS="$prefix" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF \
        "${launcher[@]}" "$@" > "$deps/build/$package.log" 2>&1 ||
        { cat "$deps/build/$package.log"; exit 1; }
    cmake --build "$deps/build/$package" --parallel "$jobs" --target install >> "$deps/build/$package.log" 2>&1 ||
        { tail -n 50 "$deps/build/$package.log"; exit 1; }
    touch "$stamp"
}

mkdir -p "$deps/build"
build_dep libogg -DINSTALL_DOCS=OFF
build_dep libvorbis
build_dep flac -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF
build_dep libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include
build_dep libjpeg-turbo -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF
# Debian's JUCE reads jpeglib.h with JPEG_INTERNALS, as Debian's libjpeg-dev allows, and inside
# a namespace of its own after windows.h has declared "boolean" globally: the private header
# goes beside the public ones, and jconfig.h declares "boolean" whatever it finds declared.
cp "$(find "$deps/src" -maxdepth 2 -path '*/libjpeg-turbo-*/jpegint.h' | head -n 1)" "$prefix/include/"
sed -i 's|^#ifndef __RPCNDR_H__ .*|#if 1 /* always: JUCE reads this header inside a namespace */|' \
    "$prefix/include/jconfig.h"

# FFmpeg's libraries (libavformat, libavcodec, libavutil, libswresample), through which
# tarn51-measure reads audio and video files, built statically from Debian's source package with
# only the demuxers, decoders and parsers the meter reads. The build takes minutes, so it is kept
# outside the checkout, once per machine, in a folder named after the source package's version
# and the configure options: a fresh clone on the same machine finds it there.
# Of a codec's decoders, the one FFmpeg picks first for it (mp3float, mp1, mp2, the floating-point
# AAC and AC-3 ones), as the Linux build's full libraries do, so both give the same samples.
# shellcheck disable=SC2054 # FFmpeg's component lists are comma-separated
ffmpeg_options=(
    --target-os=mingw32 --arch=x86_64 --cross-prefix=x86_64-w64-mingw32-
    --cc=x86_64-w64-mingw32-gcc-posix --cxx=x86_64-w64-mingw32-g++-posix
    --enable-static --disable-shared --disable-debug --disable-doc --disable-programs
    --disable-network --disable-autodetect --enable-w32threads --enable-zlib
    --disable-avdevice --disable-avfilter --disable-swscale --disable-postproc
    --disable-everything --enable-protocol=file,pipe
    --enable-demuxer=mov,mxf,matroska,mpegts,ogg,wav,w64,aiff,flac,mp3,ac3,eac3,aac,dts
    --enable-decoder=aac,aac_latm,ac3,eac3,dca,mp1,mp2,mp3float,opus,vorbis,flac,alac,s302m,pcm_*
    --enable-parser=aac,aac_latm,ac3,dca,flac,mpegaudio,opus,vorbis
)
ffmpeg_cache=${TARN_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tarn51}
# The version apt-get source fetches: its .dsc file's name.
ffmpeg_version=$(apt-get source --print-uris -q ffmpeg 2> /dev/null |
    sed -n "s/^'[^']*' ffmpeg_\(.*\)\.dsc .*/\1/p")
[ -n "$ffmpeg_version" ] || { echo "No Debian source package of ffmpeg (deb-src line?)"; exit 1; }
ffmpeg_key=$( (printf '%s\n' "${ffmpeg_options[@]}"; x86_64-w64-mingw32-gcc-posix -dumpfullversion) |
    sha256sum | cut -c1-12)
ffmpeg_prefix=$ffmpeg_cache/ffmpeg-mingw-$ffmpeg_version-$ffmpeg_key

build_ffmpeg() {
    [ -f "$ffmpeg_prefix/.built" ] && return 0
    local sources=$ffmpeg_cache/ffmpeg-src-$ffmpeg_version
    local build=$ffmpeg_prefix.build
    local source=""
    if [ -d "$sources" ]; then
        source=$(find "$sources" -maxdepth 1 -mindepth 1 -type d -name 'ffmpeg-*' | head -n 1)
    fi
    if [ -z "$source" ]; then
        rm -rf "$sources" && mkdir -p "$sources"
        (cd "$sources" && { apt-get source -q ffmpeg 2>&1 > /dev/null |
            grep -v "unsandboxed as root" || true; })
        source=$(find "$sources" -maxdepth 1 -mindepth 1 -type d -name 'ffmpeg-*' | head -n 1)
        [ -n "$source" ] || { echo "apt-get source ffmpeg failed"; exit 1; }
    fi
    echo "Building FFmpeg $ffmpeg_version for Windows into $ffmpeg_prefix"
    rm -rf "$build" "$ffmpeg_prefix" && mkdir -p "$build"
    local start=$SECONDS
    (cd "$build" && "$source/configure" --prefix="$ffmpeg_prefix" "${ffmpeg_options[@]}") > "$build/build.log" 2>&1 ||
        { tail -n 50 "$build/build.log"; tail -n 30 "$build/ffbuild/config.log"; exit 1; }
    make -C "$build" -j"$jobs" install >> "$build/build.log" 2>&1 || { tail -n 50 "$build/build.log"; exit 1; }
    echo "FFmpeg for Windows configured and built in $((SECONDS - start)) s"
    rm -rf "$build"
    touch "$ffmpeg_prefix/.built"
}
# One build at a time per machine: a second clone waits for the first and then finds it.
mkdir -p "$ffmpeg_cache"
(
    flock 9
    build_ffmpeg
) 9> "$ffmpeg_cache/ffmpeg-mingw.lock"

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DJUCE_DIR=/usr/lib/x86_64-linux-gnu/cmake/JUCE-7.0.5 -DTARN_WINDOWS_DEPS="$prefix" \
    -DTARN_WINDOWS_FFMPEG="$ffmpeg_prefix" -DTARN_BUILD_TESTS=OFF -DTARN_BUILD_BENCHMARKS=OFF
cmake --build "$build_dir" --parallel "$jobs" --target Tarn51_VST Tarn51_VST3 Tarn51_Standalone tarn51-measure \
    tarn51-windows-hosts
