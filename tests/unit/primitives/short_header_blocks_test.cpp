// The edges of short-header blocks: escaped levels that are none, the
// largest ones, runs past the block, an intra DC of 0.  (The fidelity tests
// check the blocks on streams, the variant checks the SSE2 forms against
// these portable ones.)
#include <gtest/gtest.h>

#include <array>

#include "primitives/coefficients/short_header_coefficients.h"
#include "primitives/reconstruction/short_header_blocks.h"
#include "unit/primitives/short_header_bit_writer.h"

namespace tavrin {
namespace {

TEST(ShortHeaderBlocks, EscapeExtremesAndIntraDcCodeOfZero) {
  auto decode = [](const coeftest::BitWriter& w, int32_t first, std::array<int16_t, 64>& block) {
    const auto bytes = w.Bytes();
    BytePointer p = bytes.data();
    int32_t bit = 0;
    const PrimitiveStatus s = coefficients::DecodeShortHeaderCoefficients(&p, &bit, block.data(), first);
    EXPECT_TRUE(s == Ok || (p == bytes.data() && bit == 0)) << "a failure moved the position";
    return s;
  };
  std::array<int16_t, 64> block{};
  // Escaped levels 0 and -128 are no event; 127 and -127 are the extremes.
  for (int32_t level : {0, -128}) {
    coeftest::BitWriter w;
    coeftest::PutShortHeaderEscape(w, {1, 3, level});
    EXPECT_EQ(decode(w, 0, block), CoefficientCodeError) << level;
  }
  coeftest::BitWriter w;
  coeftest::PutShortHeaderEscape(w, {0, 0, -127});
  coeftest::PutShortHeaderEscape(w, {1, 62, 127});
  ASSERT_EQ(decode(w, 0, block), Ok);
  EXPECT_EQ(block[0] * 1000 + block[63], -127000 + 127);
  EXPECT_EQ(decode(w, 1, block), CoefficientCodeError);  // the run reaches past the block
  // An intra DC code of 0 is written by no encoder; it reads as a DC of 0
  // and the block is stored, so that damage whose codes read right again
  // after it costs that block only.
  const std::vector<uint8_t> zeros(16, 0);
  std::array<uint8_t, 64> picture{};
  picture.fill(7);
  BytePointer p = zeros.data();
  int32_t bit = 3;
  EXPECT_EQ(reference::ReconstructShortHeaderIntra(&p, &bit, 0, 5, picture.data(), 8), Ok);
  EXPECT_TRUE(p == zeros.data() + 1 && bit == 3 && picture[0] == 0 && picture[63] == 0);
}

}  // namespace
}  // namespace tavrin
