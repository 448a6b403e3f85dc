#!/bin/bash
# Decode CPU per picture of tavrin against ffmpeg's own decoder, single
# thread, measured side by side in one run.
#
#   bench/speed-vs-ffmpeg.sh [--rounds N] [STREAM...]
#
# Streams default to bench/streams/*.m4v and *.263 (raw H.263).  Each round runs `tavrin bench
# --runs 1` and `ffmpeg -threads 1 -benchmark_all` on the stream, one after
# the other; the least CPU time of each over the rounds counts (the least is
# the one least disturbed by the rest of a shared machine).
#   tavrin: the CPU time of the decode calls (`tavrin bench`).
#   ffmpeg: the CPU time of its decode calls alone (the sum of the
#           decode_video lines of -benchmark_all), and, for information, the
#           CPU time of the whole ffmpeg process (-benchmark).
# Per-picture figures divide by the pictures tavrin decoded; the ratio is
# tavrin over ffmpeg's decode calls (at most 1.00 is the goal).
# TAVRIN selects the tool (default: build/tavrin, else tavrin on PATH).
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=5
streams=()
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    -h|--help) sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) streams+=("$1"); shift ;;
  esac
done
[ ${#streams[@]} -gt 0 ] || streams=(bench/streams/*.m4v bench/streams/*.263)

tavrin="${TAVRIN:-}"
if [ -z "$tavrin" ]; then
  if [ -x build/tavrin ]; then tavrin=build/tavrin; else tavrin=$(command -v tavrin); fi
fi
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed (scripts/bootstrap.sh installs it)" >&2; exit 1; }

min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? a : b }'; }

printf '%-22s %8s %12s %12s %12s %7s\n' stream pictures "tavrin us" "ffmpeg us" "ffmpeg-all" ratio
for s in "${streams[@]}"; do
  best_t=1e18; best_f=1e18; best_w=1e18; frames=0
  for ((r = 0; r < rounds; ++r)); do
    line=$("$tavrin" bench "$s" --runs 1 | tail -n 1)
    frames=$(sed 's/.*frames=\([0-9]*\).*/\1/' <<<"$line")
    cpu=$(sed 's/.*cpu_seconds=\([0-9.]*\).*/\1/' <<<"$line")
    best_t=$(min "$cpu" "$best_t")
    out=$(ffmpeg -hide_banner -nostdin -threads 1 -benchmark_all -benchmark -i "$s" -f null - 2>&1)
    dec=$(awk '/bench:.*decode_video/ { s += $2 + $4 } END { printf "%.6f", s / 1e6 }' <<<"$out")
    all=$(sed -n 's/.*utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' <<<"$out" | awk '{ printf "%.6f", $1 + $2 }')
    best_f=$(min "$dec" "$best_f")
    best_w=$(min "${all:-1e18}" "$best_w")
  done
  awk -v n="$(basename "$s")" -v p="$frames" -v t="$best_t" -v f="$best_f" -v w="$best_w" 'BEGIN {
    printf "%-22s %8d %12.0f %12.0f %12.0f %7.2f\n", n, p, 1e6 * t / p, 1e6 * f / p, 1e6 * w / p, t / f }'
done
