#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite:
# the unit tests, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# and a short smoke run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh release
(cd build && ctest --output-on-failure -j 2)

scripts/build.sh asan
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j 2)

scripts/build.sh fuzz
scripts/fuzz-smoke.sh "${FUZZ_SECONDS:-10}"
