// Global motion of S pictures: the affine warp the warping points give
// against its real-valued form, the vectors of globally predicted
// macroblocks, a whole S picture through the driver, and the video packet
// header of an S picture.  (The warps of every number of points are held
// to both references by the stream tests.)
#include "picture/global_motion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "decoder/stream_setup.h"
#include "picture/driver.h"
#include "picture/video_packet.h"
#include "picture/vector_storage.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

int64_t At(const WarpAxis& a, int64_t i, int64_t j) { return (a.base + a.di * i + a.dj * j) >> a.shift; }

// Three points at 1/16 sample against the real-valued affine map through
// the moved corners; two points (the third corner follows from the second
// as a turn and zoom) against the same map of their own.
TEST(GlobalMotionWarp, AffineWarpFollowsItsCorners) {
  const double width = 176, height = 144;
  const int32_t du[3] = {6, 8, -4}, dv[3] = {-2, 4, 10};
  for (int32_t points : {2, 3}) {
    SCOPED_TRACE(points);
    const WarpAxes w = DeriveWarp(points, du, dv, 3, 176, 144);
    // Corner displacements in samples.
    const double u0 = du[0] / 2.0, v0 = dv[0] / 2.0, u1 = du[1] / 2.0, v1 = dv[1] / 2.0;
    const double u2 = points == 3 ? du[2] / 2.0 : -v1 * height / width;
    const double v2 = points == 3 ? dv[2] / 2.0 : u1 * height / width;
    auto x = [&](double i, double j) { return i + u0 + u1 * i / width + u2 * j / height; };
    auto y = [&](double i, double j) { return j + v0 + v1 * i / width + v2 * j / height; };
    for (int i : {0, 40, 175}) {
      for (int j : {0, 77, 143}) {
        EXPECT_NEAR(At(w.lumaX, i, j) / 16.0, x(i, j), 0.13) << i << "," << j;
        EXPECT_NEAR(At(w.lumaY, i, j) / 16.0, y(i, j), 0.13) << i << "," << j;
        const int ic = i / 2, jc = j / 2;
        EXPECT_NEAR(At(w.chromaX, ic, jc) / 16.0, (x(2 * ic + 0.5, 2 * jc + 0.5) - 0.5) / 2, 0.13);
        EXPECT_NEAR(At(w.chromaY, ic, jc) / 16.0, (y(2 * ic + 0.5, 2 * jc + 0.5) - 0.5) / 2, 0.13);
      }
    }
  }
}

// A decoder of a 64x48 stream with global motion.
struct GlobalMotionStream {
  explicit GlobalMotionStream(int32_t points, int32_t accuracy = 0) {
    holder.Load(testsupport::MakeLayerHeader({.objectLayerIdentifier = true,
                                               .verid = 2,
                                               .spriteEnable = 2,
                                               .warpingPoints = points,
                                               .warpingAccuracy = accuracy}));
    ok = OpenStream(*holder, 64, 48);
  }
  GlobalMotion SetUp(std::vector<int> du, std::vector<int> dv, int32_t fcode = 1) {
    PictureHeader& p = holder->picture;
    p.trajectory.points = static_cast<int32_t>(du.size());
    for (size_t k = 0; k < du.size(); ++k) {
      p.trajectory.du[k] = du[k];
      p.trajectory.dv[k] = dv[k];
    }
    p.vopFcodeForward = fcode;
    GlobalMotion g{};
    EXPECT_TRUE(SetUpGlobalMotion(*holder, g));
    return g;
  }
  testing::ContextHolder holder;
  bool ok = false;
};

TEST(GlobalMotionVector, TranslationGivesItsDisplacementClippedToTheRange) {
  for (int32_t accuracy = 0; accuracy <= 3; ++accuracy) {
    GlobalMotionStream one(1, accuracy);
    ASSERT_TRUE(one.ok);
    GlobalMotion g = one.SetUp({5}, {-3});
    EXPECT_TRUE(g.translation);
    EXPECT_EQ(GlobalVector(g, 0, 0), (MotionVector{5, -3}));
    EXPECT_EQ(GlobalVector(g, 3, 2), (MotionVector{5, -3}));
    g = one.SetUp({2000}, {-2000});
    EXPECT_EQ(GlobalVector(g, 1, 1), (MotionVector{31, -32}));
    g = one.SetUp({2000}, {-2000}, 3);
    EXPECT_EQ(GlobalVector(g, 1, 1), (MotionVector{127, -128}));
    // The same displacement written with three points.
    GlobalMotionStream three(3, accuracy);
    g = three.SetUp({5, 0, 0}, {-3, 0, 0});
    EXPECT_TRUE(g.translation);
    EXPECT_EQ(GlobalVector(g, 2, 1), (MotionVector{5, -3}));
  }
}

