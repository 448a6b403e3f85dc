#include "decoder/frame_store.h"

#include <gtest/gtest.h>

#include "bitstream/sequence_header.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;

struct Geometry {
  int32_t width, height;
  int32_t mbWidth, mbHeight, strideY, strideC;
};

class FrameStoreGeometry : public ::testing::TestWithParam<Geometry> {};

TEST_P(FrameStoreGeometry, StridesBordersAndSideArrays) {
  const Geometry g = GetParam();
  ContextHolder holder;
  holder->sequence.width = g.width;
  holder->sequence.height = g.height;
  ASSERT_EQ(AllocateFrameStore(*holder), 0);
  const FrameStore& f = holder->store;
  EXPECT_EQ(f.mbWidth, g.mbWidth);
  EXPECT_EQ(f.mbHeight, g.mbHeight);
  for (const PictureBuffer* p : {&f.currentPicture, &f.forwardReference, &f.backwardReference}) {
    EXPECT_EQ(p->strideY, g.strideY);
    EXPECT_EQ(p->strideCb, g.strideC);
    EXPECT_EQ(p->strideCr, g.strideC);
    EXPECT_EQ(p->originY, p->baseY + 16 * p->strideY + 16);
    EXPECT_EQ(p->originCb, p->baseCb + 8 * p->strideCb + 8);
    EXPECT_EQ(p->originCr, p->baseCr + 8 * p->strideCr + 8);
    // Every sample of the bordered planes (around the macroblock-aligned
    // area) starts at 0, and the planes can be read one row beyond their
    // border area (odd vectors at the clip bound).
    const int32_t lumaBytes = (16 * g.mbHeight + 33) * p->strideY;
    for (int32_t i = 0; i < lumaBytes; ++i) ASSERT_EQ(p->baseY[i], 0) << i;
    const int32_t chromaBytes = (8 * g.mbHeight + 17) * p->strideCb;
    for (int32_t i = 0; i < chromaBytes; ++i) {
      ASSERT_EQ(p->baseCb[i], 0) << i;
      ASSERT_EQ(p->baseCr[i], 0) << i;
    }
  }
  for (const void* array : {static_cast<const void*>(f.predRowY), static_cast<const void*>(f.qpRow),
                            static_cast<const void*>(f.mvStore),
                            static_cast<const void*>(f.mbStateMap)}) {
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(array) % 32, 0u);
  }
  EXPECT_EQ(reinterpret_cast<uintptr_t>(f.currentPicture.originY) % 16, 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameStoreGeometry,
                         ::testing::Values(Geometry{176, 144, 11, 9, 208, 104},
                                           Geometry{352, 288, 22, 18, 384, 192},
                                           Geometry{350, 250, 22, 16, 384, 192},
                                           Geometry{16, 16, 1, 1, 48, 24},
                                           Geometry{1, 1, 1, 1, 48, 24}, Geometry{17, 17, 2, 2, 64, 32},
                                           Geometry{1920, 1080, 120, 68, 1952, 976}));

TEST(FrameStore, ReleaseIsSafeWhenNothingWasAllocated) {
  ContextHolder holder;
  EXPECT_EQ(ReleaseFrameStore(*holder), 0);
  EXPECT_EQ(ReleaseFrameStore(*holder), 0);
}

TEST(FrameStore, ReleaseClearsEveryPointer) {
  ContextHolder holder;
  holder->sequence.width = 64;
  holder->sequence.height = 48;
  ASSERT_EQ(AllocateFrameStore(*holder), 0);
  holder->store.decodeCalls = 7;
  ReleaseFrameStore(*holder);
  const FrameStore& f = holder->store;
  EXPECT_EQ(f.decodeCalls, 0);
  EXPECT_EQ(f.predRowY, nullptr);
  EXPECT_EQ(f.mvStore, nullptr);
  EXPECT_EQ(f.currentPicture.baseY, nullptr);
  EXPECT_EQ(f.backwardReference.originCr, nullptr);
}

TEST(FrameStore, ImpossibleSizesFail) {
  for (auto [w, h] : {std::pair{0, 144}, {176, 0}, {-16, 144}, {8192, 16}, {16, 100000}}) {
    ContextHolder holder;
    holder->sequence.width = w;
    holder->sequence.height = h;
    EXPECT_EQ(AllocateFrameStore(*holder), kFrameStoreAllocationFailed) << w << "x" << h;
  }
}

}  // namespace
}  // namespace tavrin
