#!/usr/bin/env bash
# Fresh machine to main job: install, build the command-line meter only, and measure the
# built-in reference programme. (scripts/test.sh builds everything.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh tarn51-measure
"${TARN_BUILD_DIR:-build}/tarn51-measure" --reference
