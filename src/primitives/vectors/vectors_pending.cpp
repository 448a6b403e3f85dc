// Placeholder bodies until this family is built: every primitive refuses
// its input.  Nothing here decodes.
#include "primitives/vectors/vectors.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace tavrin::reference {
PrimitiveStatus DecodeMacroblockVectors(BytePointer* bytePos, int32_t* bitPos,
                                        const MotionVector* left, const MotionVector* above,
                                        const MotionVector* aboveRight, MotionVector* vectors,
                                        const uint8_t* leftFlags, const uint8_t* aboveFlags,
                                        const uint8_t* aboveRightFlags,
                                        const uint8_t* currentFlags, int32_t fcode,
                                        int32_t mbType) { return TypeError; }

PrimitiveStatus DecodeForwardVector(BytePointer* bytePos, int32_t* bitPos, MotionVector* vector,
                                    int32_t fcode) { return TypeError; }

PrimitiveStatus DecodeBackwardVector(BytePointer* bytePos, int32_t* bitPos, MotionVector* vector,
                                     int32_t fcode) { return TypeError; }

PrimitiveStatus DecodeBidirVectors(BytePointer* bytePos, int32_t* bitPos, MotionVector* first,
                                   MotionVector* second, int32_t firstFcode,
                                   int32_t secondFcode) { return TypeError; }

PrimitiveStatus DecodeDirectVectors(BytePointer* bytePos, int32_t* bitPos,
                                    const MotionVector* colocated, MotionVector* forward,
                                    MotionVector* backward, const uint8_t* flags, int32_t trb,
                                    int32_t trd) { return TypeError; }

PrimitiveStatus DeriveDirectVectors(const MotionVector* colocated, MotionVector* forward,
                                    MotionVector* backward, const uint8_t* flags, int32_t trb,
                                    int32_t trd) { return TypeError; }

PrimitiveStatus ClipVector(const MotionVector* in, MotionVector* out, const ClipRect* rect,
                           int32_t blockX, int32_t blockY, int32_t blockSize) { return TypeError; }

PrimitiveStatus DeriveChromaVector(const MotionVector* luma, MotionVector* chroma) { return TypeError; }

PrimitiveStatus DeriveChromaVector4(const MotionVector* luma, MotionVector* chroma,
                                    const uint8_t* flags) { return TypeError; }

}  // namespace tavrin::reference
