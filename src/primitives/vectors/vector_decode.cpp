// Vector decoding primitives: the P-picture macroblock vectors with median
// prediction from the neighbours, and the single and paired vector
// differences of B pictures.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "primitives/vectors/vector_bits.h"
#include "primitives/vectors/vector_prediction.h"
#include "primitives/vectors/vectors.h"

namespace tavrin::reference {

namespace {

using vectors::DecodeMotionDifference;

bool IsWordAligned(const uint8_t* p) { return (reinterpret_cast<uintptr_t>(p) & 3u) == 0; }

// The first present block each absent block copies, in order of preference;
// the last one is taken whether present or not.
constexpr uint8_t kFillOrder[4][3] = {{1, 2, 3}, {0, 3, 2}, {3, 0, 1}, {2, 1, 0}};

using vectors::AnyPresent;
using vectors::Neighbourhood;
using vectors::PredictBlockVector;

void FillAbsentVectors(MotionVector* v, const uint8_t* flags) {
  for (int block = 0; block < 4; ++block) {
    if (flags[block] != 0) continue;
    const uint8_t* order = kFillOrder[block];
    uint8_t from = order[2];
    if (flags[order[0]] != 0) {
      from = order[0];
    } else if (flags[order[1]] != 0) {
      from = order[1];
    }
    v[block] = v[from];
  }
}

PrimitiveStatus DecodeSingleVector(BytePointer* bytePos, int32_t* bitPos, MotionVector* vector,
                                   int32_t fcode) {
  if (const PrimitiveStatus s = vectors::CheckBitPosition(bytePos, bitPos); s != Ok) return s;
  if (vector == nullptr) return NullPointer;
  if (!vectors::IsValidFcode(fcode)) return RangeCodeError;
  return DecodeMotionDifference(bytePos, bitPos, vector, fcode);
}

}  // namespace

PrimitiveStatus DecodeMacroblockVectors(BytePointer* bytePos, int32_t* bitPos,
                                        const MotionVector* left, const MotionVector* above,
                                        const MotionVector* aboveRight, MotionVector* vectors,
                                        const uint8_t* leftFlags, const uint8_t* aboveFlags,
                                        const uint8_t* aboveRightFlags,
                                        const uint8_t* currentFlags, int32_t fcode,
                                        int32_t mbType) {
  if (const PrimitiveStatus s = vectors::CheckBitPosition(bytePos, bitPos); s != Ok) return s;
  if (left == nullptr || above == nullptr || aboveRight == nullptr || vectors == nullptr ||
      leftFlags == nullptr || aboveFlags == nullptr || aboveRightFlags == nullptr ||
      currentFlags == nullptr) {
    return NullPointer;
  }
  if (!IsWordAligned(leftFlags) || !IsWordAligned(aboveFlags) || !IsWordAligned(aboveRightFlags) ||
      !IsWordAligned(currentFlags)) {
    return AlignmentError;
  }
  if (!vectors::IsValidFcode(fcode)) return RangeCodeError;

  const Neighbourhood n{left,
                        above,
                        aboveRight,
                        AnyPresent(leftFlags),
                        AnyPresent(aboveFlags),
                        AnyPresent(aboveRightFlags)};

  if (mbType == 2 || mbType == 5) {
    PrimitiveStatus s = Ok;
    const auto decode = [&](auto block) {
      if (s != Ok || currentFlags[block] == 0) return;
      vectors[block] = PredictBlockVector<decltype(block)::value>(n, vectors, currentFlags);
      s = DecodeMotionDifference(bytePos, bitPos, &vectors[block], fcode);
    };
    decode(std::integral_constant<int, 0>{});
    decode(std::integral_constant<int, 1>{});
    decode(std::integral_constant<int, 2>{});
    decode(std::integral_constant<int, 3>{});
    if (s != Ok) return s;
    FillAbsentVectors(vectors, currentFlags);
    return Ok;
  }

  vectors[0] = PredictBlockVector<0>(n, vectors, currentFlags);
  const PrimitiveStatus s = DecodeMotionDifference(bytePos, bitPos, &vectors[0], fcode);
  if (s != Ok) return s;
  vectors[1] = vectors[0];
  vectors[2] = vectors[0];
  vectors[3] = vectors[0];
  return Ok;
}

PrimitiveStatus DecodeForwardVector(BytePointer* bytePos, int32_t* bitPos, MotionVector* vector,
                                    int32_t fcode) {
  return DecodeSingleVector(bytePos, bitPos, vector, fcode);
}

PrimitiveStatus DecodeBackwardVector(BytePointer* bytePos, int32_t* bitPos, MotionVector* vector,
                                     int32_t fcode) {
  return DecodeSingleVector(bytePos, bitPos, vector, fcode);
}

PrimitiveStatus DecodeBidirVectors(BytePointer* bytePos, int32_t* bitPos, MotionVector* first,
                                   MotionVector* second, int32_t firstFcode,
                                   int32_t secondFcode) {
  if (const PrimitiveStatus s = vectors::CheckBitPosition(bytePos, bitPos); s != Ok) return s;
  if (first == nullptr || second == nullptr) return NullPointer;
  if (!vectors::IsValidFcode(firstFcode) || !vectors::IsValidFcode(secondFcode)) {
    return RangeCodeError;
  }
  const PrimitiveStatus s = DecodeMotionDifference(bytePos, bitPos, first, firstFcode);
  if (s != Ok) return s;
  return DecodeMotionDifference(bytePos, bitPos, second, secondFcode);
}

}  // namespace tavrin::reference
