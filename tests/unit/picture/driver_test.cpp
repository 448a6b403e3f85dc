#include "picture/driver.h"

#include <gtest/gtest.h>

#include <map>

#include "bitstream/picture_header.h"
#include "bitstream/sequence_header.h"
#include "decoder/stream_setup.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;
using testsupport::MakeLayerHeader;
using testsupport::MakePictureHeader;
using testsupport::PictureSpec;

// Feeds pictures to the driver.  The macroblock layer is not what these
// tests look at: after each call the test stamps the picture just decoded
// with a mark of its own (in its first luma sample), so that later checks
// can tell which picture each record holds.
class DriverTest : public ::testing::Test {
 protected:
  explicit DriverTest(int32_t sourceType = 0) {
    holder->input.sourceType = sourceType;
    holder.Load(MakeLayerHeader({.resolution = 25}));
    EXPECT_TRUE(OpenStream(*holder, 64, 48));
  }

  // Decodes one picture and stamps it with mark.
  void Feed(PictureSpec spec, uint8_t mark) {
    holder.Load(MakePictureHeader(spec));
    DecodePicture(*holder, 0);
    if (!spec.coded) return;
    FrameStore& f = holder->store;
    if (spec.codingType == 0 || spec.codingType == 1) f.forwardReference.originY[0] = mark;
    if (spec.codingType == 2) f.currentPicture.originY[0] = mark;
  }

  uint8_t MarkOf(const PictureBuffer& p) const { return p.originY[0]; }
  const PictureBuffer* Output() { return holder->state.outputPicture; }
  FrameStore& Store() { return holder->store; }

  ContextHolder holder;
};

TEST_F(DriverTest, IntraAndPredictedPicturesRotateThroughTwoRecords) {
  Feed({.codingType = 0, .timeIncrement = 10}, 1);
  EXPECT_EQ(Output(), &Store().forwardReference);
  EXPECT_EQ(MarkOf(Store().forwardReference), 1);
  Feed({.codingType = 1, .timeIncrement = 20}, 2);
  // The P picture was decoded while picture 1 was the reference: the
  // reference's planes are now the next currentPicture.
  EXPECT_EQ(MarkOf(Store().currentPicture), 1);
  EXPECT_EQ(MarkOf(Store().forwardReference), 2);
  EXPECT_EQ(Output(), &Store().forwardReference);
  Feed({.codingType = 1, .timeIncrement = 30}, 3);
  EXPECT_EQ(MarkOf(Store().currentPicture), 2);
  EXPECT_EQ(Store().pastAnchorTime, 20);
  EXPECT_EQ(Store().futureAnchorTime, 30);
  EXPECT_EQ(holder->state.iPictures, 1);
  EXPECT_EQ(holder->state.pPictures, 2);
  EXPECT_EQ(holder->state.picturesTotal, 3);
  EXPECT_EQ(Store().decodeCalls, 3);
}

TEST_F(DriverTest, AnchorTimesAfterIntraThenPredicted) {
  Feed({.codingType = 0, .timeIncrement = 10}, 1);
  Feed({.codingType = 1, .timeIncrement = 20}, 2);
  EXPECT_EQ(Store().pastAnchorTime, 10);
  EXPECT_EQ(Store().futureAnchorTime, 20);
  EXPECT_EQ(Store().currentPicture.time, 20);
}

TEST_F(DriverTest, AnchorTimesAreFullTimesAcrossSecondBoundaries) {
  Feed({.codingType = 0, .timeIncrement = 23}, 1);
  Feed({.codingType = 1, .moduloTimeBase = 1, .timeIncrement = 2}, 2);
  EXPECT_EQ(Store().pastAnchorTime, 23);
  EXPECT_EQ(Store().futureAnchorTime, 27);
  Feed({.codingType = 2, .timeIncrement = 24}, 3);
  EXPECT_EQ(holder->picture.vopTime, 24);
}

TEST_F(DriverTest, FirstPredictedPictureIsShown) {
  Feed({.codingType = 1, .timeIncrement = 1}, 1);
  EXPECT_EQ(Output(), &Store().forwardReference);
  EXPECT_EQ(MarkOf(Store().currentPicture), 0);  // predicted from the blank picture
}

TEST_F(DriverTest, NotCodedPictureShowsThePreviousOneAgain) {
  Feed({.codingType = 0}, 1);
  Feed({.codingType = 1, .timeIncrement = 1, .coded = 0}, 9);
  EXPECT_EQ(Output(), &Store().forwardReference);
  EXPECT_EQ(MarkOf(*Output()), 1);
  EXPECT_EQ(holder->state.picturesTotal, 2);
  EXPECT_EQ(holder->state.iPictures, 1);
  EXPECT_EQ(holder->state.pPictures, 0);
}

TEST_F(DriverTest, SpritePicturesAreCountedNotDecoded) {
  Feed({.codingType = 0}, 1);
  Feed({.codingType = 3, .timeIncrement = 1}, 9);
  EXPECT_EQ(holder->state.sPictures, 1);
  EXPECT_EQ(MarkOf(*Output()), 1);
}

TEST_F(DriverTest, NoPictureStartCodeChangesOnlyTheCallCount) {
  Feed({.codingType = 0}, 1);
  holder.Load({0x00, 0x00, 0x01, 0xB3, 0x12, 0x34});
  DecodePicture(*holder, 0);
  EXPECT_EQ(Store().decodeCalls, 2);
  EXPECT_EQ(holder->state.picturesTotal, 1);
  EXPECT_EQ(MarkOf(*Output()), 1);
}

