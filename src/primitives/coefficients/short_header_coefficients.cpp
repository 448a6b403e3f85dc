#include "primitives/coefficients/short_header_coefficients.h"

#include <cstddef>

#include "primitives/coefficients/coefficient_events.h"
#include "primitives/scan_tables.h"

namespace tavrin::coefficients {

namespace {
inline constexpr CodeWord kEscape = ParseCode(kTcoefEscapeCode);
static_assert(kShortHeaderEscapeBits == kEscape.length + 15);
static_assert(kShortHeaderEscapeBits < 32);  // fits the entry's bit count
}  // namespace

EventEntry ShortHeaderEscape::Read(BitCursor bits, const TcoefTable&) {
  const uint32_t fields = bits.Peek(kShortHeaderEscapeBits);
  if ((fields >> 15) != kEscape.bits) return 0;
  const int32_t level = static_cast<int8_t>(fields & 0xFF);
  if (level == 0 || level == -128) return 0;
  const int32_t run = static_cast<int32_t>((fields >> 8) & 63);
  const int32_t last = static_cast<int32_t>((fields >> 14) & 1);
  return PackEvent(level, run + 1 + (last != 0 ? kLastStep : 0), kShortHeaderEscapeBits);
}

PrimitiveStatus DecodeShortHeaderCoefficients(BytePointer* bytePos, int32_t* bitPos, int16_t* block,
                                              int32_t firstIndex) {
  BitCursor bits(*bytePos, *bitPos);
  int32_t lastIndex = 0;
  const PrimitiveStatus status = WalkBlock<ShortHeaderEscape>(
      bits, kInterTcoefTable, firstIndex, lastIndex, [&](int32_t index, int32_t level, auto) {
        block[kZigzagScan[static_cast<std::size_t>(index)]] = static_cast<int16_t>(level);
      });
  if (status == Ok) bits.StoreTo(bytePos, bitPos);
  return status;
}

}  // namespace tavrin::coefficients
