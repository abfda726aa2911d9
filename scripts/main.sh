#!/usr/bin/env bash
# Fresh machine to main job: install, build, and measure the built-in reference programme.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
"${TARN_BUILD_DIR:-build}/tarn51-measure" --reference
