#!/usr/bin/env bash
# Damages streams as a lossy link does and measures how well tavrin and
# ffmpeg hide the damage: every tenth picture of each stream gets a short
# burst of random bytes in its macroblock data (build/tests/tavrin_damage,
# one damaged copy per seed), both decoders decode the clean and the damaged
# copies, and each decoder's damaged pictures are compared with its own
# clean decode (luma PSNR, 99 for identical pictures).  Per stream it prints
# the average PSNR over every picture of every seed and the worst picture,
# for tavrin and for ffmpeg (`ffmpeg -threads 1`, its default concealment).
#   scripts/damage-compare.sh [--seeds N] [--burst BYTES] [--every K] STREAM...
#   TAVRIN_DECODE_OPTIONS="--video-quality 1" scripts/damage-compare.sh ...
# KEEP_WORK=DIR keeps the damaged copies and the decodes of the last stream there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tool=${TAVRIN_TOOL:-$here/build/tavrin}
damage=${TAVRIN_DAMAGE:-$here/build/tests/tavrin_damage}
seeds=5 burst=4 every=10
while [ $# -gt 0 ]; do
  case "$1" in
    --seeds) seeds=$2; shift 2 ;;
    --burst) burst=$2; shift 2 ;;
    --every) every=$2; shift 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--seeds N] [--burst BYTES] [--every K] STREAM..." >&2; exit 2; }
[ -x "$damage" ] || { echo "$damage is missing: cmake --build build --target tavrin_damage" >&2; exit 1; }
work=${KEEP_WORK:-$(mktemp -d)}
[ -n "${KEEP_WORK:-}" ] || trap 'rm -rf "$work"' EXIT
read -r -a options <<<"${TAVRIN_DECODE_OPTIONS:-}"

ours() { "$tool" decode "$1" -o "$2" ${options[@]+"${options[@]}"} >/dev/null 2>&1 || true; }
theirs() {
  ffmpeg -hide_banner -loglevel quiet -threads 1 -i "$1" -vsync passthrough -f yuv4mpegpipe \
    -pix_fmt yuv420p -y "$2" || true
}
# psnr A B: the luma PSNR of every picture of A against B, one a line,
# pictures paired by index.
psnr() {
  ffmpeg -hide_banner -loglevel error -i "$1" -i "$2" \
    -lavfi "[0:v]settb=1,setpts=N[a];[1:v]settb=1,setpts=N[b];[a][b]psnr=stats_file=$work/psnr.log" \
    -f null - </dev/null
  awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^psnr_y:/) { v = substr($i, 8); print (v == "inf" ? 99 : v) } }' \
    "$work/psnr.log"
}
summary() {  # file of PSNR values: "average worst count"
  awk '{ s += $1; n++; if (n == 1 || $1 < m) m = $1 } END { printf "%.2f %.2f %d", (n ? s / n : 0), m, n }' "$1"
}

printf '%-40s %8s %8s %8s %8s %s\n' stream tavrin_avg worst ffmpeg_avg worst pictures
for stream in "$@"; do
  ours "$stream" "$work/ours-clean.y4m"
  theirs "$stream" "$work/ffmpeg-clean.y4m"
  : >"$work/ours.all"
  : >"$work/ffmpeg.all"
  for seed in $(seq 1 "$seeds"); do
    "$damage" "$stream" "$work/damaged.m4v" "$seed" "$every" "$burst" >/dev/null
    ours "$work/damaged.m4v" "$work/ours.y4m"
    theirs "$work/damaged.m4v" "$work/ffmpeg.y4m"
    psnr "$work/ours.y4m" "$work/ours-clean.y4m" >>"$work/ours.all"
    psnr "$work/ffmpeg.y4m" "$work/ffmpeg-clean.y4m" >>"$work/ffmpeg.all"
  done
  read -r oa ow on <<<"$(summary "$work/ours.all")"
  read -r fa fw fn <<<"$(summary "$work/ffmpeg.all")"
  printf '%-40s %8s %8s %8s %8s %s\n' "$(basename "$stream")" "$oa" "$ow" "$fa" "$fw" "$on/$fn"
done
