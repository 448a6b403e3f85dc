#include "decoder/stream_setup.h"

#include "bitstream/sequence_header.h"
#include "bitstream/short_header_picture.h"
#include "decoder/frame_store.h"

namespace tavrin {

bool OpenStream(DecoderContext& context, int32_t width, int32_t height) {
  BitReader& r = context.reader;
  r.dataLength = context.input.inputLength;
  // Short-header streams carry no layer header: their first picture's
  // header gives the size, which must be the host's.
  if (BeginsWithShortHeader(r)) {
    SequenceHeader& s = context.sequence;
    return OpenShortHeaderSequence(r, s, context.shortHeader) == 0 && s.width == width &&
           s.height == height && AllocateFrameStore(context) == 0;
  }
  if (!r.NextStartCode()) return false;
  // The first start code must be a video object start code (00 to 1F).
  if (r.GetBits(8) > 31) return false;
  if (ParseVideoObjectLayer(r, context.sequence) != 0) return false;
  context.sequence.width = width;
  context.sequence.height = height;
  return AllocateFrameStore(context) == 0;
}

}  // namespace tavrin
