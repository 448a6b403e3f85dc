#!/usr/bin/env bash
# Builds the library and its robustness tests with ThreadSanitizer and runs
# the concurrency tests: decoders decoding in parallel threads, creation and
# release while others decode, lookups of handles that name none.  Any data
# race report fails the run.
#   scripts/test-threads.sh [BUILD_DIR]      (default build-tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-tsan}"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TSAN=ON \
  -DTAVRIN_BUILD_TOOLS=OFF > /dev/null
cmake --build "$build" --target tavrin_robustness_tests -j "$(nproc)"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  "$build/tests/tavrin_robustness_tests" --gtest_filter='Concurrency.*' --gtest_repeat=3
