// Test helper for the vector primitives: writes vector syntax (motion_code
// words, sign and residual bits) and holds a BitPosition over the result.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "primitives/primitive_types.h"
#include "primitives/vectors/motion_code_table.h"

namespace vectortest {

using tavrin::vectors::kMotionCodeWords;

// Writes vector syntax most significant bit first.
class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit((value >> i) & 1u);
  }
  void PutBits(const std::string& bits) {
    for (char c : bits) PutBit(c == '1' ? 1u : 0u);
  }
  void PutBit(uint32_t b) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (b != 0) bytes_.back() |= static_cast<uint8_t>(0x80u >> (count_ % 8));
    ++count_;
  }
  // One component: |d| up to 16 << fcode.
  void PutDifference(int32_t d, int32_t fcode) {
    if (d == 0) return PutBits(kMotionCodeWords[0].bits);
    const int32_t rSize = fcode - 1;
    const int32_t a = std::abs(d) - 1;
    PutBits(kMotionCodeWords[static_cast<size_t>((a >> rSize) + 1)].bits);
    PutBit(d < 0 ? 1u : 0u);
    if (rSize > 0) Put(static_cast<uint32_t>(a & ((1 << rSize) - 1)), rSize);
  }
  void PutVector(int32_t dx, int32_t dy, int32_t fcode) {
    PutDifference(dx, fcode);
    PutDifference(dy, fcode);
  }
  int32_t BitCount() const { return static_cast<int32_t>(count_); }
  // The bytes written, then the 64 spare zero bytes of the decoder's buffer.
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out = bytes_;
    out.resize(out.size() + 64, 0);
    return out;
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t count_ = 0;
};

// A BitPosition over a buffer, with the number of bits consumed so far.
struct Position {
  std::vector<uint8_t> bytes;
  tavrin::BytePointer byte;
  int32_t bit;
  explicit Position(std::vector<uint8_t> b, int32_t startBit = 0)
      : bytes(std::move(b)), byte(bytes.data()), bit(startBit) {}
  int32_t Consumed() const { return static_cast<int32_t>(byte - bytes.data()) * 8 + bit; }
};

}  // namespace vectortest
