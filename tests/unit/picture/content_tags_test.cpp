// Content tags let a skipped macroblock keep samples its picture already
// holds instead of copying them again.  What matters is that a tag never
// claims samples a picture does not hold.
#include <gtest/gtest.h>

#include <climits>

#include "bitstream/sequence_header.h"
#include "decoder/stream_setup.h"
#include "picture/intra_macroblock.h"
#include "picture/motion_compensation.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;
using testsupport::MakeLayerHeader;

class ContentTagsTest : public ::testing::Test {
 protected:
  ContentTagsTest() {
    holder.Load(MakeLayerHeader({.resolution = 25}));
    EXPECT_TRUE(OpenStream(*holder, 64, 48));
  }
  FrameStore& Store() { return holder->store; }
  uint8_t& Sample(const PictureBuffer& p, int32_t x, int32_t y, int32_t block) {
    return *BlockOrigin(p, x, y, block);
  }
  ContextHolder holder;
};

TEST_F(ContentTagsTest, CopiesUntilTheTagsAgreeAndAgainAfterTheMacroblockIsRewritten) {
  FrameStore& f = Store();
  const PictureBuffer& from = f.forwardReference;
  const PictureBuffer& to = f.currentPicture;
  // Freshly allocated pictures are of unknown content: always copied.
  Sample(from, 1, 1, 0) = 7;
  Sample(from, 1, 1, 5) = 9;
  CopyMacroblock(from, to, 1, 1, 5);
  EXPECT_EQ(Sample(to, 1, 1, 0), 7);
  EXPECT_EQ(Sample(to, 1, 1, 5), 9);

  // A picture writes the macroblock in the source...
  StartPictureContent(f);
  f.forwardReference.contentTags[5] = f.contentSerial;
  Sample(from, 1, 1, 0) = 11;
  CopyMacroblock(from, to, 1, 1, 5);
  EXPECT_EQ(Sample(to, 1, 1, 0), 11);
  EXPECT_EQ(to.contentTags[5], from.contentTags[5]);

  // ...and a later one rewrites it in the destination: the next skip copies
  // again, though the source did not change.
  StartPictureContent(f);
  MarkMacroblockWritten(f, 5);
  Sample(to, 1, 1, 0) = 99;
  CopyMacroblock(from, to, 1, 1, 5);
  EXPECT_EQ(Sample(to, 1, 1, 0), 11);
}

TEST_F(ContentTagsTest, TagsAreForgottenBeforeTheCounterRunsOut) {
  FrameStore& f = Store();
  f.contentSerial = INT32_MAX;
  f.forwardReference.contentTags[0] = 1;
  f.currentPicture.contentTags[0] = 1;
  StartPictureContent(f);
  EXPECT_EQ(f.contentSerial, 1);
  // The old tags would have matched the new picture's: they are unknown now.
  EXPECT_EQ(f.forwardReference.contentTags[0], 0);
  EXPECT_EQ(f.currentPicture.contentTags[0], 0);
  Sample(f.forwardReference, 0, 0, 0) = 5;
  CopyMacroblock(f.forwardReference, f.currentPicture, 0, 0, 0);
  EXPECT_EQ(Sample(f.currentPicture, 0, 0, 0), 5);
}

}  // namespace
}  // namespace tavrin
