// Vector decoding primitives: the P-picture macroblock vectors with median
// prediction from the neighbours, and the single and paired vector
// differences of B pictures.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "primitives/vectors/vector_bits.h"
#include "primitives/vectors/vectors.h"

namespace tavrin::reference {

namespace {

using vectors::DecodeMotionDifference;

// A neighbour's four flag bytes taken as one word: nonzero when any of its
// blocks is present.
bool AnyPresent(const uint8_t* flags) {
  uint32_t word = 0;
  std::memcpy(&word, flags, sizeof word);
  return word != 0;
}

bool IsWordAligned(const uint8_t* p) { return (reinterpret_cast<uintptr_t>(p) & 3u) == 0; }

int16_t Median3(int16_t a, int16_t b, int16_t c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Where a prediction candidate comes from.
enum class Source : uint8_t { Left, Above, AboveRight, Current };

struct CandidateRef {
  Source source;
  uint8_t vector;  // which of that macroblock's four vectors
};

// K1, K2, K3 of each luma block.
constexpr CandidateRef kCandidates[4][3] = {
    {{Source::Left, 1}, {Source::Above, 2}, {Source::AboveRight, 2}},
    {{Source::Current, 0}, {Source::Above, 3}, {Source::AboveRight, 2}},
    {{Source::Left, 3}, {Source::Current, 0}, {Source::Current, 1}},
    {{Source::Current, 2}, {Source::Current, 0}, {Source::Current, 1}},
};

// The first present block each absent block copies, in order of preference;
// the last one is taken whether present or not.
constexpr uint8_t kFillOrder[4][3] = {{1, 2, 3}, {0, 3, 2}, {3, 0, 1}, {2, 1, 0}};

struct Neighbourhood {
  const MotionVector* left;
  const MotionVector* above;
  const MotionVector* aboveRight;
  bool leftPresent;
  bool abovePresent;
  bool aboveRightPresent;
};

// The block is a template argument: each block's candidate sources are
// then known where the prediction is compiled, and the selection below
// folds away.
template <int block>
[[gnu::always_inline]] inline MotionVector PredictBlockVector(const Neighbourhood& n,
                                                              const MotionVector* current,
                                                              const uint8_t* currentFlags) {
  MotionVector k[3] = {};
  int valid = 0;
  int lastValid = 0;
  for (int i = 0; i < 3; ++i) {
    const CandidateRef c = kCandidates[block][i];
    const MotionVector* from = nullptr;
    bool present = false;
    switch (c.source) {
      case Source::Left: from = n.left; present = n.leftPresent; break;
      case Source::Above: from = n.above; present = n.abovePresent; break;
      case Source::AboveRight: from = n.aboveRight; present = n.aboveRightPresent; break;
      case Source::Current: from = current; present = currentFlags[c.vector] != 0; break;
    }
    if (present) {
      k[i] = from[c.vector];
      ++valid;
      lastValid = i;
    }
  }
  if (valid == 0) return MotionVector{0, 0};
  if (valid == 1) return k[lastValid];
  return MotionVector{Median3(k[0].x, k[1].x, k[2].x), Median3(k[0].y, k[1].y, k[2].y)};
}

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
