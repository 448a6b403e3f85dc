#include "output/prepare_output.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bitstream/sequence_header.h"
#include "decoder/stream_setup.h"
#include "support/stream_builder.h"
#include "support/test_paths.h"
#include "tavrin.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;

// A context with a frame store of the given size, a filter buffer and a
// picture to show.
struct OutputFixture {
  OutputFixture(int32_t width, int32_t height) {
    holder.Load(testsupport::MakeLayerHeader({}));
    EXPECT_TRUE(OpenStream(*holder, width, height));
    filter.assign(static_cast<size_t>(FilterBufferBytes(width, height)), 0);
    holder->input.filterBuffer = filter.data();
    holder->state.outputPicture = &holder->store.forwardReference;
    holder->picture.vopQuant = 8;
  }
  DecoderOutput Prepare(int32_t mode) {
    DecoderOutput out;
    std::memset(&out, 0xCD, sizeof out);
    PrepareOutput(*holder, mode, &out);
    return out;
  }
  ContextHolder holder;
  std::vector<uint8_t> filter;
};

TEST(PrepareOutput, ModeZeroHandsOutTheDecodedPicture) {
  OutputFixture f(176, 144);
  const PictureBuffer& p = f.holder->store.forwardReference;
  const DecoderOutput out = f.Prepare(0);
  EXPECT_EQ(out.planeY, p.originY);
  EXPECT_EQ(out.planeCb, p.originCb);
  EXPECT_EQ(out.planeCr, p.originCr);
  EXPECT_EQ(out.strideY, 208);
  EXPECT_EQ(out.strideCb, out.strideCr);
  EXPECT_EQ(out.timeResolution, 0xCDCDCDCDu);  // not touched
}

TEST(PrepareOutput, ModeOneFiltersLumaIntoTheBuffer) {
  OutputFixture f(352, 288);
  const PictureBuffer& p = f.holder->store.forwardReference;
  const DecoderOutput out = f.Prepare(1);
  EXPECT_EQ(out.planeY, f.filter.data());
  EXPECT_EQ(out.strideY, 352);
  EXPECT_EQ(out.planeCb, p.originCb);
  EXPECT_EQ(out.strideCb, p.strideCb);
}

TEST(PrepareOutput, ModeTwoLaysOutAllThreePlanes) {
  OutputFixture f(352, 288);
  const DecoderOutput out = f.Prepare(2);
  EXPECT_EQ(out.planeY, f.filter.data());
  EXPECT_EQ(out.planeCb, f.filter.data() + 101376);
  EXPECT_EQ(out.planeCr, f.filter.data() + 126720);
  EXPECT_EQ(out.strideCb, 176);
  EXPECT_EQ(out.strideCr, 176);
}

TEST(PrepareOutput, SmallPicturesFitTheFilterBuffer) {
  // The filter works on whole macroblocks (384 bytes each with chroma),
  // which for tiny pictures is more than width * height * 4 bytes.
  EXPECT_GE(FilterBufferBytes(1, 1), 384);
  EXPECT_GE(FilterBufferBytes(17, 1), 2 * 384);
  OutputFixture f(16, 16);
  uint8_t* y = f.holder->store.forwardReference.originY;
  const int32_t stride = f.holder->store.forwardReference.strideY;
  // A step between the block columns and rows, flat enough to smooth.
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c) y[r * stride + c] = static_cast<uint8_t>(100 + (c >= 8) * 4 + (r >= 8) * 4);
  const DecoderOutput out = f.Prepare(2);
  EXPECT_NE(out.planeY[7], y[7]);  // the vertical edge was smoothed
  EXPECT_EQ(y[7], 100);            // the decoded picture was not
}

TEST(PrepareOutput, NothingWrittenWithoutAPicture) {
  OutputFixture f(64, 48);
  f.holder->state.outputPicture = nullptr;
  const DecoderOutput out = f.Prepare(2);
  EXPECT_EQ(out.strideY, static_cast<int32_t>(0xCDCDCDCD));
}

// Through the exported interface on a real stream: post-filtering changes
// what the host sees and never what the decoder predicts from.
TEST(PostFilter, ReferencesStayUnfilteredAndModesDiffer) {
  const auto header = testsupport::HeaderBytesOf("mpeg4_default.m4v");
  const auto pictures = testsupport::PicturesOf("mpeg4_default.m4v");
  ASSERT_FALSE(pictures.empty());
  auto create = [&] {
    DecoderInput in{};
    in.data = header.data();
    in.length = static_cast<uint32_t>(header.size());
    in.width = 176;
    in.height = 144;
    DecoderOutput info{};
    return TavrinDecoder_CreateDecoder(&in, &info);
  };
  const TavrinHandle plain = create(), filtered = create();
  size_t differing = 0, lumaDiffers = 0, chromaDiffers = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    DecoderInput frame{};
    frame.data = pictures[i].data();
    frame.length = static_cast<uint32_t>(pictures[i].size());
    DecoderOutput a{}, b{}, c{};
    ASSERT_EQ(TavrinDecoder_DecoderOneFrame(plain, &frame, &a), 1);
    TavrinDecoder_SetPostFilter(filtered, static_cast<int32_t>(i % 3));
    ASSERT_EQ(TavrinDecoder_DecoderOneFrame(filtered, &frame, &b), 1);
    // The decoded picture is the same whatever the filter did before.
    TavrinDecoder_SetPostFilter(filtered, 0);
    DecoderInput empty{};
    ASSERT_EQ(TavrinDecoder_DecoderOneFrame(filtered, &empty, &c), 1);
    for (int r = 0; r < 144; ++r)
      ASSERT_EQ(0, std::memcmp(a.planeY + r * a.strideY, c.planeY + r * c.strideY, 176)) << i;
    if (i % 3 != 0) {
      bool differs = false;
      for (int r = 0; r < 144; ++r)
        differs |= std::memcmp(a.planeY + r * a.strideY, b.planeY + r * b.strideY, 176) != 0;
      lumaDiffers += differs;
      bool chroma = false;
      for (int r = 0; r < 72; ++r)
        chroma |= std::memcmp(a.planeCb + r * a.strideCb, b.planeCb + r * b.strideCb, 88) != 0;
      if (i % 3 == 2) chromaDiffers += chroma;
      if (i % 3 == 1) {
        EXPECT_FALSE(chroma) << "mode 1 leaves chroma alone";
      }
      ++differing;
    }
  }
  EXPECT_GT(lumaDiffers, 0u);
  EXPECT_GT(chromaDiffers, 0u);
  TavrinDecoder_ReleaseDecoder(plain);
  TavrinDecoder_ReleaseDecoder(filtered);
}

}  // namespace
}  // namespace tavrin
