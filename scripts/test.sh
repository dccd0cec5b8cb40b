#!/usr/bin/env bash
# Builds and runs every test. With --sanitize, also the suite built with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh dev
ctest --preset dev -j2
if [ "${1:-}" = "--sanitize" ]; then
  scripts/build.sh asan
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset asan -j2
fi
