#!/usr/bin/env bash
# Builds tavrin and decodes the bundled sample stream into sample.y4m, a
# file any player (mpv sample.y4m, ffplay sample.y4m) shows.
# Installs what it needs first (scripts/bootstrap.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target tavrin_tool -j "$(nproc)"
./build/tavrin decode tests/data/sample.m4v -o sample.y4m
echo "decoded tests/data/sample.m4v into sample.y4m ($(stat -c %s sample.y4m) bytes)"
