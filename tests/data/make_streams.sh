#!/usr/bin/env bash
# Regenerates every test stream in this folder from ffmpeg's own lavfi test
# sources, with ffmpeg's mpeg4 encoder and with libxvid, as raw MPEG-4 Visual
# elementary streams (-f m4v).  Options are chosen to be deterministic: one
# thread, bit-exact flags, fixed picture counts.
#
# Usage: tests/data/make_streams.sh [OUTPUT_DIR]   (default: this folder)
# With MAKE_STREAMS_PRINT=1 in the environment it also prints each ffmpeg
# command, as a shell would take it, on standard output.
# Needs ffmpeg built with libxvid (Debian 12's ffmpeg package), mkvmerge
# (mkvtoolnix) and python3.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
out="${1:-$here}"
mkdir -p "$out"

# enc NAME SOURCE FLAGS [ENCODER OPTIONS...]
# SOURCE is a lavfi graph; FLAGS is added to +bitexact in -flags (ffmpeg keeps
# only the last -flags option, so every stream passes its flags here).
enc() {
  local name="$1" source="$2" flags="$3"
  shift 3
  local command=(ffmpeg -hide_banner -loglevel error -nostdin -y -threads 1 -fflags +bitexact
    -f lavfi -i "$source" -flags "+bitexact$flags" "$@" -f m4v "$out/$name")
  if [ "${MAKE_STREAMS_PRINT:-0}" = 1 ]; then
    printf '%s:' "$name"
    local word
    for word in "${command[@]}"; do
      if [[ "$word" =~ ^[A-Za-z0-9_./:=+,@%-]+$ ]]; then
        printf ' %s' "$word"
      else
        printf " '%s'" "${word//\'/\'\\\'\'}"
      fi
    done
    printf '\n'
  fi
  "${command[@]}"
}

# Sources.  testsrc2 has moving parts on a still background; mandelbrot
# zooms steadily; smptebars never changes; life and cellauto move in small
# cells; the crop of a large testsrc2 pans fast.
src2() { echo "testsrc2=size=$1:rate=${2:-25}"; }
pan() { echo "testsrc2=size=640x480:rate=25,crop=176:144:x=mod(n*$1\,464):y=mod(n*$2\,336)"; }
scroll() { echo "testsrc2=size=176x144:rate=25,scroll=h=$1:v=$2"; }

# A custom pair of matrices (zigzag order is irrelevant here: ffmpeg takes
# them in raster order).  The intra matrix rises with the frequency and ends
# in a run of 40s; the inter matrix is flat 20 but for its corner.
intra_matrix="8,12,14,16,18,20,22,24,12,14,16,18,20,22,24,26,14,16,18,20,22,24,26,28,16,18,20,22,24,26,28,30,18,20,22,24,26,28,30,32,20,22,24,26,28,30,32,40,22,24,26,28,30,32,40,40,24,26,28,30,32,40,40,40"
inter_matrix="16,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,20,24"

# --- Header variety (I then P pictures, 176x144 unless said) -------------
enc mpeg4_default.m4v "$(src2 176x144)" "" -c:v mpeg4 -frames:v 10
enc xvid_default.m4v "$(src2 176x144)" "" -c:v libxvid -frames:v 10
enc mpeg4_tb30000.m4v "$(src2 176x144 30000/1001)" "" -c:v mpeg4 -frames:v 10
enc xvid_tb30000.m4v "$(src2 176x144 30000/1001)" "" -c:v libxvid -frames:v 10
# Millisecond clock: the encoder's time base is set to 1/1000 and the frames
# keep their times (40 ms apart) instead of being renumbered per tick.
enc mpeg4_tb1000.m4v "$(src2 176x144)" "" -c:v mpeg4 -enc_time_base 1:1000 -fps_mode passthrough -qscale:v 4 -frames:v 10
enc mpeg4_tb16.m4v "$(src2 176x144 16)" "" -c:v mpeg4 -frames:v 10
enc xvid_tb16.m4v "$(src2 176x144 16)" "" -c:v libxvid -frames:v 10
enc mpeg4_mpegquant.m4v "$(src2 176x144)" "" -c:v mpeg4 -mpeg_quant 1 -qscale:v 4 -frames:v 10
enc xvid_mpegquant.m4v "$(src2 176x144)" "" -c:v libxvid -mpeg_quant 1 -qscale:v 4 -frames:v 10
enc mpeg4_custom_matrix.m4v "$(src2 176x144)" "" -c:v mpeg4 -mpeg_quant 1 -qscale:v 4 \
  -intra_matrix "$intra_matrix" -inter_matrix "$inter_matrix" -frames:v 10
enc xvid_custom_matrix.m4v "$(src2 176x144)" "" -c:v libxvid -mpeg_quant 1 -qscale:v 4 \
  -intra_matrix "$intra_matrix" -inter_matrix "$inter_matrix" -frames:v 10
enc mpeg4_150x98.m4v "$(src2 150x98)" "" -c:v mpeg4 -qscale:v 3 -frames:v 10
enc xvid_150x98.m4v "$(src2 150x98)" "" -c:v libxvid -qscale:v 3 -frames:v 10

