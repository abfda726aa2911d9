#!/usr/bin/env bash
# Fresh machine to test results: install, build, and run every test.
#
# Besides build/ (or $TARN_BUILD_DIR) it builds, each into a folder of its own beside it, only
# what runs under a sanitizer: the concurrency stress test with ThreadSanitizer (-tsan) and,
# with clang, the libFuzzer targets with AddressSanitizer (-fuzz). ctest runs them with the
# other tests and reports them as skipped where a folder is missing. The Windows deliverables
# are cross-built with MinGW-w64 into -win (scripts/build-windows.sh) and tested under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

build_dir=${TARN_BUILD_DIR:-build}
jobs=$(nproc)

cmake -S . -B "${build_dir}-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARN_SANITIZE=thread \
    -DTARN_BUILD_BENCHMARKS=OFF
cmake --build "${build_dir}-tsan" --parallel "$jobs" --target tarn51-concurrency-tests

if command -v clang++ > /dev/null; then
    # Without the assertion log: the fuzzer feeds JUCE input it rightly asserts on.
    cmake -S . -B "${build_dir}-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARN_SANITIZE=fuzzer \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTARN_BUILD_BENCHMARKS=OFF \
        -DTARN_LEAK_CHECKS=OFF
    cmake --build "${build_dir}-fuzz" --parallel "$jobs" --target tarn51-fuzz-state tarn51-fuzz-audio
fi

if command -v x86_64-w64-mingw32-g++-posix > /dev/null; then
    scripts/build-windows.sh
fi

# A test that starts no X server of its own must not find another test's. X clients (JUCE among
# them) fall back to display :0 when DISPLAY is unset, and :0 is where Xvfb -displayfd puts the
# first server a test starts: a plug-in in a headless host then drew on that test's display and
# went down with it when it ended. Display 65000 is never served, so those clients stay headless.
export DISPLAY=${DISPLAY:-:65000}
ctest --test-dir "$build_dir" --output-on-failure --parallel "$jobs"
