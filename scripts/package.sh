#!/usr/bin/env bash
# Builds the Debian package build/tarn51_2.0.3_amd64.deb (or under $TARN_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${TARN_BUILD_DIR:-build}
scripts/build.sh tarn51-measure Tarn51_Standalone Tarn51_VST Tarn51_VST3 Tarn51_LV2 tarn51-package-files
(cd "$build_dir" && cpack -G DEB)
