// Types shared by every primitive: the status codes, motion vectors, the
// clipping rectangle, the library-information record, and the function type
// of each of the 42 rows of the primitive table.
#pragma once

#include <cstdint>

namespace tavrin {

// Every primitive (apart from allocation, release and the information rows)
// returns one of these; 0 is success and every error is negative.
enum PrimitiveStatus : int32_t {
  Ok = 0,
  SizeError = -6,
  NullPointer = -8,
  StepError = -14,
  CountError = -72,
  PadStepError = -77,
  PadBorderError = -78,
  PadHeightError = -79,
  PadWidthError = -80,
  Step16Error = -81,
  Step8Error = -82,
  TypeError = -93,
  BlockSizeError = -95,
  TimeDistanceError = -96,
  AlignmentError = -97,
  RangeCodeError = -98,
  MarkerError = -99,
  CoefficientCodeError = -100,
  VectorCodeError = -101,
  BlockIndexError = -103,
  QuantiserError = -104,
  BitOffsetError = -105,
};

// Two components in half-sample luma units, horizontal first.
struct MotionVector {
  int16_t x;
  int16_t y;
};
static_assert(sizeof(MotionVector) == 4);

inline bool operator==(MotionVector a, MotionVector b) { return a.x == b.x && a.y == b.y; }

// The rectangle vectors are clipped to, in pixels relative to the top-left
// visible luma sample.
struct ClipRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

// Constant description of one primitive set; nothing in the decoder reads it.
struct LibraryInfo {
  int32_t major;
  int32_t minor;
  int32_t build;
  int32_t revision;
  char target[4];
  const char* name;
  const char* version;
  const char* buildDate;
};

// A position in the compressed bytes, as primitives take it: the byte that
// holds the next unread bit, and how many of its bits (0 to 7, most
// significant first) are already consumed.  Primitives advance both.
using BytePointer = const uint8_t*;

// ---- Function types of the table rows, in slot order ----

using GetLibraryInfoFn = const LibraryInfo* (*)();                         // 0, 1
using AllocBytesFn = uint8_t* (*)(int32_t count);                          // 2
using AllocShortsFn = int16_t* (*)(int32_t count);                         // 3
using AllocIntsFn = int32_t* (*)(int32_t count);                           // 4
using ZeroBytesFn = PrimitiveStatus (*)(void* bytes, int32_t count);      // 5
using FreeAlignedFn = void (*)(void* block);                               // 6

using CopyBlockFn = PrimitiveStatus (*)(const uint8_t* source, uint8_t* destination,
                                        int32_t stride);  // 7, 8
using AddResidualFn = PrimitiveStatus (*)(uint8_t* picture, const int16_t* residual,
                                          int32_t stride);  // 9
using PadPlaneFn = PrimitiveStatus (*)(uint8_t* base, int32_t width, int32_t height,
                                       int32_t border, int32_t stride);  // 10
using AverageFn = PrimitiveStatus (*)(const uint8_t* source, int32_t sourceStride,
                                      uint8_t* destination, int32_t destinationStride);  // 11, 12
using PredictHalfSampleFn = PrimitiveStatus (*)(const uint8_t* reference, int32_t referenceStride,
                                                uint8_t* destination, int32_t destinationStride,
                                                const MotionVector* vector,
                                                int32_t rounding);  // 13, 14
using PredictAddResidualFn = PrimitiveStatus (*)(const uint8_t* reference, int32_t referenceStride,
                                                 const int16_t* residual, uint8_t* destination,
                                                 int32_t destinationStride,
                                                 const MotionVector* vector,
                                                 int32_t rounding);  // 15
using PredictOverlappedFn = PrimitiveStatus (*)(
    const uint8_t* reference, int32_t referenceStride, uint8_t* destination,
    int32_t destinationStride, const MotionVector* current, const MotionVector* left,
    const MotionVector* right, const MotionVector* above, const MotionVector* below,
    int32_t rounding);  // 16

using DecodeMacroblockVectorsFn = PrimitiveStatus (*)(
    BytePointer* bytePos, int32_t* bitPos, const MotionVector* left, const MotionVector* above,
    const MotionVector* aboveRight, MotionVector* vectors, const uint8_t* leftFlags,
    const uint8_t* aboveFlags, const uint8_t* aboveRightFlags, const uint8_t* currentFlags,
    int32_t fcode, int32_t mbType);  // 17
using DecodeVectorFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                           MotionVector* vector, int32_t fcode);  // 18, 19
using DecodeBidirVectorsFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                 MotionVector* first, MotionVector* second,
                                                 int32_t firstFcode,
                                                 int32_t secondFcode);  // 20
using DecodeDirectVectorsFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                  const MotionVector* colocated,
                                                  MotionVector* forward, MotionVector* backward,
                                                  const uint8_t* flags, int32_t trb,
                                                  int32_t trd);  // 21
using DeriveDirectVectorsFn = PrimitiveStatus (*)(const MotionVector* colocated,
                                                  MotionVector* forward, MotionVector* backward,
                                                  const uint8_t* flags, int32_t trb,
                                                  int32_t trd);  // 22
using ClipVectorFn = PrimitiveStatus (*)(const MotionVector* in, MotionVector* out,
                                         const ClipRect* rect, int32_t blockX, int32_t blockY,
                                         int32_t blockSize);  // 23
using DeriveChromaVectorFn = PrimitiveStatus (*)(const MotionVector* luma,
                                                 MotionVector* chroma);  // 24
using DeriveChromaVector4Fn = PrimitiveStatus (*)(const MotionVector* luma, MotionVector* chroma,
                                                  const uint8_t* flags);  // 25

using PredictIntraDcAcFn = PrimitiveStatus (*)(int16_t* block, int16_t* aboveGroup,
                                               int16_t* leftGroup, int32_t blockQuant,
                                               int32_t predictorQuant, int32_t direction,
                                               int32_t acPrediction,
                                               int32_t selector);  // 26
using DequantIntraFn = PrimitiveStatus (*)(int16_t* block, int32_t quant, const uint8_t* matrix,
                                           int32_t selector);  // 27
using DequantInterFn = PrimitiveStatus (*)(int16_t* block, int32_t quant,
                                           const uint8_t* matrix);  // 28
using DecodeIntraCoefficientsFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                      int16_t* block, int32_t scan,
                                                      int32_t selector);  // 29
using DecodeIntraCoefficientsNoDcFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                          int16_t* block, int32_t scan);  // 30
using DecodeInterCoefficientsFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                                      int16_t* block);  // 31
using DecodeIntraDcFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                            int16_t* block, int32_t selector);  // 32

using ReconstructIntraFn = PrimitiveStatus (*)(
    BytePointer* bytePos, int32_t* bitPos, uint8_t* destination, int32_t stride,
    int16_t* predRow, int16_t* predCol, int32_t quant, const uint8_t* qpNeighbours,
    const uint8_t* matrix, int32_t blockIndex, int32_t useIntraDcVlc,
    int32_t acPrediction);  // 33, 35
using ReconstructInterFn = PrimitiveStatus (*)(BytePointer* bytePos, int32_t* bitPos,
                                               int16_t* residual, int32_t quant,
                                               const uint8_t* matrix);  // 34

using DeblockEdgeFn = PrimitiveStatus (*)(uint8_t* pixels, int32_t stride, int32_t quant,
                                          int32_t thr1, int32_t thr2);  // 36, 37
// Deringing (never called by the decoder): the threshold and range of one
// 8x8 block, and the adaptive smoothing of one 8x8 block with that threshold.
using DeringThresholdFn = PrimitiveStatus (*)(const uint8_t* pixels, int32_t stride,
                                              int32_t* threshold, int32_t* range);  // 38
using DeringSmoothFn = PrimitiveStatus (*)(const uint8_t* source, int32_t sourceStride,
                                           uint8_t* destination, int32_t destinationStride,
                                           int32_t threshold, int32_t quant);  // 39
using InverseDctFn = PrimitiveStatus (*)(int16_t* block);                   // 40
using CopyPlaneFn = PrimitiveStatus (*)(const uint8_t* source, int32_t sourceStride,
                                        uint8_t* destination, int32_t destinationStride,
                                        int32_t width, int32_t height);  // 41

}  // namespace tavrin
