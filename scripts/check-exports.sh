#!/usr/bin/env bash
# Checks that the shared library exports exactly the ten functions of the
# interface and no other symbol.
#   scripts/check-exports.sh path/to/libtavrin.so
set -euo pipefail
expected="GetMorvelDllVersion
TavrinDecoder_CreateDecoder
TavrinDecoder_DecoderOneFrame
TavrinDecoder_ReleaseDecoder
TavrinDecoder_ResizeBitmap
TavrinDecoder_SetBrightness
TavrinDecoder_SetContrast
TavrinDecoder_SetPostFilter
TavrinDecoder_SetSaturation
TavrinDecoder_SetVideoQuality"
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the interface:" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
echo "exports: exactly the ten functions"
