// Motion vector primitives (table slots 17 to 25): vector decoding with
// prediction, direct-mode derivation, clipping and chroma vectors.
#pragma once

#include "primitives/primitive_types.h"

namespace tavrin::reference {
PrimitiveStatus DecodeMacroblockVectors(BytePointer* bytePos, int32_t* bitPos,
                                        const MotionVector* left, const MotionVector* above,
                                        const MotionVector* aboveRight, MotionVector* vectors,
                                        const uint8_t* leftFlags, const uint8_t* aboveFlags,
                                        const uint8_t* aboveRightFlags,
                                        const uint8_t* currentFlags, int32_t fcode,
                                        int32_t mbType);
PrimitiveStatus DecodeForwardVector(BytePointer* bytePos, int32_t* bitPos, MotionVector* vector,
                                    int32_t fcode);
PrimitiveStatus DecodeBackwardVector(BytePointer* bytePos, int32_t* bitPos, MotionVector* vector,
                                     int32_t fcode);
PrimitiveStatus DecodeBidirVectors(BytePointer* bytePos, int32_t* bitPos, MotionVector* first,
                                   MotionVector* second, int32_t firstFcode,
                                   int32_t secondFcode);
PrimitiveStatus DecodeDirectVectors(BytePointer* bytePos, int32_t* bitPos,
                                    const MotionVector* colocated, MotionVector* forward,
                                    MotionVector* backward, const uint8_t* flags, int32_t trb,
                                    int32_t trd);
PrimitiveStatus DeriveDirectVectors(const MotionVector* colocated, MotionVector* forward,
                                    MotionVector* backward, const uint8_t* flags, int32_t trb,
                                    int32_t trd);
PrimitiveStatus ClipVector(const MotionVector* in, MotionVector* out, const ClipRect* rect,
                           int32_t blockX, int32_t blockY, int32_t blockSize);
PrimitiveStatus DeriveChromaVector(const MotionVector* luma, MotionVector* chroma);
PrimitiveStatus DeriveChromaVector4(const MotionVector* luma, MotionVector* chroma,
                                    const uint8_t* flags);
}  // namespace tavrin::reference
