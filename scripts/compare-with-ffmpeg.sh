#!/usr/bin/env bash
# Decodes a stream with tavrin and with ffmpeg (one thread) and prints the
# luma PSNR of every picture, the lowest, the average and both picture
# counts.
#   scripts/compare-with-ffmpeg.sh STREAM [tavrin decode options...]
set -euo pipefail
stream=$1; shift
here=$(cd "$(dirname "$0")/.." && pwd)
tool=${TAVRIN_TOOL:-$here/build/tavrin}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" decode "$stream" -o "$work/ours.y4m" "$@"
ffmpeg -hide_banner -loglevel error -threads 1 -i "$stream" -vsync passthrough -f yuv4mpegpipe -pix_fmt yuv420p "$work/ref.y4m"
count() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
ours=$(count "$work/ours.y4m")
ref=$(count "$work/ref.y4m")
# Pictures are paired by their index, whatever rates the two files state.
ffmpeg -hide_banner -loglevel error -i "$work/ours.y4m" -i "$work/ref.y4m" \
  -lavfi "[0:v]setpts=N[a];[1:v]setpts=N[b];[a][b]psnr=stats_file=$work/psnr.txt" -f null -
awk -v ours="$ours" -v ref="$ref" '
  { for (i = 1; i <= NF; i++) if ($i ~ /^psnr_y:/) { v = substr($i, 8); if (v == "inf") v = 99; n++; s += v; if (n == 1 || v < m) m = v; printf "%d %s\n", n, v } }
  END { printf "pictures ours=%d ffmpeg=%d compared=%d min_psnr_y=%.2f avg_psnr_y=%.2f\n", ours, ref, n, m, s / (n ? n : 1) }' "$work/psnr.txt"