// An S picture whose every macroblock is skipped: the reference moved one
// sample left through the warp (one point, half-sample accuracy), the
// chroma half a sample; every macroblock counts with the warp's vector and
// none as skipped for B pictures.
TEST(GlobalMotionPicture, SkippedMacroblocksTakeTheWarp) {
  GlobalMotionStream stream(1, 0);
  ASSERT_TRUE(stream.ok);
  auto& holder = stream.holder;
  holder.Load(testsupport::MakePictureHeader({.codingType = 0, .timeIncrement = 1}));
  DecodePicture(*holder, 0);
  FrameStore& f = holder->store;
  // A reference of our own, borders included.
  const PictureBuffer ref = f.forwardReference;
  for (int32_t y = -16; y < 48 + 16; ++y)
    for (int32_t x = -16; x < 64 + 16; ++x)
      ref.originY[y * ref.strideY + x] = static_cast<uint8_t>(x * 3 + y * 5);
  for (int32_t y = -8; y < 24 + 8; ++y) {
    for (int32_t x = -8; x < 32 + 8; ++x) {
      ref.originCb[y * ref.strideCb + x] = static_cast<uint8_t>(x * 7 + y);
      ref.originCr[y * ref.strideCr + x] = static_cast<uint8_t>(200 - x - y * 3);
    }
  }
  holder.Load(testsupport::MakePictureHeader({.codingType = 3,
                                              .timeIncrement = 2,
                                              .roundingType = 1,
                                              .globalMotion = true,
                                              .du = {2},
                                              .dv = {0},
                                              .skippedMacroblocks = 12}));
  DecodePicture(*holder, 0);
  EXPECT_EQ(holder->state.sPictures, 1);
  const PictureBuffer& out = f.forwardReference;
  EXPECT_EQ(holder->state.outputPicture, &f.forwardReference);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      ASSERT_EQ(out.originY[y * out.strideY + x], ref.originY[y * ref.strideY + x + 1]) << x << "," << y;
  // Chroma: half a sample right, rounding control 1.
  for (int32_t y = 0; y < 24; ++y) {
    for (int32_t x = 0; x < 32; ++x) {
      const int32_t a = ref.originCb[y * ref.strideCb + x], b = ref.originCb[y * ref.strideCb + x + 1];
      ASSERT_EQ(out.originCb[y * out.strideCb + x], ((a + b) * 2 + 2 - 1) >> 2) << x << "," << y;
    }
  }
  for (int32_t i = 0; i < 12; ++i) {
    EXPECT_EQ(f.mbStateMap[i], 0);
    EXPECT_EQ(MvStoreEntry(f, i)[3], (MotionVector{2, 0}));
  }
}

// A video packet of an S picture whose header repeats the picture's fields:
// its marker is as long as a P picture's, and the repeated warping points
// are read past.
TEST(GlobalMotionPicture, PacketHeaderRepeatsTheTrajectory) {
  testing::ContextHolder holder;
  holder.Load(testsupport::MakeLayerHeader({.objectLayerIdentifier = true,
                                            .verid = 2,
                                            .spriteEnable = 2,
                                            .warpingPoints = 2,
                                            .resyncMarkerDisable = 0}));
  ASSERT_TRUE(OpenStream(*holder, 64, 48));
  holder->picture.vopCodingType = 3;
  holder->picture.vopFcodeForward = 1;
  holder->picture.vopFcodeBackward = 3;  // a B picture's, left over: not the S picture's
  testsupport::BitWriter w;
  w.Put(0x7F, 8);                   // stuffing on a byte boundary
  w.Put(1, 17);                     // 16 zeros and a 1: range code 1
  w.Put(5, 4).Put(7, 5).Bit(1);     // macroblock 5, quantiser 7, extension
  w.Bit(0).Bit(1).Put(3, 5).Bit(1); // time: no second, increment 3
  w.Put(3, 2).Put(2, 3);            // S, intra_dc_vlc_thr
  for (int d : {4, -9, 300, 0}) testsupport::PutWarpingDifference(w, d);
  w.Put(1, 3).Put(0xA5, 8).Put(0, 32);  // vop_fcode_forward, then the macroblock
  holder.Load(w.Take());
  const VideoPackets packets(*holder);
  ASSERT_TRUE(packets.MarkerFollows(holder->reader));
  VideoPacketHeader header{};
  ASSERT_EQ(packets.ReadHeader(*holder, 1, header), 0);
  EXPECT_EQ(header.macroblockNumber, 5);
  EXPECT_EQ(header.quant, 7);
  EXPECT_EQ(holder->reader.GetBits(8), 0xA5u);
}

// Without global motion in the layer an S picture is counted and nothing
// else.
TEST(GlobalMotionPicture, SPicturesOfOtherLayersAreNotDecoded) {
  testing::ContextHolder holder;
  holder.Load(testsupport::MakeLayerHeader({}));
  ASSERT_TRUE(OpenStream(*holder, 64, 48));
  holder.Load(testsupport::MakePictureHeader({.codingType = 0, .timeIncrement = 1}));
  DecodePicture(*holder, 0);
  const PictureBuffer* shown = holder->state.outputPicture;
  holder.Load(testsupport::MakePictureHeader({.codingType = 3, .timeIncrement = 2, .skippedMacroblocks = 12}));
  DecodePicture(*holder, 0);
  EXPECT_EQ(holder->state.sPictures, 1);
  EXPECT_EQ(holder->state.iPictures, 1);
  EXPECT_EQ(holder->state.outputPicture, shown);
}

}  // namespace
}  // namespace tavrin
