// Motion-compensated 8x8 blocks and whole-macroblock copies, shared by the
// predicted and bidirectional picture decoders of the first path.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/decoder_context.h"
#include "picture/intra_macroblock.h"
#include "primitives/blockcopy/motion_routines.h"
#include "primitives/dispatch/primitive_table.h"
#include "primitives/primitive_types.h"

namespace tavrin {

struct InterBlockCoding {
  BitReader& reader;
  int32_t quant;
  const uint8_t* matrix;  // non-intra matrix, or null
};

// Predicting macroblock (x, y) of cur from ref: the luma with one vector as
// one 16x16 block, and both chroma blocks with the chroma vector in one
// pass.  Inline: they run several times per macroblock.
inline void PredictLuma(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x, int32_t y,
                        const MotionVector& v, int32_t rounding) {
  const ptrdiff_t offset = ptrdiff_t{16} * (y * cur.strideY + x);
  primitives.PredictHalfSample16x16(ref.originY + offset, cur.strideY, cur.originY + offset,
                                    cur.strideY, &v, rounding);
}

// Luma block b (0..3) of macroblock (x, y) predicted with its own vector.
inline void PredictLumaBlock(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x,
                             int32_t y, int32_t b, const MotionVector& v, int32_t rounding) {
  primitives.PredictHalfSample8x8(BlockOrigin(ref, x, y, b), cur.strideY,
                                  BlockOrigin(cur, x, y, b), cur.strideY, &v, rounding);
}

inline void PredictChroma(const PictureBuffer& ref, const PictureBuffer& cur, int32_t x,
                          int32_t y, const MotionVector& v, int32_t rounding) {
  const int32_t stride = cur.strideCb;  // the same for both chroma planes
  const ptrdiff_t offset = ptrdiff_t{8} * (y * stride + x);
  motionRoutines.predictChroma(ref.originCb + offset, ref.originCr + offset, stride,
                               cur.originCb + offset, cur.originCr + offset, stride, &v, rounding);
}

// Macroblock (x, y) of cur predicted from two anchors, first and second, and
// averaged: the luma with one vector each, and both chroma blocks with the
// chroma vectors, each in one pass.
inline void PredictLumaFromBoth(const PictureBuffer& first, const PictureBuffer& second,
                                const PictureBuffer& cur, int32_t x, int32_t y,
                                const MotionVector& firstVector, const MotionVector& secondVector,
                                int32_t rounding) {
  const ptrdiff_t offset = ptrdiff_t{16} * (y * cur.strideY + x);
  motionRoutines.predictBidirectional16x16(first.originY + offset, second.originY + offset,
                                           cur.strideY, cur.originY + offset, cur.strideY,
                                           &firstVector, &secondVector, rounding);
}

inline void PredictChromaFromBoth(const PictureBuffer& first, const PictureBuffer& second,
                                  const PictureBuffer& cur, int32_t x, int32_t y,
                                  const MotionVector& firstVector,
                                  const MotionVector& secondVector, int32_t rounding) {
  const int32_t stride = cur.strideCb;  // the same for both chroma planes
  const ptrdiff_t offset = ptrdiff_t{8} * (y * stride + x);
  motionRoutines.predictBidirectionalChroma(
      first.originCb + offset, first.originCr + offset, second.originCb + offset,
      second.originCr + offset, stride, cur.originCb + offset, cur.originCr + offset, stride,
      &firstVector, &secondVector, rounding);
}

// The residuals of the coded blocks of macroblock (x, y) (cbp: bit 5 block
// 0 ... bit 0 block 5), read in block order and added to what cur holds
// there.  0, or the status of the first residual that fails to decode.
int32_t AddResidualBlocks(const InterBlockCoding& coding, const PictureBuffer& cur, int32_t x,
                          int32_t y, uint32_t cbp);
inline int32_t AddCodedResiduals(const InterBlockCoding& coding, const PictureBuffer& cur,
                                 int32_t x, int32_t y, int32_t cbp) {
  return (cbp & 63) == 0 ? 0 : AddResidualBlocks(coding, cur, x, y, static_cast<uint32_t>(cbp) & 63);
}

// Copies macroblock (x, y), luma and both chroma blocks, from one picture to
// another, and its content tag with it.  When the tags already agree the
// destination holds those samples and nothing is copied: in still parts of
// a scene a skipped macroblock then costs no memory traffic at all.
// The tags are compared inline: in a still scene most skipped macroblocks
// stop there.
void CopyMacroblockSamples(const PictureBuffer& from, const PictureBuffer& to, int32_t x,
                           int32_t y);
inline void CopyMacroblock(const PictureBuffer& from, const PictureBuffer& to, int32_t x,
                           int32_t y, int32_t index) {
  if (from.contentTags != nullptr && to.contentTags != nullptr) {
    const int32_t tag = from.contentTags[index];
    if (tag != 0 && to.contentTags[index] == tag) return;
    to.contentTags[index] = tag;
  }
  CopyMacroblockSamples(from, to, x, y);
}

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