# --- Intra only (-g 1) ----------------------------------------------------
enc mpeg4_intra_q2.m4v "$(src2 176x144)" "" -c:v mpeg4 -g 1 -qscale:v 2 -frames:v 5
enc mpeg4_intra_q20.m4v "$(src2 176x144)" "" -c:v mpeg4 -g 1 -qscale:v 20 -frames:v 5
enc xvid_intra_q2.m4v "$(src2 176x144)" "" -c:v libxvid -g 1 -qscale:v 2 -frames:v 5
enc xvid_intra_q20.m4v "$(src2 176x144)" "" -c:v libxvid -g 1 -qscale:v 20 -frames:v 5
enc mpeg4_intra_mpegquant.m4v "mandelbrot=size=176x144:rate=25" "" -c:v mpeg4 -g 1 -mpeg_quant 1 -qscale:v 3 -frames:v 5
enc xvid_intra_mpegquant.m4v "mandelbrot=size=176x144:rate=25" "" -c:v libxvid -g 1 -mpeg_quant 1 -qscale:v 3 -frames:v 5
enc mpeg4_intra_custom_matrix.m4v "$(src2 176x144)" "" -c:v mpeg4 -g 1 -mpeg_quant 1 -qscale:v 3 \
  -intra_matrix "$intra_matrix" -inter_matrix "$inter_matrix" -frames:v 5
enc xvid_intra_custom_matrix.m4v "$(src2 176x144)" "" -c:v libxvid -g 1 -mpeg_quant 1 -qscale:v 3 \
  -intra_matrix "$intra_matrix" -inter_matrix "$inter_matrix" -frames:v 5
# Adaptive quantisation: the quantiser changes from macroblock to macroblock
# (dquant).  ffmpeg: luminance, darkness, spatial-complexity and
# inter-masking under a bit-rate target (luminance and darkness masking
# alone leave this source's quantiser flat); Xvid: its luminance masking.
aq_mpeg4=(-b:v 100k -qmin 3 -lumi_mask 0.3 -dark_mask 0.3 -scplx_mask 0.3 -p_mask 0.3)
aq_xvid=(-b:v 100k -lumi_aq 1)
enc mpeg4_intra_aq.m4v "$(src2 176x144)" "" -c:v mpeg4 -g 1 "${aq_mpeg4[@]}" -frames:v 5
enc xvid_intra_aq.m4v "$(src2 176x144)" "" -c:v libxvid -g 1 "${aq_xvid[@]}" -frames:v 5
enc mpeg4_intra_98x74.m4v "$(src2 98x74)" "" -c:v mpeg4 -g 1 -qscale:v 4 -frames:v 5
enc xvid_intra_98x74.m4v "$(src2 98x74)" "" -c:v libxvid -g 1 -qscale:v 4 -frames:v 5

# --- I and P pictures -----------------------------------------------------
enc mpeg4_ip_mv4.m4v "$(src2 176x144)" "+mv4" -c:v mpeg4 -qscale:v 3 -frames:v 20
enc xvid_ip_mv4.m4v "$(src2 176x144)" "+mv4" -c:v libxvid -qscale:v 3 -frames:v 20
enc mpeg4_ip_fastpan.m4v "$(pan 37 19)" "" -c:v mpeg4 -qscale:v 4 -me_range 64 -frames:v 15
enc xvid_ip_fastpan.m4v "$(pan 37 19)" "" -c:v libxvid -qscale:v 4 -frames:v 15
# A 640x480 pan of which a damaged P picture loses nearly everything.
enc xvid_pan_640x480_ip.m4v "testsrc2=size=1280x960:rate=25,crop=640:480:x=mod(n*9\,640):y=mod(n*5\,480)" "" -c:v libxvid -frames:v 8
# Flat bars panning left, whose damaged first pictures read on as rubbish.
enc mpeg4_hpan_640x480_i.m4v "testsrc2=size=1280x960:rate=25,crop=640:480:x=n*7:y=0" "" -c:v mpeg4 -qscale:v 4 -frames:v 1
enc xvid_hpan_640x480_ip.m4v "testsrc2=size=1280x960:rate=25,crop=640:480:x=n*4:y=0" "" -c:v libxvid -frames:v 2
enc mpeg4_ip_scroll.m4v "$(scroll 0.06 0.04)" "+mv4" -c:v mpeg4 -qscale:v 4 -frames:v 15
enc mpeg4_ip_static.m4v "smptebars=size=176x144:rate=25" "" -c:v mpeg4 -qscale:v 4 -frames:v 10
enc xvid_ip_static.m4v "smptebars=size=176x144:rate=25" "" -c:v libxvid -qscale:v 4 -frames:v 10
enc mpeg4_ip_aq.m4v "$(src2 176x144)" "+mv4" -c:v mpeg4 "${aq_mpeg4[@]}" -frames:v 12
enc xvid_ip_aq.m4v "$(src2 176x144)" "+mv4" -c:v libxvid "${aq_xvid[@]}" -frames:v 12
# A turning picture with luminance masking: intra macroblocks in P pictures
# whose neighbours were coded at other quantisers (AC prediction rescales).
enc xvid_turn_ip_mv4_aq.m4v "testsrc2=size=640x480:rate=25,rotate=a='0.008*n',crop=176:144" "+mv4" -c:v libxvid -lumi_aq 1 -qscale:v 6 -frames:v 20
enc mpeg4_ip_life.m4v "life=size=128x96:rate=25:seed=7:mold=10:life_color=#00ff00:death_color=#aa0000" "" \
  -c:v mpeg4 -qscale:v 8 -frames:v 10
