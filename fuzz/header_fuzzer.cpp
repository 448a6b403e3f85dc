// The layer and picture header parsers on their own: the layer header with
// the frame store it sizes, then the header of every picture, without the
// macroblocks.  The reader must stay inside its buffer and its bounds.
//
// Input layout: byte 0 width - 1, byte 1 height - 1, byte 2 bit 0 the
// unpadded source type; the rest is a raw elementary stream, split as the
// decoder's host splits it: the header bytes before the first picture start
// code (00 00 01 B6), then one picture from each start code to the next.
// Short-header streams (a short-header picture start code first) are split
// at their own start codes, the first picture being the header too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bitstream/picture_header.h"
#include "bitstream/sequence_header.h"
#include "bitstream/short_header_picture.h"
#include "decoder/decoder_context.h"
#include "decoder/frame_store.h"
#include "decoder/stream_setup.h"
#include "fuzz_input.h"

namespace {

using namespace tavrin;
using tavrin::fuzz::FuzzInput;

constexpr size_t kMostPictures = 500;

// As the decoder copies its input: the bytes, then zero padding.
void TakeInput(DecoderContext& c, const uint8_t* data, size_t size) {
  c.reader.Reset(c.input.inputBytes, c.input.inputCapacity);
  std::memcpy(c.input.inputBytes, data, size);
  std::memset(c.input.inputBytes + size, 0, kInputPadding);
  c.input.inputLength = c.reader.dataLength = static_cast<int32_t>(size);
}

void CheckReader(const BitReader& r) {
  if (r.bitPos < 0 || r.bitPos > 7) __builtin_trap();
  if (r.bytePos < r.bufferStart || r.bytePos > r.bufferStart + r.dataLength + kReadSlack)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int32_t width = in.Byte() + 1;
  const int32_t height = in.Byte() + 1;
  const int32_t sourceType = (in.Byte() & 1) ? kSourceTypeUnpadded : 0;
  const uint8_t* stream = in.rest();
  const size_t streamSize = in.restSize();

  // A buffer of exactly the capacity the input needs plus the padding.
  std::vector<uint8_t> buffer(streamSize + kInputPadding);
  DecoderContext c{};
  c.input.inputBytes = buffer.data();
  c.input.inputCapacity = static_cast<int32_t>(streamSize);
  c.input.sourceType = sourceType;

  const tavrin::fuzz::StreamPictures split(stream, streamSize);
  const size_t firstPicture = split.FirstPicture();
  TakeInput(c, stream, split.HeaderEnd());
  const bool open = OpenStream(c, width, height);
  CheckReader(c.reader);
  if (open) {
    size_t at = firstPicture;
    for (size_t i = 0; at < streamSize && i < kMostPictures; ++i) {
      const size_t next = split.NextPicture(at + 4);
      TakeInput(c, stream + at, next - at);
      if (c.sequence.shortVideoHeader) {
        // Short-header pictures: found and read by their own parser.
        ReadShortHeaderPicture(c.reader, c.shortHeader, c.picture);
        CheckReader(c.reader);
        if (c.picture.vopCodingType < 0 || c.picture.vopCodingType > 1 || c.picture.vopQuant < 0 ||
            c.picture.vopQuant > 31)
          __builtin_trap();
      } else if (c.reader.FindStartCode(0xB6)) {
        ParsePictureHeader(c.reader, c.sequence, c.picture, c.input.sourceType);
        CheckReader(c.reader);
        const PictureHeader& p = c.picture;
        if (p.vopCodingType < 0 || p.vopCodingType > 3 || p.vopQuant < 0 || p.vopQuant > 31)
          __builtin_trap();
      }
      at = next;
    }
  }
  ReleaseFrameStore(c);
  return 0;
}
