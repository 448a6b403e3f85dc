// Short-header blocks: the coefficient codes with the fixed-length escape,
// and the intra and inter block routines against a plain reconstruction
// (levels dequantised by the H.263 method and clamped, the DC scaled by 8,
// the transform, clamped samples).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "primitives/coefficients/short_header_coefficients.h"
#include "primitives/reconstruction/inverse_dct.h"
#include "primitives/reconstruction/short_header_blocks.h"
#include "primitives/scan_tables.h"
#include "unit/primitives/short_header_bit_writer.h"

namespace tavrin {
namespace {

using coeftest::BitWriter;
using coeftest::Event;

int32_t Dequantised(int32_t level, int32_t quant) {
  const int32_t magnitude = quant * (2 * std::abs(level) + 1) - (quant % 2 == 0 ? 1 : 0);
  return std::clamp(level < 0 ? -magnitude : magnitude, -2048, 2047);
}

// The events as coded levels at their zigzag positions.
std::array<int16_t, 64> Levels(const std::vector<Event>& events, int32_t firstIndex) {
  std::array<int16_t, 64> block{};
  int32_t index = firstIndex - 1;
  for (const Event& e : events) {
    index += e.run + 1;
    block[kZigzagScan[static_cast<size_t>(index)]] = static_cast<int16_t>(e.level);
  }
  return block;
}

TEST(ShortHeaderCoefficients, RandomBlocksReadBack) {
  std::mt19937 rng(263);
  for (int iter = 0; iter < 3000; ++iter) {
    BitWriter w;
    const int32_t start = static_cast<int32_t>(rng() % 8);
    w.Put(rng(), start);
    const int32_t first = static_cast<int32_t>(iter % 2);
    const auto events = coeftest::PutRandomShortHeaderBlock(w, rng, first, 1 + static_cast<int32_t>(rng() % 30));
    const int32_t end = w.BitCount();
    w.Put(rng(), 16);
    const auto bytes = w.Bytes();
    BytePointer p = bytes.data();
    int32_t bit = start;
    std::array<int16_t, 64> block{};
    ASSERT_EQ(coefficients::DecodeShortHeaderCoefficients(&p, &bit, block.data(), first), Ok) << iter;
    EXPECT_EQ((p - bytes.data()) * 8 + bit, end) << iter;
    EXPECT_EQ(block, Levels(events, first)) << iter;
  }
}

TEST(ShortHeaderCoefficients, EscapeLevelsZeroAndMinus128AreNoEvent) {
  for (uint32_t level : {0u, 0x80u}) {
    BitWriter w;
    w.PutCode(coefficients::kTcoefEscapeCode);
    w.Put(1, 1);
    w.Put(3, 6);
    w.Put(level, 8);
    const auto bytes = w.Bytes();
    BytePointer p = bytes.data();
    int32_t bit = 0;
    std::array<int16_t, 64> block{};
    EXPECT_EQ(coefficients::DecodeShortHeaderCoefficients(&p, &bit, block.data(), 0), CoefficientCodeError);
    EXPECT_EQ(p, bytes.data());
    EXPECT_EQ(bit, 0);
  }
  // Levels 127 and -127 are the extremes; a run past the block is no block.
  BitWriter w;
  coeftest::PutShortHeaderEvent(w, {0, 0, -127}, true);
  coeftest::PutShortHeaderEvent(w, {1, 62, 127}, true);
  const auto bytes = w.Bytes();
  BytePointer p = bytes.data();
  int32_t bit = 0;
  std::array<int16_t, 64> block{};
  ASSERT_EQ(coefficients::DecodeShortHeaderCoefficients(&p, &bit, block.data(), 0), Ok);
  EXPECT_EQ(block[0], -127);
  EXPECT_EQ(block[63], 127);
  p = bytes.data();
  bit = 0;
  EXPECT_EQ(coefficients::DecodeShortHeaderCoefficients(&p, &bit, block.data(), 1), CoefficientCodeError);
}

// The intra routine against the plain steps, on both transforms' forms.
TEST(ShortHeaderBlocks, IntraBlocksAreThePlainReconstruction) {
  std::mt19937 rng(96);
  for (int iter = 0; iter < 2000; ++iter) {
    const int32_t quant = 1 + static_cast<int32_t>(rng() % 31);
    const bool coded = iter % 3 != 0;
    BitWriter w;
    const uint32_t dcCode = 1 + rng() % 255;
    w.Put(dcCode, 8);
    std::vector<Event> events;
    if (coded) events = coeftest::PutRandomShortHeaderBlock(w, rng, 1, 1 + static_cast<int32_t>(rng() % 20));
    const int32_t end = w.BitCount();
    const auto bytes = w.Bytes();

    std::array<int16_t, 64> block = Levels(events, 1);
    for (auto& v : block) v = v == 0 ? int16_t{0} : static_cast<int16_t>(Dequantised(v, quant));
    block[0] = static_cast<int16_t>(8 * (dcCode == 255 ? 128 : dcCode));
    std::array<int16_t, 64> residual{};
    reconstruction::InverseDct(block.data(), residual.data());
    for (const auto routine : {reference::ReconstructShortHeaderIntra,
#if defined(__SSE2__)
                               sse2::ReconstructShortHeaderIntra
#endif
         }) {
      std::array<uint8_t, 8 * 12> picture{};
      BytePointer p = bytes.data();
      int32_t bit = 0;
      ASSERT_EQ(routine(&p, &bit, coded ? 1 : 0, quant, picture.data(), 12), Ok) << iter;
      EXPECT_EQ((p - bytes.data()) * 8 + bit, end);
      for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 12; ++c) {
          const uint8_t want = c < 8 ? static_cast<uint8_t>(std::clamp<int>(residual[r * 8 + c], 0, 255)) : 0;
          ASSERT_EQ(picture[r * 12 + c], want) << "iteration " << iter << " at " << r << "," << c;
        }
    }
  }
}

TEST(ShortHeaderBlocks, IntraDcOfZeroIsNoBlock) {
  const std::vector<uint8_t> bytes(16, 0);
  std::array<uint8_t, 64> picture{};
  picture.fill(7);
  BytePointer p = bytes.data();
  int32_t bit = 3;
  EXPECT_EQ(reference::ReconstructShortHeaderIntra(&p, &bit, 0, 5, picture.data(), 8), CoefficientCodeError);
  EXPECT_EQ(p, bytes.data());
  EXPECT_EQ(bit, 3);
  EXPECT_TRUE(std::all_of(picture.begin(), picture.end(), [](uint8_t v) { return v == 7; }));
  EXPECT_EQ(reference::ReconstructShortHeaderIntra(&p, &bit, 0, 0, picture.data(), 8), QuantiserError);
  EXPECT_EQ(reference::ReconstructShortHeaderIntra(&p, &bit, 0, 5, picture.data(), 7), Step8Error);
  EXPECT_EQ(reference::ReconstructShortHeaderIntra(&p, &bit, 0, 5, nullptr, 8), NullPointer);
}

TEST(ShortHeaderBlocks, InterBlocksAddThePlainResidual) {
  std::mt19937 rng(144);
  for (int iter = 0; iter < 2000; ++iter) {
    const int32_t quant = 1 + static_cast<int32_t>(rng() % 31);
    BitWriter w;
    const auto events = coeftest::PutRandomShortHeaderBlock(w, rng, 0, 1 + static_cast<int32_t>(rng() % 20));
    const int32_t end = w.BitCount();
    const auto bytes = w.Bytes();
    std::array<int16_t, 64> block = Levels(events, 0);
    for (auto& v : block) v = v == 0 ? int16_t{0} : static_cast<int16_t>(Dequantised(v, quant));
    std::array<int16_t, 64> residual{};
    reconstruction::InverseDct(block.data(), residual.data());
    std::array<uint8_t, 64> prediction{};
    for (auto& v : prediction) v = static_cast<uint8_t>(rng());
    for (const auto routine : {reference::ReconstructShortHeaderInterAdd,
#if defined(__SSE2__)
                               sse2::ReconstructShortHeaderInterAdd
#endif
         }) {
      std::array<uint8_t, 64> picture = prediction;
      BytePointer p = bytes.data();
      int32_t bit = 0;
      ASSERT_EQ(routine(&p, &bit, quant, picture.data(), 8), Ok) << iter;
      EXPECT_EQ((p - bytes.data()) * 8 + bit, end);
      for (int i = 0; i < 64; ++i)
        ASSERT_EQ(picture[static_cast<size_t>(i)], std::clamp<int>(prediction[static_cast<size_t>(i)] + residual[static_cast<size_t>(i)], 0, 255))
            << "iteration " << iter << " sample " << i;
    }
  }
}

}  // namespace
}  // namespace tavrin