enc mpeg4_ip_long.m4v "$(src2 64x48)" "" -c:v mpeg4 -qscale:v 5 -g 300 -frames:v 100

# --- I, P and B pictures --------------------------------------------------
enc mpeg4_ipb.m4v "$(src2 176x144)" "" -c:v mpeg4 -bf 2 -qscale:v 4 -frames:v 20
enc xvid_ipb.m4v "$(src2 176x144)" "" -c:v libxvid -bf 2 -qscale:v 4 -frames:v 20
enc mpeg4_ipb_mv4.m4v "$(src2 176x144)" "+mv4" -c:v mpeg4 -bf 2 -qscale:v 4 -frames:v 20
enc xvid_ipb_mv4.m4v "$(src2 176x144)" "+mv4" -c:v libxvid -bf 2 -qscale:v 4 -frames:v 20
enc mpeg4_ipb_mpegquant.m4v "$(src2 176x144)" "" -c:v mpeg4 -bf 2 -mpeg_quant 1 -qscale:v 4 -frames:v 20
enc xvid_ipb_custom_matrix.m4v "$(src2 176x144)" "" -c:v libxvid -bf 2 -mpeg_quant 1 -qscale:v 4 \
  -intra_matrix "$intra_matrix" -inter_matrix "$inter_matrix" -frames:v 20
enc mpeg4_ipb_aq.m4v "$(src2 176x144)" "" -c:v mpeg4 -bf 2 "${aq_mpeg4[@]}" -frames:v 12
enc xvid_ipb_aq.m4v "$(src2 176x144)" "" -c:v libxvid -bf 2 "${aq_xvid[@]}" -frames:v 12
enc mpeg4_ipb_long.m4v "$(src2 64x48)" "+mv4" -c:v mpeg4 -bf 2 -qscale:v 5 -g 300 -frames:v 100
enc xvid_ipb_long.m4v "$(src2 64x48)" "+mv4" -c:v libxvid -bf 2 -qscale:v 5 -g 300 -frames:v 100
enc mpeg4_ipb_cif.m4v "mandelbrot=size=352x288:rate=25" "" -c:v mpeg4 -bf 2 -qscale:v 6 -frames:v 12
enc xvid_ipb_cif.m4v "$(src2 352x288)" "+mv4" -c:v libxvid -bf 2 -qscale:v 6 -frames:v 12
enc mpeg4_ipb_tb30000.m4v "$(src2 176x144 30000/1001)" "" -c:v mpeg4 -bf 2 -qscale:v 4 -frames:v 20
enc xvid_ipb_tb30000.m4v "$(src2 176x144 30000/1001)" "" -c:v libxvid -bf 2 -qscale:v 4 -frames:v 20

# --- Sizes off the macroblock grid, motion past the right and bottom edges --
# testsrc2 zooms out while the window pans right and down, so content enters
# at the right and bottom edges and the vectors of the last macroblock column
# and row point past the visible picture: into the samples between the
# visible edge and the macroblock-aligned edge, and beyond.  Width and height
# are both off the 16-sample grid (350x250 in 22x16 macroblocks, 180x100 in
# 12x7).  The scaling changes with every picture; -cpuflags 0 keeps it (and
# the encoder) on plain C, so the source does not depend on the processor.
zoom350="testsrc2=size=700x500:rate=25,scale=w=700-4*n:h=500-3*n:eval=frame,crop=350:250:x=2*n:y=n"
zoom180="testsrc2=size=360x200:rate=25,scale=w=360-2*n:h=200-n:eval=frame,crop=180:100:x=2*n:y=n"
enc mpeg4_zoom_350x250_ipb_mv4.m4v "$zoom350" "+mv4" -cpuflags 0 -c:v mpeg4 -g 25 -bf 2 -qscale:v 12 -frames:v 50
enc xvid_zoom_350x250_ipb_mv4.m4v "$zoom350" "+mv4" -cpuflags 0 -c:v libxvid -g 25 -bf 2 -qscale:v 12 -frames:v 50
# ffmpeg cuts pictures into video packets of about 300 bytes (-ps 300);
# Xvid writes none.
enc mpeg4_zoom_180x100_ip_packets.m4v "$zoom180" "" -cpuflags 0 -c:v mpeg4 -qscale:v 8 -ps 300 -frames:v 30
enc mpeg4_zoom_180x100_ipb_packets.m4v "$zoom180" "" -cpuflags 0 -c:v mpeg4 -bf 2 -qscale:v 8 -ps 300 -frames:v 30
# Four vectors with video packets and B pictures: ffmpeg's encoder (and its
# decoder) clears the stored vector of block 3 left of a packet that starts
# with a four-vector macroblock, and direct mode reads it.
enc mpeg4_zoom_180x100_ipb_mv4_packets.m4v "$zoom180" "+mv4" -cpuflags 0 -c:v mpeg4 -bf 2 -qscale:v 5 -ps 150 -frames:v 30
enc mpeg4_zoom_180x100_ip_mv4.m4v "$zoom180" "+mv4" -cpuflags 0 -c:v mpeg4 -qscale:v 8 -frames:v 30
enc xvid_zoom_180x100_ip.m4v "$zoom180" "" -cpuflags 0 -c:v libxvid -qscale:v 8 -frames:v 30
enc xvid_zoom_180x100_ipb.m4v "$zoom180" "" -cpuflags 0 -c:v libxvid -bf 2 -qscale:v 8 -frames:v 30
enc xvid_zoom_180x100_ip_mv4.m4v "$zoom180" "+mv4" -cpuflags 0 -c:v libxvid -qscale:v 8 -frames:v 30

