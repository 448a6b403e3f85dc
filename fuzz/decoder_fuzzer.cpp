// The whole decoder through its exported interface: host size, settings and
// stream all come from the input.
//
// Input layout:
//   bytes 0-1  width, big-endian (see HostDimension)
//   bytes 2-3  height
//   byte 4     bit 0 video quality, bits 1-2 post-filter (3 asks for more
//              than the decoder has), bit 3 the unpadded source type, bit 4
//              an empty call at the end
//   byte 5     settings changes: before picture i, when bit (i mod 8) is
//              set, the video quality flips and the post-filter moves on
//   the rest   a raw elementary stream: everything before the first picture
//              start code (00 00 01 B6) is the header, then each picture
//              runs from its start code to the next.  A stream that begins
//              with a short-header picture start code (00 00 80..83, perhaps
//              behind a video object start code) is split at those, and its
//              first picture is the header as well (fuzz_input.h).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_input.h"
#include "tavrin.h"

namespace {

using tavrin::fuzz::FuzzInput;

constexpr size_t kMostPictures = 200;
// Larger pictures are valid but make each run slow; the damaged-stream tests
// cover them.
constexpr int32_t kLargestFuzzedDimension = 1024;

int32_t HostDimension(uint16_t code) {
  static constexpr int32_t kOdd[8] = {0, -1, -16, 8192, 65536, INT32_MIN, INT32_MAX, 1};
  if (code & 0x8000) return kOdd[code & 7];
  if (code >= 1 && code <= kLargestFuzzedDimension) return code;
  return 1 + code % kLargestFuzzedDimension;
}

// Reads every visible sample, so that plane pointers and strides that do not
// describe memory the decoder owns are caught.
void TouchPicture(const DecoderOutput& out, int32_t width, int32_t height) {
  if (out.planeY == nullptr || out.planeCb == nullptr || out.planeCr == nullptr) __builtin_trap();
  const int32_t chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
  if (out.strideY < width || out.strideCb < chromaWidth || out.strideCr < chromaWidth)
    __builtin_trap();
  unsigned sum = 0;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) sum += out.planeY[ptrdiff_t{y} * out.strideY + x];
  for (int32_t y = 0; y < chromaHeight; ++y)
    for (int32_t x = 0; x < chromaWidth; ++x)
      sum += out.planeCb[ptrdiff_t{y} * out.strideCb + x] + out.planeCr[ptrdiff_t{y} * out.strideCr + x];
  volatile unsigned sink = sum;
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int32_t width = HostDimension(in.Word());
  const int32_t height = HostDimension(in.Word());
  const uint8_t settings = in.Byte();
  const uint8_t changes = in.Byte();
  const uint8_t* stream = in.rest();
  const size_t streamSize = in.restSize();

  const tavrin::fuzz::StreamPictures split(stream, streamSize);
  const size_t firstPicture = split.FirstPicture();
  DecoderInput header{};
  header.data = stream;
  header.length = static_cast<uint32_t>(split.HeaderEnd());
  header.width = width;
  header.height = height;
  header.sourceType = (settings & 8) ? TAVRIN_SOURCE_TYPE_UNPADDED : 0;
  DecoderOutput out{};
  std::memset(out.reserved, 0xA5, sizeof out.reserved);
  const TavrinHandle handle = TavrinDecoder_CreateDecoder(&header, &out);
  if (handle == 0) return 0;

  int32_t quality = settings & 1;
  int32_t filter = (settings >> 1) & 3;
  TavrinDecoder_SetVideoQuality(handle, quality);
  TavrinDecoder_SetPostFilter(handle, filter);

  const bool visible = width >= 1 && height >= 1 && width <= kLargestFuzzedDimension &&
                       height <= kLargestFuzzedDimension;
  size_t at = firstPicture;
  for (size_t i = 0; at < streamSize && i < kMostPictures; ++i) {
    const size_t next = split.NextPicture(at + 4);
    if (changes & (1u << (i % 8))) {
      quality ^= 1;
      filter = (filter + 1) % 3;
      TavrinDecoder_SetVideoQuality(handle, quality);
      TavrinDecoder_SetPostFilter(handle, filter);
    }
    DecoderInput frame{};
    frame.data = stream + at;
    frame.length = static_cast<uint32_t>(next - at);
    if (TavrinDecoder_DecoderOneFrame(handle, &frame, &out) && visible)
      TouchPicture(out, width, height);
    at = next;
  }
  if (settings & 16) {
    DecoderInput empty{};
    if (TavrinDecoder_DecoderOneFrame(handle, &empty, &out) && visible) TouchPicture(out, width, height);
  }
  for (uint8_t b : out.reserved)
    if (b != 0xA5) __builtin_trap();
  if (TavrinDecoder_ReleaseDecoder(handle) != 1) __builtin_trap();
  return 0;
}
