// The warping-point trajectory of S pictures: every length of difference
// code, both signs, the marker bits, and the picture header around it.
#include "bitstream/global_motion_syntax.h"

#include <gtest/gtest.h>

#include "bitstream/picture_header.h"
#include "decoder/stream_setup.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testsupport::BitWriter;
using testsupport::PutWarpingDifference;

// A reader over the bytes, with the zero padding the decoder keeps after
// its input.
struct Bits {
  explicit Bits(std::vector<uint8_t> b) : bytes(std::move(b)) {
    const size_t length = bytes.size();
    bytes.resize(length + kInputPadding);
    reader.Reset(bytes.data(), static_cast<int32_t>(length));
    reader.dataLength = static_cast<int32_t>(length);
  }
  std::vector<uint8_t> bytes;
  BitReader reader;
};

TEST(WarpingTrajectory, EveryLengthAndSignReadsBack) {
  std::vector<int> values;
  for (int length = 0; length <= 14; ++length) {
    if (length == 0) {
      values.push_back(0);
      continue;
    }
    const int low = 1 << (length - 1), high = (1 << length) - 1;
    for (int v : {low, high}) {
      values.push_back(v);
      values.push_back(-v);
    }
  }
  ASSERT_EQ(values.size() % 2, 1u);
  values.push_back(0);  // an even count: pairs of du, dv
  BitWriter w;
  for (int v : values) PutWarpingDifference(w, v);
  w.Put(0x5A, 8);  // what follows stays in place
  Bits b(w.Take());
  for (size_t i = 0; i < values.size(); i += 6) {
    WarpingTrajectory t{};
    const int32_t points = static_cast<int32_t>(std::min<size_t>(3, (values.size() - i) / 2));
    ASSERT_TRUE(ReadWarpingTrajectory(b.reader, points, t)) << "at " << i;
    ASSERT_EQ(t.points, points);
    for (int32_t k = 0; k < points; ++k) {
      EXPECT_EQ(t.du[k], values[i + 2 * k]) << i + 2 * k;
      EXPECT_EQ(t.dv[k], values[i + 2 * k + 1]) << i + 2 * k + 1;
    }
  }
  EXPECT_EQ(b.reader.GetBits(8), 0x5Au);
}

TEST(WarpingTrajectory, MarkerBitZeroOrMissingCodeFails) {
  {
    BitWriter w;
    w.Put(0b010, 3).Put(1, 1).Put(0, 1);  // +1, then a 0 marker
    Bits b(w.Take());
    WarpingTrajectory t{};
    EXPECT_FALSE(ReadWarpingTrajectory(b.reader, 1, t));
    EXPECT_EQ(t.points, 0);
  }
  {
    BitWriter w;
    w.Put(0xFFF, 12).Put(0, 4);  // twelve ones start no length code
    Bits b(w.Take());
    WarpingTrajectory t{};
    EXPECT_FALSE(ReadWarpingTrajectory(b.reader, 1, t));
  }
  {
    // The second point's marker is 0: the first point was read.
    BitWriter w;
    PutWarpingDifference(w, 3);
    PutWarpingDifference(w, -2);
    w.Put(0, 2).Put(0, 1);
    Bits b(w.Take());
    WarpingTrajectory t{};
    EXPECT_FALSE(ReadWarpingTrajectory(b.reader, 2, t));
    EXPECT_EQ(t.points, 1);
    EXPECT_EQ(t.du[0], 3);
    EXPECT_EQ(t.dv[0], -2);
  }
}

// An S picture of a global-motion layer: the rounding bit, then the
// trajectory after intra_dc_vlc_thr, then the quantiser and range code.
TEST(WarpingTrajectory, PictureHeaderOfAnSPicture) {
  testing::ContextHolder holder;
  holder.Load(testsupport::MakeLayerHeader(
      {.objectLayerIdentifier = true, .verid = 2, .spriteEnable = 2, .warpingPoints = 2}));
  ASSERT_TRUE(OpenStream(*holder, 64, 48));
  holder.Load(testsupport::MakePictureHeader({.codingType = 3,
                                              .roundingType = 1,
                                              .intraDcVlcThr = 5,
                                              .quant = 9,
                                              .fcodeForward = 2,
                                              .globalMotion = true,
                                              .du = {7, -300},
                                              .dv = {-1, 0}}));
  BitReader& r = holder->reader;
  ASSERT_EQ(FindPictureStartCode(r, holder->picture), 1);
  ASSERT_EQ(ParsePictureHeader(r, holder->sequence, holder->picture, 0), 0);
  const PictureHeader& p = holder->picture;
  EXPECT_EQ(p.vopCodingType, 3);
  EXPECT_EQ(p.vopRoundingType, 1);
  EXPECT_EQ(p.intraDcVlcThr, 5);
  ASSERT_EQ(p.trajectory.points, 2);
  EXPECT_EQ(p.trajectory.du[0], 7);
  EXPECT_EQ(p.trajectory.dv[0], -1);
  EXPECT_EQ(p.trajectory.du[1], -300);
  EXPECT_EQ(p.trajectory.dv[1], 0);
  EXPECT_EQ(p.vopQuant, 9);
  EXPECT_EQ(p.vopFcodeForward, 2);
}

}  // namespace
}  // namespace tavrin