# --- Streams the decoder refuses -------------------------------------------
enc mpeg4_interlaced.m4v "$(src2 176x144)" "+ildct+ilme" -c:v mpeg4 -qscale:v 4 -frames:v 5
enc mpeg4_qpel.m4v "$(src2 176x144)" "+qpel" -c:v mpeg4 -qscale:v 4 -frames:v 5
enc mpeg4_data_partitioned.m4v "$(src2 176x144)" "" -c:v mpeg4 -data_partitioning 1 -qscale:v 4 -frames:v 5
enc xvid_gmc.m4v "$(pan 3 1)" "" -c:v libxvid -gmc 1 -qscale:v 4 -frames:v 5
enc xvid_qpel.m4v "$(src2 176x144)" "+qpel" -c:v libxvid -qscale:v 4 -frames:v 5

# Neither encoder writes overlapped block motion compensation, so this one
# is mpeg4_default.m4v with the obmc_disable bit of its layer header set to
# 0; its pictures are not coded for that mode.  The bit follows interlaced,
# after the picture size; the script below finds it by reading the header.
python3 - "$out/mpeg4_default.m4v" "$out/mpeg4_obmc_header.m4v" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
layer = data.find(b'\x00\x00\x01\x20')
pos = (layer + 4) * 8
def read(n):
    global pos
    v = 0
    for _ in range(n):
        v = (v << 1) | ((data[pos >> 3] >> (7 - (pos & 7))) & 1)
        pos += 1
    return v
read(1); read(8)                      # random_accessible_vol, type indication
if read(1): read(7)                   # layer identifier: verid, priority
if read(4) == 15: read(16)            # aspect ratio, par
if read(1):                           # vol_control_parameters
    read(3)                           # chroma_format, low_delay
    assert read(1) == 0               # no vbv parameters in this stream
assert read(2) == 0                   # rectangular
read(1); res = read(16); read(1)
bits = max(1, (res - 1).bit_length())
if read(1): read(bits)                # fixed_vop_rate
read(1); read(13); read(1); read(13); read(1)
assert read(1) == 0                   # interlaced
assert read(1) == 1                   # obmc_disable
pos -= 1
data[pos >> 3] &= ~(0x80 >> (pos & 7)) & 0xFF
open(sys.argv[2], 'wb').write(data)
PY

# --- Splitting: with and without the headers in front ---------------------
# ffmpeg writes a visual object sequence and a visual object header first;
# this copy starts right at the video object start code.
python3 - "$out/mpeg4_default.m4v" "$out/mpeg4_no_vos.m4v" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
start = data.find(b'\x00\x00\x01\x00')
open(sys.argv[2], 'wb').write(data[start:])
PY
# With the headers kept out of the stream (as for a container), the stream
# holds pictures only.
enc mpeg4_headerless.m4v "$(src2 176x144)" "+global_header" -c:v mpeg4 -qscale:v 4 -frames:v 3
# Headers repeated in front of every intra picture (-g 4).
enc mpeg4_gop4.m4v "$(src2 176x144)" "" -c:v mpeg4 -qscale:v 4 -g 4 -frames:v 10
enc xvid_gop4.m4v "$(src2 176x144)" "" -c:v libxvid -qscale:v 4 -g 4 -frames:v 10

# --- The sample for the README: 3 seconds of 320x240, I, P and B pictures --
enc sample.m4v "testsrc2=size=320x240:rate=25" "+mv4" -c:v libxvid -bf 2 -qscale:v 5 -g 50 -frames:v 75

