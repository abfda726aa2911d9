#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time, in a folder of its own, from a corpus that
# starts with the seed files in SEEDS (if given).
#   run-fuzzer.sh TARGET SECONDS [SEEDS]
# Exits 77 (skipped) when the target has not been built.
set -euo pipefail
target=$1
seconds=$2
if [ ! -x "$target" ]; then
    echo "no fuzz target $target (built by scripts/test.sh with clang)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
if [ -n "${3:-}" ] && [ -d "$3" ]; then
    cp "$3"/* "$work/corpus/"
fi
cd "$work"
# The harness keeps its processors between inputs, which a per-input leak check would count.
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
"$target" -max_total_time="$seconds" -rss_limit_mb=4096 -max_len=65536 -timeout=60 \
    -detect_leaks=0 -print_final_stats=1 "$work/corpus" || status=$?
exit "$status"
