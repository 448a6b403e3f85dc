#!/usr/bin/env bash
# Fuzzing campaigns: builds the libFuzzer targets with clang
# (AddressSanitizer + UndefinedBehaviorSanitizer), makes the seed corpora
# from tests/data once, and runs each target for SECONDS.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: decoder header coefficient vector matroska
#
# Corpora grow in $FUZZ_BUILD_DIR/corpus/<target> (default build-fuzz) and
# carry over from run to run.  Findings (crash-*, leak-*, timeout-*) land in
# $FUZZ_BUILD_DIR/findings/<target>; the script fails when there is one.
# FUZZ_JOBS runs that many processes per target (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(decoder header coefficient vector matroska)
build="${FUZZ_BUILD_DIR:-build-fuzz}"
jobs="${FUZZ_JOBS:-1}"

# libFuzzer and clang's sanitizer runtimes come in their own package.
runtime="$(clang -print-resource-dir)/lib/linux/libclang_rt.fuzzer-x86_64.a"
if [[ ! -f "$runtime" ]]; then
  echo "fuzz.sh: libFuzzer is missing ($runtime); install libclang-rt-14-dev" >&2
  exit 1
fi

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRIN_FUZZ=ON -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_TOOLS=OFF > /dev/null
cmake --build "$build" --target fuzz_all -j "$(nproc)"
[[ -d "$build/corpus/matroska" ]] || fuzz/make-corpus.sh "$build/corpus"

failed=0
for target in "${targets[@]}"; do
  binary="$build/fuzz/fuzz_$target"
  findings="$build/findings/$target"
  mkdir -p "$findings" "$build/corpus/$target"
  # Findings of earlier runs are tried first; those that pass now are fixed
  # (their regression tests live in tests/robustness/regressions) and go.
  for old in "$findings"/*; do
    [[ -f "$old" ]] || continue
    if "$binary" "$old" > /dev/null 2>&1; then rm -f "$old"; else echo "still failing: $old"; failed=1; fi
  done
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1
           -artifact_prefix="$findings/")
  case "$target" in
    decoder) options+=(-max_len=60000 -dict=fuzz/mpeg4.dict) ;;
    header) options+=(-max_len=8000 -dict=fuzz/mpeg4.dict) ;;
    matroska) options+=(-max_len=64000 -dict=fuzz/matroska.dict) ;;
    *) options+=(-max_len=2000) ;;
  esac
  if [[ "$jobs" -gt 1 ]]; then options+=(-fork="$jobs" -ignore_crashes=1); fi
  log="$build/findings/$target.log"
  echo "== fuzz_$target for ${seconds}s"
  if ! "$binary" "${options[@]}" "$build/corpus/$target" > "$log" 2>&1 ||
     [[ -n "$(find "$findings" -type f)" ]]; then
    failed=1
    grep -E "ERROR|SUMMARY|runtime error" "$log" | head -5 || true
  fi
  runs=$(grep -E "stat::number_of_executed_units" "$log" | awk '{s += $2} END {print s + 0}')
  echo "   $runs executions, corpus $(ls "$build/corpus/$target" | wc -l) inputs," \
       "findings: $(find "$findings" -type f | wc -l)"
done
if [[ $failed -ne 0 ]]; then
  echo "fuzzing found problems: see $build/findings" >&2
  exit 1
fi