# --- Containers, for the tool's AVI and MP4/MOV readers ------------------
# mux NAME FORMAT FLAGS [ENCODER OPTIONS...]: 20 pictures (or -frames:v
# given later) of testsrc2 at 176x144 in the container FORMAT.
mux() {
  local name="$1" format="$2" flags="$3"
  shift 3
  local command=(ffmpeg -hide_banner -loglevel error -nostdin -y -threads 1 -fflags +bitexact
    -f lavfi -i "$(src2 176x144)" -flags "+bitexact$flags" "$@" -f "$format" "$out/$name")
  if [ "${MAKE_STREAMS_PRINT:-0}" = 1 ]; then
    printf '%s: %s\n' "$name" "${command[*]}"
  fi
  "${command[@]}"
}
# Xvid in AVI: B pictures packed two to a chunk behind their anchor, each
# packed chunk later followed by a 6-byte placeholder chunk (vop_coded 0);
# two empty chunks after the first.
mux xvid_packed.avi avi "" -c:v libxvid -bf 2 -qscale:v 5 -frames:v 20
# ffmpeg's mpeg4 in AVI (FourCC FMP4): one picture per chunk, headers in
# front of the first picture.
mux mpeg4_ipb.avi avi "" -c:v mpeg4 -bf 2 -qscale:v 5 -frames:v 20
# ffmpeg's mpeg4 in MP4: headers only in the esds box, B pictures.
mux mpeg4_ipb.mp4 mp4 "" -c:v mpeg4 -bf 2 -qscale:v 5 -frames:v 20
# ffmpeg's mpeg4 in QuickTime MOV: four vectors, an I picture at 12.
mux mpeg4_mv4.mov mov "+mv4" -c:v mpeg4 -qscale:v 5 -frames:v 15

# --- Matroska, for the tool's Matroska reader ----------------------------
# The pictures of committed files copied into Matroska, unchanged.
# run NAME COMMAND...: runs the command (printed first with
# MAKE_STREAMS_PRINT=1).
run() {
  local name="$1"
  shift
  if [ "${MAKE_STREAMS_PRINT:-0}" = 1 ]; then
    printf '%s: %s\n' "$name" "$*"
  fi
  "$@"
}
# ffmpeg's Matroska writer: V_MPEG4/ISO/ASP, the headers in CodecPrivate,
# one SimpleBlock per picture (-fflags +bitexact on the output too: fixed
# UIDs, no writer version).
remux() {
  run "$1" ffmpeg -hide_banner -loglevel error -nostdin -y -fflags +bitexact -i "$out/$2" \
    -c:v copy -flags +bitexact -fflags +bitexact -f matroska "$out/$1"
}
remux mpeg4_ipb.mkv mpeg4_ipb.m4v
remux xvid_ipb.mkv xvid_ipb.m4v
# The AVI's packed pictures as they are, placeholders included; its chunks
# carry no times, so ffmpeg makes them (+genpts).
run xvid_packed.mkv ffmpeg -hide_banner -loglevel error -nostdin -y -fflags +bitexact+genpts \
  -i "$out/xvid_packed.avi" -c:v copy -flags +bitexact -fflags +bitexact -f matroska "$out/xvid_packed.mkv"
# mkvmerge (mkvtoolnix) keeps an AVI's MPEG-4 Visual as V_MS/VFW/FOURCC: the
# BITMAPINFOHEADER in CodecPrivate, the headers in the first frame, the
# packed pictures and placeholders as they are, the first frame in a
# BlockGroup.  With --engage native_mpeg4 it writes V_MPEG4/ISO/ASP and
# unpacks: one picture per block, placeholders dropped, times of its own.
# Fixed UIDs, no date and no statistics tags keep the files the same from
# run to run.
mkvmerge_fixed=(mkvmerge -q --deterministic 1 --no-date --disable-track-statistics-tags)
run xvid_packed_vfw.mkv "${mkvmerge_fixed[@]}" -o "$out/xvid_packed_vfw.mkv" "$out/xvid_packed.avi"
run xvid_unpacked.mkv "${mkvmerge_fixed[@]}" --engage native_mpeg4 -o "$out/xvid_unpacked.mkv" "$out/xvid_packed.avi"

# --- Quarter-sample motion ---------------------------------------------------
# (mpeg4_qpel.m4v and xvid_qpel.m4v above, I and P pictures with one vector,
# are decoded too now.)  testsrc2 zooming out while the window pans, so that
# vectors fall on every quarter position; -cpuflags 0 keeps the scaling on
# plain C.  B pictures (forward, backward, interpolated and direct), with
# and without four vectors, from both encoders; the 180x100 zoom of the
# edge tests for a size off the macroblock grid with motion past the edges;
# and video packets (one vector; four vectors with packets are in
# mpeg4_zoom_180x100_ipb_mv4_packets.m4v above).
zoomq="testsrc2=size=352x288:rate=25,scale=w=352-3*n:h=288-2*n:eval=frame,crop=176:144:x=n:y=n"
enc qpel_mpeg4_ipb.m4v "$zoomq" "+qpel" -cpuflags 0 -c:v mpeg4 -bf 2 -qscale:v 6 -frames:v 15
enc qpel_mpeg4_ipb_mv4.m4v "$zoomq" "+qpel+mv4" -cpuflags 0 -c:v mpeg4 -bf 2 -qscale:v 6 -frames:v 15
enc qpel_xvid_ipb.m4v "$zoomq" "+qpel" -cpuflags 0 -c:v libxvid -bf 2 -qscale:v 6 -frames:v 15
enc qpel_xvid_ipb_mv4.m4v "$zoomq" "+qpel+mv4" -cpuflags 0 -c:v libxvid -bf 2 -qscale:v 6 -frames:v 15
enc qpel_mpeg4_zoom_180x100_ipb_mv4.m4v "$zoom180" "+qpel+mv4" -cpuflags 0 -c:v mpeg4 -bf 2 -qscale:v 8 -frames:v 24
enc qpel_xvid_zoom_180x100_ipb_mv4.m4v "$zoom180" "+qpel+mv4" -cpuflags 0 -c:v libxvid -bf 2 -qscale:v 8 -frames:v 24
enc qpel_mpeg4_zoom_180x100_ipb_packets.m4v "$zoom180" "+qpel" -cpuflags 0 -c:v mpeg4 -bf 2 -qscale:v 8 -ps 300 -frames:v 24

