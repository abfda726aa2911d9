#!/usr/bin/env bash
# Fresh machine to test results: install, build, and run every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --test-dir "${TARN_BUILD_DIR:-build}" --output-on-failure --parallel "$(nproc)"
