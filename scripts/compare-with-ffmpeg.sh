#!/usr/bin/env bash
# Decodes a stream with tavrin and with ffmpeg (one thread) and prints the
# luma PSNR of every picture, the lowest, the average and both picture
# counts.  When the tests' Xvid reference program (build/tests/
# tavrin_xvid_decode, or TAVRIN_XVID_DECODE) decodes the stream too, two
# more columns follow: ours against Xvid's pictures, and Xvid's against
# ffmpeg's (where the two references disagree, a reference is at fault).
#   scripts/compare-with-ffmpeg.sh STREAM [tavrin decode options...]
set -euo pipefail
stream=$1; shift
here=$(cd "$(dirname "$0")/.." && pwd)
tool=${TAVRIN_TOOL:-$here/build/tavrin}
xvid=${TAVRIN_XVID_DECODE:-$here/build/tests/tavrin_xvid_decode}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" decode "$stream" -o "$work/ours.y4m" "$@"
ffmpeg -hide_banner -loglevel error -threads 1 -i "$stream" -vsync passthrough -f yuv4mpegpipe -pix_fmt yuv420p "$work/ref.y4m"
count() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
# psnr A B OUT: the luma PSNR of every picture of A against B, one a line
# (99 for identical pictures); pictures are paired by their index, whatever
# rates the two files state.
psnr() {
  ffmpeg -hide_banner -loglevel error -i "$1" -i "$2" \
    -lavfi "[0:v]settb=1,setpts=N[a];[1:v]settb=1,setpts=N[b];[a][b]psnr=stats_file=$3.log" -f null -
  awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^psnr_y:/) { v = substr($i, 8); print (v == "inf" ? 99 : v) } }' \
    "$3.log" >"$3"
}
psnr "$work/ours.y4m" "$work/ref.y4m" "$work/ours-ffmpeg"
columns=("$work/ours-ffmpeg")
header="ours/ffmpeg"
labels="-"  # the summary's prefix of each column ("-" for none)
counts="ours=$(count "$work/ours.y4m") ffmpeg=$(count "$work/ref.y4m")"
if [ -x "$xvid" ] && size=$("$xvid" "$stream" "$work/xvid.yuv" 2>/dev/null); then
  ffmpeg -hide_banner -loglevel error -f rawvideo -pix_fmt yuv420p -s "${size% *}" -i "$work/xvid.yuv" \
    -f yuv4mpegpipe "$work/xvid.y4m"
  psnr "$work/ours.y4m" "$work/xvid.y4m" "$work/ours-xvid"
  psnr "$work/xvid.y4m" "$work/ref.y4m" "$work/xvid-ffmpeg"
  columns+=("$work/ours-xvid" "$work/xvid-ffmpeg")
  header="$header ours/xvid xvid/ffmpeg"
  labels="$labels xvid_ xvid_vs_ffmpeg_"
  counts="$counts xvid=${size#* }"
fi
echo "# picture $header"
paste -d' ' "${columns[@]}" | awk -v labels="$labels" -v counts="$counts" '
  { printf "%d", NR; for (c = 1; c <= NF; c++) { v = $c + 0; printf " %s", $c; if (!(c in n) || v < m[c]) m[c] = v; n[c]++; s[c] += v } printf "\n" }
  END {
    k = split(labels, label, " ")
    printf "pictures %s compared=%d", counts, NR
    for (c = 1; c <= k; c++) {
      p = label[c] == "-" ? "" : label[c]
      printf " %smin_psnr_y=%.2f %savg_psnr_y=%.2f", p, m[c], p, s[c] / (n[c] ? n[c] : 1)
    }
    printf "\n"
  }'