# --- Global motion compensation (Xvid, -gmc 1): S pictures ---------------
# Xvid writes three warping points at 1/16 sample and chooses per picture
# between an S picture (the warp plus local vectors where they do better)
# and a P picture.  zoom: a window zooming in on a 640x480 testsrc2 while
# it drifts right; turn: a window on a turning testsrc2.
zoom() { echo "testsrc2=size=640x480:rate=25,zoompan=z='1+0.004*on':x='iw/2-iw/zoom/2+on':y='ih/2-ih/zoom/2':d=1:s=$1"; }
enc gmc_zoom_ip.m4v "$(zoom 176x144)" "" -c:v libxvid -gmc 1 -qscale:v 6 -frames:v 16
enc gmc_zoom_ipb.m4v "$(zoom 176x144)" "" -c:v libxvid -gmc 1 -bf 2 -qscale:v 6 -frames:v 16
enc gmc_zoom_150x98_ipb.m4v "$(zoom 150x98)" "" -c:v libxvid -gmc 1 -bf 1 -qscale:v 6 -frames:v 16
enc gmc_turn_ip_mv4_aq.m4v "testsrc2=size=640x480:rate=25,rotate=a='0.008*n',crop=176:144" "+mv4" \
  -c:v libxvid -gmc 1 -lumi_aq 1 -qscale:v 6 -frames:v 12
# Fewer warping points: Xvid's streams rewritten by fewer_warping_points.py
# (the layer's count and each S picture's trajectory cut; the macroblocks
# kept), so that the translation (one point), the turn and zoom (two) and
# the identity (none) are decoded as every decoder must.
python3 "$here/fewer_warping_points.py" "$out/gmc_turn_ip_mv4_aq.m4v" "$out/gmc_turn_ip_1point.m4v" 1
python3 "$here/fewer_warping_points.py" "$out/gmc_zoom_150x98_ipb.m4v" "$out/gmc_zoom_150x98_ipb_2points.m4v" 2
python3 "$here/fewer_warping_points.py" "$out/gmc_zoom_ipb.m4v" "$out/gmc_zoom_ipb_0points.m4v" 0
# With quarter-sample motion as well.
enc gmc_qpel_ipb.m4v "$(zoom 176x144)" "+qpel" -c:v libxvid -gmc 1 -bf 1 -qscale:v 6 -frames:v 12

# --- Short header (baseline H.263), ffmpeg's h263 encoder -----------------
# h263 NAME SOURCE FORMAT [ENCODER OPTIONS...]: raw H.263 (-f h263), or the
# container FORMAT (3gp: an 's263' track; avi: FourCC H263).  -ps N cuts
# the pictures into groups of blocks with headers (a header at the first
# group that starts past N bytes), as for RTP.
h263() {
  local name="$1" source="$2" format="$3"
  shift 3
  local command=(ffmpeg -hide_banner -loglevel error -nostdin -y -threads 1 -fflags +bitexact
    -f lavfi -i "$source" -flags +bitexact "$@" -f "$format" "$out/$name")
  if [ "${MAKE_STREAMS_PRINT:-0}" = 1 ]; then
    printf '%s: %s\n' "$name" "${command[*]}"
  fi
  "${command[@]}"
}
# Intra only at quantisers 2 (many fixed-length escapes) and 12.
h263 h263_qcif_intra_q2.263 "$(src2 176x144)" h263 -c:v h263 -g 1 -qscale:v 2 -frames:v 3
h263 h263_qcif_intra_q12.263 "mandelbrot=size=176x144:rate=25" h263 -c:v h263 -g 1 -qscale:v 12 -frames:v 5
# I and P pictures: constant quantiser; rate control with masking (the
# quantiser changes between and inside pictures, dquant); a fast pan
# (long vectors, intra macroblocks); a still picture (skipped macroblocks).
h263 h263_qcif_ip_q4.263 "$(src2 176x144)" h263 -c:v h263 -qscale:v 4 -frames:v 10
h263 h263_qcif_ip_aq.263 "$(src2 176x144)" h263 -c:v h263 "${aq_mpeg4[@]}" -frames:v 15
h263 h263_qcif_ip_fastpan.263 "$(pan 37 19)" h263 -c:v h263 -qscale:v 6 -frames:v 12
h263 h263_qcif_ip_static.263 "smptebars=size=176x144:rate=25" h263 -c:v h263 -qscale:v 4 -frames:v 10
# The other source formats: sub-QCIF, CIF (an intra picture at 6), CIF and
# 4CIF (two macroblock rows per group) with group-of-blocks headers.
h263 h263_subqcif_ip.263 "$(src2 128x96)" h263 -c:v h263 -qscale:v 8 -frames:v 10
h263 h263_cif_ip.263 "$(src2 352x288)" h263 -c:v h263 -qscale:v 10 -g 6 -frames:v 8
h263 h263_cif_ip_gob.263 "$(src2 352x288)" h263 -c:v h263 -qscale:v 10 -ps 400 -frames:v 8
h263 h263_4cif_ip_gob.263 "$(src2 704x576)" h263 -c:v h263 -qscale:v 20 -ps 1000 -frames:v 3
# Containers: 3GP ('s263' sample entry) and AVI (FourCC H263, with groups).
h263 h263_qcif_ip.3gp "$(src2 176x144)" 3gp -c:v h263 -qscale:v 6 -frames:v 12
h263 h263_qcif_ip_gob.avi "$(src2 176x144)" avi -c:v h263 -qscale:v 6 -ps 300 -frames:v 8
# Refused: H.263 version 2 (ffmpeg's h263p encoder: the extended picture
# type in every picture) and advanced prediction (the optional-mode bit).
h263 h263_plus_qcif.263 "$(src2 176x144)" h263 -c:v h263p -qscale:v 6 -frames:v 4
h263 h263_obmc_qcif.263 "$(src2 176x144)" h263 -c:v h263 -obmc 1 -qscale:v 6 -frames:v 4

