// Reads the copied input as a stream of bits, most significant bit first,
// and finds start codes (00 00 01 followed by a code byte).
//
// The input buffer always holds kInputPadding zero bytes after the valid
// data (the decoder clears them after every copy), and the reading position
// is never allowed further than kReadSlack bytes past the valid data.  So a
// 4-byte read never leaves the buffer, and every bit past the valid data
// reads as 0 whatever an earlier input left there.  Bits inside the valid
// data are read exactly as they are.
#pragma once

#include <cstdint>
#include <cstring>

namespace tavrin {

inline constexpr int32_t kInputPadding = 64;
inline constexpr int32_t kReadSlack = 16;
static_assert(kReadSlack + 4 <= kInputPadding);

struct BitReader {
  const uint8_t* bufferStart = nullptr;
  int32_t bufferCapacity = 0;  // bytes the buffer accepts; informational
  int32_t dataLength = 0;      // valid bytes from bufferStart
  const uint8_t* bytePos = nullptr;  // the byte that holds the next unread bit
  int32_t bitPos = 0;                // bits of that byte already consumed, 0..7

  void Reset(const uint8_t* buffer, int32_t capacity) {
    bufferStart = bytePos = buffer;
    bitPos = 0;
    dataLength = 0;
    bufferCapacity = capacity;
  }

  // The next n bits (1 to 32), not consumed.  Exact for n up to 32 - bitPos;
  // beyond that the missing low bits read as 0.
  uint32_t ShowBits(int32_t n) const {
    uint32_t w = LoadBigEndian32(bytePos) << bitPos;
    return w >> (32 - n);
  }

  int32_t SkipBits(int32_t n) {
    int32_t p = bitPos + n;
    bytePos += p >> 3;
    bitPos = p & 7;
    KeepInBounds();
    return bitPos;
  }

  uint32_t GetBits(int32_t n) {
    uint32_t v = ShowBits(n);
    SkipBits(n);
    return v;
  }

  int32_t GetBit() { return GetBits(1) ? 1 : 0; }

  int32_t BytesLeft() const { return dataLength - static_cast<int32_t>(bytePos - bufferStart); }

  // True once more bits were consumed than the valid data holds: whatever
  // was read past its end was the zero padding.
  bool Exhausted() const {
    const int64_t consumed = int64_t{bytePos - bufferStart} * 8 + bitPos;
    return consumed > int64_t{dataLength} * 8;
  }

  // The code byte after the next 00 00 01 at or after bytePos whose code
  // byte lies inside the valid data, or null.  Does not move.
  const uint8_t* FindStartCodePrefix() const {
    const int32_t last = BytesLeft() - 3;
    for (int32_t i = 0; i < last; ++i) {
      const uint8_t* q = bytePos + i;
      if (q[0] == 0 && q[1] == 0 && q[2] == 1) return q + 3;
    }
    return nullptr;
  }

  // Moves to the next whole byte, then to the code byte of the next start
  // code: 1.  Without one, the position ends three bytes before the end of
  // the data (never before its start): 0.
  int32_t NextStartCode() {
    if (bitPos != 0) {
      bitPos = 0;
      ++bytePos;
      KeepInBounds();
    }
    const uint8_t* code = FindStartCodePrefix();
    if (code != nullptr) {
      bytePos = code;
      return 1;
    }
    bytePos = bufferStart + (dataLength > 3 ? dataLength - 3 : 0);
    return 0;
  }

  // Finds the start code with this code byte and moves past it: 1, else 0.
  int32_t FindStartCode(uint8_t code) {
    for (;;) {
      if (!NextStartCode()) return 0;
      if (*bytePos == code) {
        ++bytePos;
        return 1;
      }
    }
  }

  // Keeps the position within kReadSlack bytes past the valid data, where
  // everything reads as zero.  Positions inside the data are untouched.
  void KeepInBounds() {
    const uint8_t* limit = bufferStart + dataLength + kReadSlack;
    if (bytePos > limit) {
      bytePos = limit;
      bitPos = 0;
    }
  }

  static uint32_t LoadBigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
  }
};

}  // namespace tavrin
