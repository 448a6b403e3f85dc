// The whole decoding state of one stream, in groups: bit reader, sequence
// header, picture header, frame store, picture state and input.  It is
// value-initialised (all zero) when allocated; every field no step sets
// stays 0.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/picture_header.h"
#include "bitstream/sequence_header.h"
#include "bitstream/short_header_picture.h"
#include "decoder/interlaced_state.h"
#include "decoder/picture_buffer.h"
#include "decoder/resilience_state.h"
#include "primitives/primitive_types.h"

namespace tavrin {

// Per-stream storage sized from the picture size, and reference bookkeeping.
struct FrameStore {
  int32_t decodeCalls;
  int32_t mbWidth;
  int32_t mbHeight;
  int16_t* predRowY;       // (mbWidth + 1) * 16
  int16_t* predRowCb;      // mbWidth * 8 + 8
  int16_t* predRowCr;      // mbWidth * 8 + 8
  int16_t* predColY;       // 16
  int16_t* predColCb;      // 8
  int16_t* predColCr;      // 8
  uint8_t* qpRow;          // mbWidth + 1
  int16_t* mvRow;          // (mbWidth + 2) * 16
  uint8_t* blockFlagRow;   // mbWidth * 4 + 8
  uint8_t* mbStateMap;     // mbWidth * mbHeight
  int32_t anchorsRearranged;
  int64_t pastAnchorTime;    // full time of the older of the two newest I/P pictures
  int64_t futureAnchorTime;  // full time of the newest I/P picture
  int16_t* mvStore;          // mbWidth * mbHeight * 16 (allocated twice that)
  PictureBuffer currentPicture;
  PictureBuffer forwardReference;
  PictureBuffer backwardReference;
  int32_t contentSerial;  // the tag of the picture being decoded (contentTags)
  InterlacedState interlaced;  // interlaced layers only
  ResilienceState resilience;
};

struct PictureState {
  PictureBuffer* outputPicture;  // the record to show, or null
  int32_t picturesTotal;
  int32_t iPictures;
  int32_t pPictures;
  int32_t bPictures;
  int32_t sPictures;
};

struct InputState {
  int32_t sourceType;
  int32_t inputLength;    // valid bytes in inputBytes
  uint8_t* filterBuffer;  // the decoder's post-filter scratch
  int32_t filterBufferSize;
  // The bytes handed over last: inputCapacity bytes followed by
  // kInputPadding bytes that are zero after every copy.
  uint8_t* inputBytes;
  int32_t inputCapacity;
};

struct DecoderContext {
  BitReader reader;
  SequenceHeader sequence;
  PictureHeader picture;
  FrameStore store;
  PictureState state;
  InputState input;
  ShortHeaderState shortHeader;  // short-header streams only
};

}  // namespace tavrin