# --- Interlaced coding ------------------------------------------------------
# Interlaced sources: a pan over testsrc2 at 50 pictures a second, woven two
# at a time into 25 interlaced pictures (the top field from the first, the
# bottom field from the second), so that the fields differ as in a camera's
# pictures and field DCT and field prediction pay off.
ilpan() { echo "testsrc2=size=640x480:rate=50,crop=$1:$2:x=mod(n*$3\,$((640 - $1))):y=mod(n*$4\,$((480 - $2))),tinterlace=mode=interleave_top"; }
# ffmpeg's mpeg4 encoder: field DCT (+ildct) and field motion (+ilme); -top
# sets top_field_first in every picture header.
enc interlaced_mpeg4_intra.m4v "$(ilpan 176 144 3 2)" "+ildct" -c:v mpeg4 -g 1 -alternate_scan 1 -qscale:v 6 -frames:v 3
enc interlaced_mpeg4_ipb_tff.m4v "$(ilpan 176 144 3 2)" "+ildct+ilme" -top 1 -c:v mpeg4 -bf 2 -qscale:v 5 -frames:v 12
enc interlaced_mpeg4_ipb_bff_alt.m4v "$(ilpan 176 144 3 2)" "+ildct+ilme+mv4" -top 0 -alternate_scan 1 -mpeg_quant 1 \
  -c:v mpeg4 -bf 2 -qscale:v 5 -frames:v 12
enc interlaced_mpeg4_ipb_200x120.m4v "$(ilpan 200 120 5 3)" "+ildct+ilme" -top 1 -c:v mpeg4 -bf 2 -qscale:v 6 -frames:v 10
# Video packets of about 250 bytes (-ps 250): in B pictures with field
# prediction a packet starts only the top field's vector predictors afresh.
enc interlaced_mpeg4_ipb_packets.m4v "$(ilpan 176 144 3 2)" "+ildct+ilme" -top 1 -c:v mpeg4 -bf 2 -ps 250 -qscale:v 5 -frames:v 12
# Xvid: ffmpeg 5.1's libxvid wrapper passes no interlacing to Xvid, so these
# come from Xvid's encoder driven directly (tests/support/xvid_encode_main.cpp,
# built as build/tests/tavrin_xvid_encode; TAVRIN_XVID_ENCODE names another)
# on the same sources as raw pictures.  Xvid's encoder writes field DCT but
# never field prediction (its field_prediction bits are always 0).
xvid_encode="${TAVRIN_XVID_ENCODE:-$here/../../build/tests/tavrin_xvid_encode}"
xvid_il() {
  local name="$1" size="$2" source="$3" frames="$4"
  shift 4
  if [ "${MAKE_STREAMS_PRINT:-0}" = 1 ]; then
    printf "%s: ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i '%s' -frames:v %s -f rawvideo -pix_fmt yuv420p - | tavrin_xvid_encode %s %s /dev/stdin %s\n" \
      "$name" "$source" "$frames" "$*" "${size/x/ }" "$out/$name"
  fi
  ffmpeg -hide_banner -loglevel error -nostdin -f lavfi -i "$source" -frames:v "$frames" -f rawvideo -pix_fmt yuv420p - |
    "$xvid_encode" "$@" "${size%x*}" "${size#*x}" /dev/stdin "$out/$name"
}
xvid_il interlaced_xvid_ipb_tff.m4v 176x144 "$(ilpan 176 144 3 2)" 12 --interlaced --top-first --bframes 2 --quant 5
xvid_il interlaced_xvid_ipb_bff_alt.m4v 176x144 "$(ilpan 176 144 3 2)" 12 --interlaced --alternate-scan --bframes 2 --quant 5
xvid_il interlaced_xvid_ipb_200x120.m4v 200x120 "$(ilpan 200 120 5 3)" 10 --interlaced --top-first --bframes 2 --quant 6

