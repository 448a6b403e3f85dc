// Motion-compensated 8x8 blocks and whole-macroblock copies, shared by the
// predicted and bidirectional picture decoders of the first path.
#pragma once

#include <cstdint>

#include "api/decoder_context.h"
#include "primitives/primitive_types.h"

namespace tavrin {

struct InterBlockCoding {
  BitReader& reader;
  int32_t quant;
  const uint8_t* matrix;  // non-intra matrix, or null
  int32_t rounding;
  int16_t* residual;      // 64 values, 16-byte aligned
};

// Block 0..5 of macroblock (x, y) predicted from ref at vector v into cur;
// when coded, its residual is decoded and added.  0, or the status of the
// residual's decoding.
int32_t PredictInterBlock(const InterBlockCoding& coding, const PictureBuffer& ref,
                          const PictureBuffer& cur, int32_t x, int32_t y, int32_t block,
                          const MotionVector& v, bool coded);

// Copies macroblock (x, y), luma and both chroma blocks, from one picture to
// another, and its content tag with it.  When the tags already agree the
// destination holds those samples and nothing is copied: in still parts of
// a scene a skipped macroblock then costs no memory traffic at all.
void CopyMacroblock(const PictureBuffer& from, const PictureBuffer& to, int32_t x, int32_t y,
                    int32_t index);

// Macroblock index of the current picture is about to be written by this
// picture's decode: it takes the picture's own tag, which no other picture
// holds, before any sample changes (so a decode that stops inside it leaves
// no false claim).
inline void MarkMacroblockWritten(const FrameStore& f, int32_t index) {
  if (f.currentPicture.contentTags != nullptr) f.currentPicture.contentTags[index] = f.contentSerial;
}

// Before decoding a picture into currentPicture: a tag of its own.  Tags
// never repeat; before the counter would run out every tag is forgotten.
void StartPictureContent(FrameStore& f);

// An intra picture writes every macroblock.
void MarkPictureWritten(FrameStore& f);

}  // namespace tavrin
