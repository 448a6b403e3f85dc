// Border padding redoes only the segments whose macroblock changed; the
// planes must always end up as whole-plane padding of the macroblock-aligned
// area leaves them (the samples the last macroblock column and row decode
// beyond a visible size that is not a multiple of 16 are kept and padded
// from, as encoders predict from them).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bitstream/sequence_header.h"
#include "decoder/stream_setup.h"
#include "picture/border_padding.h"
#include "picture/motion_compensation.h"
#include "primitives/dispatch/primitive_table.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;
using testsupport::MakeLayerHeader;

struct PlaneView {
  uint8_t* base;
  uint8_t* origin;
  int32_t stride, width, height, border, mb;
};

// The planes as padding sees them: the macroblock-aligned area, whatever
// the visible size.
std::vector<PlaneView> Planes(const FrameStore& f) {
  const PictureBuffer& p = f.currentPicture;
  const int32_t width = 16 * f.mbWidth, height = 16 * f.mbHeight;
  return {{p.baseY, p.originY, p.strideY, width, height, 16, 16},
          {p.baseCb, p.originCb, p.strideCb, width / 2, height / 2, 8, 8},
          {p.baseCr, p.originCr, p.strideCr, width / 2, height / 2, 8, 8}};
}

// The bordered area of a plane, row by row.
std::vector<uint8_t> Bordered(const PlaneView& v) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < v.height + 2 * v.border; ++y) {
    const uint8_t* row = v.base + static_cast<ptrdiff_t>(y) * v.stride;
    out.insert(out.end(), row, row + v.width + 2 * v.border);
  }
  return out;
}

class BorderPaddingTest : public ::testing::TestWithParam<std::pair<int32_t, int32_t>> {
 protected:
  void SetUp() override {
    std::tie(width, height) = GetParam();
    holder.Load(MakeLayerHeader({.resolution = 25}));
    ASSERT_TRUE(OpenStream(*holder, width, height));
  }
  FrameStore& Store() { return holder->store; }

  // New samples and a new tag for macroblock (x, y), as a decode writes it.
  void Rewrite(int32_t x, int32_t y) {
    FrameStore& f = Store();
    MarkMacroblockWritten(f, y * f.mbWidth + x);
    for (const PlaneView& v : Planes(f)) {
      for (int32_t r = 0; r < v.mb; ++r) {
        for (int32_t c = 0; c < v.mb; ++c) {
          v.origin[static_cast<ptrdiff_t>(v.mb * y + r) * v.stride + v.mb * x + c] =
              static_cast<uint8_t>(rng());
        }
      }
    }
  }

  // Pads the current picture both ways (whole planes on a copy) and compares.
  void ExpectLikeWholePlanes(const char* what) {
    FrameStore& f = Store();
    const std::vector<PlaneView> planes = Planes(f);
    std::vector<std::vector<uint8_t>> before;
    for (const PlaneView& v : planes) before.push_back(Bordered(v));
    PadChangedBorders(f);
    for (std::size_t i = 0; i < planes.size(); ++i) {
      const PlaneView& v = planes[i];
      std::vector<uint8_t> want = before[i];
      // Whole-plane padding of the same samples, in a scratch copy.
      primitives.PadPlane(want.data(), v.width, v.height, v.border, v.width + 2 * v.border);
      EXPECT_EQ(Bordered(v), want) << what << ", plane " << i << ", " << width << "x" << height;
    }
  }

  int32_t width = 0, height = 0;
  ContextHolder holder;
  std::mt19937 rng{1234};
};

TEST_P(BorderPaddingTest, MatchesWholePlanePaddingAfterEveryKindOfChange) {
  FrameStore& f = Store();
  // A first picture: every macroblock new.
  StartPictureContent(f);
  MarkPictureWritten(f);
  for (int32_t y = 0; y < f.mbHeight; ++y) {
    for (int32_t x = 0; x < f.mbWidth; ++x) Rewrite(x, y);
  }
  ExpectLikeWholePlanes("first picture");

  // Nothing changed: nothing to redo, and nothing may be lost.
  StartPictureContent(f);
  ExpectLikeWholePlanes("no change");

  // A few edge and corner macroblocks change (piecewise), then most (whole planes).
  StartPictureContent(f);
  Rewrite(0, 0);
  Rewrite(f.mbWidth - 1, f.mbHeight - 1);
  Rewrite(f.mbWidth / 2, f.mbHeight - 1);
  Rewrite(0, f.mbHeight / 2);
  ExpectLikeWholePlanes("a few edge macroblocks");
  StartPictureContent(f);
  for (int32_t y = 0; y < f.mbHeight; ++y) {
    for (int32_t x = 0; x < f.mbWidth; ++x) {
      if (rng() % 4 != 0) Rewrite(x, y);
    }
  }
  ExpectLikeWholePlanes("most macroblocks");

  // Tags forgotten when the counter restarts: everything is redone.
  f.contentSerial = INT32_MAX;
  StartPictureContent(f);
  Rewrite(1 % f.mbWidth, 0);
  ExpectLikeWholePlanes("after the tag counter restarted");
}

INSTANTIATE_TEST_SUITE_P(Sizes, BorderPaddingTest,
                         ::testing::Values(std::pair{64, 48}, std::pair{150, 98},
                                           std::pair{98, 74}, std::pair{176, 144},
                                           std::pair{34, 18}));

}  // namespace
}  // namespace tavrin
