#!/usr/bin/env bash
# Configures and builds everything into build/ (or $TARN_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TARN_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build_dir" --parallel "$(nproc)"
