#!/usr/bin/env bash
# Configures and builds into build/ (or $TARN_BUILD_DIR): everything, or only the targets named.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TARN_BUILD_DIR:-build}
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
