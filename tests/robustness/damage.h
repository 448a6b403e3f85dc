// Deterministic ways to damage compressed pictures, as transmission errors,
// cut files and hostile senders do.  Every helper takes its randomness from
// the generator it is given, so a seed names one damaged variant.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "robust_decode.h"

namespace robustness {

using Random = std::mt19937;

// A number in [low, high].
inline size_t Pick(Random& random, size_t low, size_t high) {
  return std::uniform_int_distribution<size_t>(low, high)(random);
}

// Flips `count` bits at random positions from byte `from` on.
void FlipBits(Bytes& bytes, size_t count, Random& random, size_t from = 0);

// Overwrites up to `length` bytes from a random position (at or after
// `from`) with random bytes, all zeros or all ones (chosen at random).
void OverwriteRun(Bytes& bytes, size_t length, Random& random, size_t from = 0);

// Appends `length` random bytes, now and then with a start-code prefix or a
// whole picture start code among them.
void AppendGarbage(Bytes& bytes, size_t length, Random& random);

// `length` random bytes behind a picture start code.
Bytes GarbagePicture(size_t length, Random& random);

// Keeps the first `length` bytes.
inline void Truncate(Bytes& bytes, size_t length) {
  if (length < bytes.size()) bytes.resize(length);
}

}  // namespace robustness
