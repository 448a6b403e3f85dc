#!/usr/bin/env bash
# The short fuzzing run of continuous integration: every target for a fixed
# time (FUZZ_SMOKE_SECONDS, default 30) from the seed corpora; fails on any
# finding.  Longer campaigns: scripts/fuzz.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
exec ./scripts/fuzz.sh "${FUZZ_SMOKE_SECONDS:-30}" decoder header coefficient vector matroska
