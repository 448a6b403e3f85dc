#!/usr/bin/env bash
# Seed corpora for the fuzzing targets, made from the committed streams in
# tests/data: fuzz/make-corpus.sh OUTPUT_DIR makes OUTPUT_DIR/<target>/.
# Needs ffprobe (the picture size of each stream).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
data="$here/../tests/data"
out="${1:?usage: make-corpus.sh OUTPUT_DIR}"
mkdir -p "$out/decoder" "$out/header" "$out/coefficient" "$out/vector"

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
echo "seed corpora in $out: $(ls "$out/decoder" | wc -l) decoder, $(ls "$out/header" | wc -l) header," \
     "$(ls "$out/coefficient" | wc -l) coefficient, $(ls "$out/vector" | wc -l) vector"