# --- Data partitioning (partitioned_*) -------------------------------------
# I and P pictures cut into video packets whose codes come in partitions
# (types and vectors or DCs, then cbpy and the like, then residuals); B
# pictures keep the plain syntax.  Each picture's partitions are separated
# by the motion or DC marker.
# A fast pan: intra macroblocks in P pictures, four vectors, long vectors.
enc partitioned_ip_pan.m4v "$(pan 9 5)" "+mv4" -c:v mpeg4 -data_partitioning 1 -ps 300 -g 12 -qscale:v 4 -frames:v 15
# B pictures and adaptive quantisation (dquant in the second partition).
enc partitioned_ipb_aq.m4v "$(src2 176x144)" "+mv4" -c:v mpeg4 -data_partitioning 1 -ps 400 -bf 2 -g 12 \
  "${aq_mpeg4[@]}" -frames:v 20
# Off the macroblock grid, larger packets, a zoom.
enc partitioned_zoom_180x100_ip.m4v "$zoom180" "" -cpuflags 0 -c:v mpeg4 -data_partitioning 1 -ps 600 \
  -qscale:v 8 -frames:v 20
# Reversible residual codes: no encoder writes them; the tests' rewriter
# (built as build/tests/tavrin_rvlc_rewrite) writes the pan's residuals in
# them.  Skipped when it is not built.
rewrite="${TAVRIN_RVLC_REWRITE:-$here/../../build/tests/tavrin_rvlc_rewrite}"
if [ -x "$rewrite" ]; then
  "$rewrite" "$out/partitioned_ip_pan.m4v" "$out/partitioned_rvlc_ip_pan.m4v" >/dev/null
else
  echo "make_streams: $rewrite not built, partitioned_rvlc_ip_pan.m4v left as it is" >&2
fi

# --- Interlaced coding with quarter-sample motion and global motion --------
# Field and frame vectors in quarter samples: ffmpeg's mpeg4 encoder with
# +qpel and field motion (+ilme), B pictures with field direct macroblocks,
# four vectors, both field orders, the alternate scan; a zoom out while the
# window pans (woven from 50 pictures a second), 180x100 (off the
# macroblock grid both ways), so that vectors point past the right and
# bottom edges.  -cpuflags 0 keeps the scaling on plain C.
ilzoomout="testsrc2=size=352x288:rate=50,scale=w=352-3*n:h=288-2*n:eval=frame,crop=180:100:x=n:y=n,tinterlace=mode=interleave_top"
enc interlaced_qpel_mpeg4_ipb_tff.m4v "$(ilpan 176 144 3 2)" "+qpel+ildct+ilme" -top 1 -c:v mpeg4 -bf 2 -qscale:v 5 -frames:v 10
enc interlaced_qpel_mpeg4_ipb_mv4_bff_alt.m4v "$(ilpan 176 144 3 2)" "+qpel+ildct+ilme+mv4" -top 0 -alternate_scan 1 \
  -c:v mpeg4 -bf 2 -qscale:v 5 -frames:v 10
enc interlaced_qpel_mpeg4_zoom_180x100_ipb_mv4.m4v "$ilzoomout" "+qpel+ildct+ilme+mv4" -cpuflags 0 -top 0 -c:v mpeg4 -bf 2 \
  -qscale:v 8 -frames:v 14
# Xvid's encoder (the driver above, --gmc and --quarter-sample): S pictures
# in interlaced layers, whose global macroblocks are warped from the whole
# frame and may carry field DCT residuals, with B pictures around them; a
# window zooming in on testsrc2 while it drifts right, woven as above.
# Xvid codes no field prediction, also not with quarter samples.
ilzoom() { echo "testsrc2=size=640x480:rate=50,zoompan=z='1+0.006*on':x='iw/2-iw/zoom/2+on':y='ih/2-ih/zoom/2':d=1:s=$1:fps=50,tinterlace=mode=interleave_top"; }
xvid_il interlaced_gmc_xvid_ipb_tff.m4v 176x144 "$(ilzoom 176x144)" 12 --interlaced --top-first --gmc --bframes 1 --quant 6
xvid_il interlaced_gmc_xvid_ip_150x98_bff_alt.m4v 150x98 "$(ilzoom 150x98)" 10 --interlaced --alternate-scan --gmc --quant 6
xvid_il interlaced_qpel_xvid_ipb_mv4_tff.m4v 176x144 "$(ilpan 176 144 3 2)" 10 --interlaced --top-first --quarter-sample \
  --four-vectors --bframes 2 --quant 6
xvid_il interlaced_qpel_gmc_xvid_ipb_bff.m4v 176x144 "$(ilzoom 176x144)" 12 --interlaced --quarter-sample --gmc --bframes 1 \
  --quant 6

echo "make_streams: wrote $(ls "$out"/*.m4v | wc -l) streams and $(ls "$out"/*.avi "$out"/*.mp4 "$out"/*.mov "$out"/*.mkv | wc -l) container files to $out"
