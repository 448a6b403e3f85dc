#!/usr/bin/env bash
# Seed corpora for the fuzzing targets, made from the committed streams in
# tests/data: fuzz/make-corpus.sh OUTPUT_DIR makes OUTPUT_DIR/<target>/.
# Needs ffprobe (the picture size of each stream).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
data="$here/../tests/data"
out="${1:?usage: make-corpus.sh OUTPUT_DIR}"
mkdir -p "$out/decoder" "$out/header" "$out/coefficient" "$out/vector" "$out/matroska"

# Bytes given as numbers, written raw.
bytes() { local b; for b in "$@"; do printf "\\$(printf '%03o' "$b")"; done; }
be16() { bytes $(($1 >> 8 & 255)) $(($1 & 255)); }
zeros() { head -c "$1" /dev/zero; }
# COUNT bytes of FILE from byte OFFSET (1-based).
slice() { tail -c +"$2" "$1" | head -c "$3" || true; }

for stream in "$data"/*.m4v "$data"/*.263; do
  name="$(basename "$stream")"; name="${name%.*}"
  size="$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$stream" 2>/dev/null || true)"
  width="${size%%,*}"; height="${size##*,}"
  [[ "$width" =~ ^[0-9]+$ && "$height" =~ ^[0-9]+$ ]] || { width=176; height=144; }

  # The whole decoder: the stream's own size, then quality 0 without a
  # filter and quality 1 with the luma and chroma filter, settings changing
  # every fourth picture.
  { be16 "$width"; be16 "$height"; bytes 0 0; slice "$stream" 1 24000; } > "$out/decoder/$name"
  { be16 "$width"; be16 "$height"; bytes 21 17; slice "$stream" 1 24000; } > "$out/decoder/$name.q1f2"

  # Headers: the layer header and the first pictures' headers.
  w=$((width > 256 ? 255 : width - 1)); h=$((height > 256 ? 255 : height - 1))
  { bytes "$w" "$h" 0; slice "$stream" 1 4000; } > "$out/header/$name"

  # Primitives: stretches of coded picture data behind each row's arguments.
  total=$(stat -c %s "$stream")
  for row in 0 1 2 3 4 5 6 7 8 9; do
    offset=$(( (total / 11) * (row + 1) ))
    # row, bit offset, scan, selector, quant 8, predictor quant 8, block 0,
    # flags (DC code), five bytes of "no predictor".
    { bytes "$row" 0 0 0 8 8 0 1 0 0 0 0 0; slice "$stream" "$offset" 256; } \
      > "$out/coefficient/$name.$row"
  done
  for row in 0 1 2 3 4 5 6 7 8; do
    offset=$(( (total / 10) * (row + 1) ))
    # row, bit offset, fcodes 1 and 1, one vector; blocks at (16, 16) of
    # size 16; time distances 1 and 2; rectangle (-16, -16, 208, 176); all
    # neighbours present; zero vectors.
    { bytes "$row" 0 1 1 0; be16 16; be16 16; bytes 1; be16 0; be16 1; be16 0; be16 2
      be16 65520; be16 65520; be16 208; be16 176
      for _ in 1 2 3 4; do bytes 2 2 2 2; done
      zeros 80; slice "$stream" "$offset" 128; } > "$out/vector/$name.$row"
  done
done
# Matroska: the committed files, whole and cut after a few frames, and one
# built here with what they lack: header removal, Xiph and EBML lacing, a
# BlockGroup, and a segment and clusters of unknown size.
for file in "$data"/*.mkv; do
  name="$(basename "$file" .mkv)"
  cp "$file" "$out/matroska/$name"
  slice "$file" 1 9000 > "$out/matroska/$name.cut"
done
python3 - "$data/mpeg4_ipb.m4v" "$out/matroska/built" <<'PY'
import sys
stream = open(sys.argv[1], 'rb').read()
marks = [i for i in range(len(stream) - 3) if stream[i:i + 4] == b'\x00\x00\x01\xb6']
header = stream[:marks[0]]
frames = [stream[a:b] for a, b in zip(marks, marks[1:] + [len(stream)])][:9]

def number(v, length=0):
    if not length:
        length = 1
        while length < 8 and v >= (1 << (7 * length)) - 1:
            length += 1
    # The length marker is the bit just above the 7 * length value bits.
    return (v | (1 << (7 * length))).to_bytes(length, 'big')

def element(ident, body, open_size=False):
    size = b'\x01\xff\xff\xff\xff\xff\xff\xff' if open_size else number(len(body))
    return ident + size + body

def uint(ident, v):
    return element(ident, v.to_bytes(max(1, (v.bit_length() + 7) // 8), 'big'))

removed = b'\x00\x00\x01\xb6'
stripped = [f[len(removed):] for f in frames]
encoding = element(b'\x6d\x80', element(b'\x62\x40', element(b'\x50\x34',
    uint(b'\x42\x54', 3) + element(b'\x42\x55', removed))))
track = element(b'\xae', uint(b'\xd7', 1) + uint(b'\x83', 1) + element(b'\x86', b'V_MPEG4/ISO/ASP') +
                element(b'\x63\xa2', header) + uint(b'\x23\xe3\x83', 40000000) + encoding)
def block(rel, group, lacing):
    head = b'\x81' + rel.to_bytes(2, 'big', signed=True)
    if lacing == 0:
        return head + b'\x00' + group[0]
    sizes = b''
    if lacing == 1:
        for f in group[:-1]:
            sizes += b'\xff' * (len(f) // 255) + bytes([len(f) % 255])
    else:
        sizes = number(len(group[0]))
        for a, b in zip(group, group[1:-1]):
            sizes += number(len(b) - len(a) + (1 << 27) - 1, 4)
    return head + bytes([lacing << 1]) + bytes([len(group) - 1]) + sizes + b''.join(group)
clusters = element(b'\x1f\x43\xb6\x75', uint(b'\xe7', 0) +
                   element(b'\xa3', block(0, stripped[0:3], 1)) +
                   element(b'\xa0', element(b'\xa1', block(120, stripped[3:4], 0))), open_size=True)
clusters += element(b'\x1f\x43\xb6\x75', uint(b'\xe7', 160) +
                    element(b'\xa3', block(0, stripped[4:9], 3)), open_size=True)
ebml = element(b'\x1a\x45\xdf\xa3', uint(b'\x42\x86', 1) + element(b'\x42\x82', b'matroska'))
info = element(b'\x15\x49\xa9\x66', uint(b'\x2a\xd7\xb1', 1000000))
segment = element(b'\x18\x53\x80\x67', info + element(b'\x16\x54\xae\x6b', track) + clusters, open_size=True)
open(sys.argv[2], 'wb').write(ebml + segment)
PY
echo "seed corpora in $out: $(ls "$out/decoder" | wc -l) decoder, $(ls "$out/header" | wc -l) header," \
     "$(ls "$out/coefficient" | wc -l) coefficient, $(ls "$out/vector" | wc -l) vector," \
     "$(ls "$out/matroska" | wc -l) matroska"
