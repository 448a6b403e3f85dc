#!/usr/bin/env bash
# Builds the library twice (Release, and AddressSanitizer +
# UndefinedBehaviorSanitizer) and runs every test in both builds.
# Installs what it needs first (scripts/bootstrap.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh

jobs=$(nproc)

echo "== Release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_SANITIZE=ON > /dev/null
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

echo "== ThreadSanitizer build: concurrency tests"
./scripts/test-threads.sh

echo "== Fuzzing smoke run (clang, libFuzzer, a short fixed time per target)"
./scripts/fuzz-smoke.sh
