#!/usr/bin/env bash
# Runs the stress test built with ThreadSanitizer. Exits 77 (skipped) when it has not been built.
#   run-tsan.sh PROGRAM
set -euo pipefail
program=$1
if [ ! -x "$program" ]; then
    echo "no ThreadSanitizer build of $program (made by scripts/test.sh)"
    exit 77
fi
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 history_size=4"
exec "$program" --gtest_filter='ProcessorStress.*'
