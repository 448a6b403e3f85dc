// 32-bit two's-complement arithmetic that wraps instead of overflowing:
// sums, differences and products of values a damaged stream can make
// arbitrarily large, formed as the 32-bit machine forms them.
#pragma once

#include <cstdint>

namespace tavrin {

inline int32_t Add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t Mul32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace tavrin
