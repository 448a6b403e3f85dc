#!/usr/bin/env bash
# Regenerates the streams of the robustness tests, byte for byte, with
# ffmpeg 5.1: tests/robustness/data/make_streams.sh [OUTPUT_DIR]
#
#   packets_ipb.m4v        176x144 I, P and B pictures cut into video packets
#                          (resynchronisation markers every ~250 bytes)
#   noise_packets_ipb.m4v  that stream as ffmpeg's noise filter damages it:
#                          bytes of every picture but the intra ones changed,
#                          the sixth picture dropped
#   noise_ip_mv4.m4v       tests/data/mpeg4_ip_mv4.m4v damaged the same way,
#                          no picture dropped
#   noise_everywhere.m4v   tests/data/xvid_ipb.m4v with bytes changed in
#                          every picture, headers included
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here}"
mkdir -p "$out"
data="$here/../../data"
common=(-hide_banner -loglevel fatal -nostdin -y -threads 1 -fflags +bitexact)

ffmpeg "${common[@]}" -f lavfi -i testsrc2=size=176x144:rate=25 -frames:v 16 \
  -c:v mpeg4 -flags +bitexact -bf 2 -g 6 -ps 250 -q:v 4 -f m4v "$out/packets_ipb.m4v"
ffmpeg "${common[@]}" -i "$out/packets_ipb.m4v" -c copy \
  -bsf:v "noise=amount=if(key\,0\,300):drop=eq(n\,5)" -f m4v "$out/noise_packets_ipb.m4v"
ffmpeg "${common[@]}" -i "$data/mpeg4_ip_mv4.m4v" -c copy \
  -bsf:v "noise=amount=if(key\,0\,500)" -f m4v "$out/noise_ip_mv4.m4v"
ffmpeg "${common[@]}" -i "$data/xvid_ipb.m4v" -c copy \
  -bsf:v "noise=amount=700" -f m4v "$out/noise_everywhere.m4v"