TEST_F(DriverTest, OnlyTheFirstPictureOfACallIsUsed) {
  auto bytes = MakePictureHeader({.codingType = 0});
  auto second = MakePictureHeader({.codingType = 1, .timeIncrement = 1});
  bytes.insert(bytes.end(), second.begin(), second.end());
  holder.Load(bytes);
  DecodePicture(*holder, 0);
  EXPECT_EQ(holder->state.iPictures, 1);
  EXPECT_EQ(holder->state.pPictures, 0);
  EXPECT_EQ(holder->picture.vopCodingType, 0);
}

TEST_F(DriverTest, RepeatedHeadersBeforeThePictureAreSkipped) {
  auto bytes = MakeLayerHeader({.width = 720, .height = 576});
  auto picture = MakePictureHeader({.codingType = 0, .quant = 3});
  bytes.insert(bytes.end(), picture.begin(), picture.end());
  holder.Load(bytes);
  DecodePicture(*holder, 0);
  EXPECT_EQ(holder->state.iPictures, 1);
  EXPECT_EQ(holder->picture.vopQuant, 3);
  EXPECT_EQ(holder->sequence.width, 64);
}

TEST_F(DriverTest, BadMarkerDecodesNothing) {
  Feed({.codingType = 0}, 1);
  holder.Load({0x00, 0x00, 0x01, 0xB6, 0x00, 0x00});
  DecodePicture(*holder, 0);
  EXPECT_EQ(holder->state.picturesTotal, 1);
}

TEST_F(DriverTest, ReducedResolutionPicturesKeepThePreviousOutput) {
  holder->sequence.reducedResolutionVopEnable = 1;
  Feed({.codingType = 0, .reducedResolution = 0}, 1);
  holder.Load(MakePictureHeader({.codingType = 1, .timeIncrement = 1, .reducedResolution = 1}));
  DecodePicture(*holder, 0);
  EXPECT_EQ(holder->state.pPictures, 0);
  EXPECT_EQ(holder->state.picturesTotal, 2);
  EXPECT_EQ(MarkOf(*Output()), 1);
}

// Display order I0 B1 B2 P3 B4 P5, sent as I0 P3 B1 B2 P5 B4.
TEST_F(DriverTest, BidirectionalPicturesSeeTheirTwoAnchors) {
  Feed({.codingType = 0, .timeIncrement = 0}, 10);
  Feed({.codingType = 1, .timeIncrement = 3}, 13);
  Feed({.codingType = 2, .timeIncrement = 1}, 11);
  EXPECT_EQ(MarkOf(Store().forwardReference), 10);
  EXPECT_EQ(MarkOf(Store().backwardReference), 13);
  EXPECT_EQ(Output(), &Store().currentPicture);
  EXPECT_EQ(MarkOf(*Output()), 11);
  EXPECT_EQ(Store().pastAnchorTime, 0);
  EXPECT_EQ(Store().futureAnchorTime, 3);
  Feed({.codingType = 2, .timeIncrement = 2}, 12);
  EXPECT_EQ(MarkOf(Store().forwardReference), 10);
  EXPECT_EQ(MarkOf(Store().backwardReference), 13);
  EXPECT_EQ(MarkOf(*Output()), 12);
  Feed({.codingType = 1, .timeIncrement = 5}, 15);
  // P5 was predicted from P3, which the rotation leaves in currentPicture.
  EXPECT_EQ(MarkOf(Store().currentPicture), 13);
  EXPECT_EQ(MarkOf(*Output()), 15);
  Feed({.codingType = 2, .timeIncrement = 4}, 14);
  EXPECT_EQ(MarkOf(Store().forwardReference), 13);
  EXPECT_EQ(MarkOf(Store().backwardReference), 15);
  EXPECT_EQ(Store().pastAnchorTime, 3);
  EXPECT_EQ(Store().futureAnchorTime, 5);
  Feed({.codingType = 0, .timeIncrement = 7}, 17);
  EXPECT_EQ(MarkOf(*Output()), 17);
  EXPECT_EQ(holder->state.bPictures, 3);
  // The three records still hold three distinct allocations.
  std::map<uint8_t*, int> planes;
  for (const PictureBuffer* p : {&Store().currentPicture, &Store().forwardReference,
                                 &Store().backwardReference})
    ++planes[p->baseY];
  EXPECT_EQ(planes.size(), 3u);
}

TEST_F(DriverTest, ReferencesArePadded) {
  holder.Load(MakePictureHeader({.codingType = 0}));
  DecodePicture(*holder, 0);
  const PictureBuffer& p = Store().forwardReference;
  EXPECT_EQ(p.baseY[0], p.originY[0]);  // the top-left corner of the border
}

// A picture whose data ends before its first macroblock is all lost: it
// is concealed (here, the stream's first picture, from nothing: grey), not
// left as the record held it.
TEST_F(DriverTest, APictureWithoutDataIsConcealed) {
  holder.Load(MakePictureHeader({.codingType = 0}));
  Store().currentPicture.originY[0] = 77;
  DecodePicture(*holder, 0);
  EXPECT_EQ(Store().forwardReference.originY[0], 128);
  EXPECT_EQ(Store().resilience.lostCount, 12);
}

class UnpaddedDriverTest : public DriverTest {
 protected:
  UnpaddedDriverTest() : DriverTest(kSourceTypeUnpadded) {}
};

TEST_F(UnpaddedDriverTest, BordersStayZero) {
  holder.Load(MakePictureHeader({.codingType = 0}));
  Store().currentPicture.originY[0] = 77;
  DecodePicture(*holder, 0);
  EXPECT_EQ(Store().forwardReference.baseY[0], 0);
}

}  // namespace
}  // namespace tavrin
