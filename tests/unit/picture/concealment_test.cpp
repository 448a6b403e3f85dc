// Concealment of lost macroblocks on hand-made pictures: what the guesses
// take from the neighbours, the reference and the anchors, and the damage
// map the packet walk fills.
#include "picture/concealment.h"

#include <gtest/gtest.h>

#include "decoder/stream_setup.h"
#include "picture/damage_map.h"
#include "picture/intra_macroblock.h"
#include "picture/vector_storage.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;

// A 64x48 stream (4x3 macroblocks) whose pictures are filled by hand.
class ConcealmentTest : public ::testing::Test {
 protected:
  ConcealmentTest() {
    holder.Load(testsupport::MakeLayerHeader({.width = 64, .height = 48}));
    EXPECT_TRUE(OpenStream(*holder, 64, 48));
    f().resilience.anchorsDecoded = 2;
  }

  FrameStore& f() { return holder->store; }

  // A pattern no shift maps onto itself, over the padded area.
  static uint8_t Pattern(int32_t x, int32_t y) {
    return static_cast<uint8_t>((x * 7 + y * 13 + (x * y) / 5) & 0xFF);
  }
  static void Paint(const PictureBuffer& p, int32_t dx, int32_t dy) {
    for (int32_t y = -16; y < 48 + 16; ++y)
      for (int32_t x = -16; x < 64 + 16; ++x) p.originY[y * p.strideY + x] = Pattern(x + dx, y + dy);
    for (uint8_t* plane : {p.originCb, p.originCr})
      for (int32_t y = -8; y < 24 + 8; ++y)
        for (int32_t x = -8; x < 32 + 8; ++x) plane[y * p.strideCb + x] = Pattern(x + dx / 2, y + dy / 2);
  }

  // The current picture is the reference moved by (dx, dy) whole samples
  // (every intact macroblock with the vector that says so), apart from
  // macroblock `lost`, which holds rubbish and is marked lost.
  void LoseOneOfAMovedPicture(int32_t dx, int32_t dy, int32_t lost) {
    Paint(f().forwardReference, 0, 0);
    Paint(f().currentPicture, dx, dy);
    for (int32_t i = 0; i < 12; ++i)
      SetFourVectors(MvStoreEntry(f(), i), MotionVector{static_cast<int16_t>(2 * dx), static_cast<int16_t>(2 * dy)});
    SetFourVectors(MvStoreEntry(f(), lost), MotionVector{0, 0});
    DamageMap damage(f());
    damage.Lose(lost, lost + 1);
    uint8_t* mb = BlockOrigin(f().currentPicture, lost % 4, lost / 4, 0);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) mb[y * f().currentPicture.strideY + x] = 0;
  }

  bool MacroblockMoved(int32_t index, int32_t dx, int32_t dy) {
    const PictureBuffer& p = f().currentPicture;
    const int32_t x0 = 16 * (index % 4), y0 = 16 * (index / 4);
    for (int32_t y = y0; y < y0 + 16; ++y)
      for (int32_t x = x0; x < x0 + 16; ++x)
        if (p.originY[y * p.strideY + x] != Pattern(x + dx, y + dy)) return false;
    return true;
  }

  ContextHolder holder;
};

TEST_F(ConcealmentTest, PredictedPictureTakesTheNeighboursMotion) {
  LoseOneOfAMovedPicture(3, -2, 5);
  ConcealLostMacroblocks(*holder, {1, 0, 0, 0});
  EXPECT_TRUE(MacroblockMoved(5, 3, -2));
  // The guess is kept as the macroblock's vector for the pictures after.
  EXPECT_EQ(MvStoreEntry(f(), 5)[0], (MotionVector{6, -4}));
  EXPECT_EQ(f().resilience.status[5] & kMacroblockConcealed, kMacroblockConcealed);
}

TEST_F(ConcealmentTest, SearchFindsMotionNoNeighbourHas) {
  // Every neighbour claims no motion; the reference's surroundings say a
  // half-sample step is better than none.
  LoseOneOfAMovedPicture(1, 0, 6);
  for (int32_t i = 0; i < 12; ++i) SetFourVectors(MvStoreEntry(f(), i), MotionVector{0, 0});
  ConcealLostMacroblocks(*holder, {1, 0, 0, 0});
  EXPECT_TRUE(MacroblockMoved(6, 1, 0));
}

TEST_F(ConcealmentTest, IntraNeighboursLeaveACopy) {
  LoseOneOfAMovedPicture(0, 0, 9);
  for (int32_t i = 0; i < 12; ++i) {
    if (i != 9) f().resilience.status[i] = kMacroblockIntra;
    SetFourVectors(MvStoreEntry(f(), i), MotionVector{40, 40});  // never used: intra
  }
  ConcealLostMacroblocks(*holder, {1, 0, 0, 0});
  EXPECT_TRUE(MacroblockMoved(9, 0, 0));
}

TEST_F(ConcealmentTest, IntraPictureCopiesAMatchingReference) {
  LoseOneOfAMovedPicture(0, 0, 5);
  ConcealLostMacroblocks(*holder, {0, 0, 0, 0});
  EXPECT_TRUE(MacroblockMoved(5, 0, 0));
  EXPECT_EQ(MvStoreEntry(f(), 5)[0], (MotionVector{0, 0}));  // intra pictures leave no vectors
}

TEST_F(ConcealmentTest, IntraPictureFollowsTheAnchorsMotion) {
  // The scene pans on: the newest anchor moved 3 samples right, 2 up.
  LoseOneOfAMovedPicture(3, -2, 6);
  f().resilience.anchorMotionX = 6;
  f().resilience.anchorMotionY = -4;
  ConcealLostMacroblocks(*holder, {0, 0, 0, 0});
  EXPECT_TRUE(MacroblockMoved(6, 3, -2));
}

TEST_F(ConcealmentTest, IntraPictureMatchingNothingIsMendedFromItsOwnSamples) {
  // A cut: the reference has nothing of the new picture.
  LoseOneOfAMovedPicture(0, 0, 6);
  const PictureBuffer& p = f().currentPicture;
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      if (y < 16 || y >= 32 || x < 32 || x >= 48) p.originY[y * p.strideY + x] = static_cast<uint8_t>(200 - (x * y) % 7);
  ConcealLostMacroblocks(*holder, {0, 0, 0, 0});
  for (int32_t y = 16; y < 32; ++y)
    for (int32_t x = 32; x < 48; ++x) {
      EXPECT_GE(p.originY[y * p.strideY + x], 193);
      EXPECT_LE(p.originY[y * p.strideY + x], 200);
    }
}

TEST_F(ConcealmentTest, WithoutAReferenceTheRowsAroundAreBlended) {
  // Nothing decoded before: each column goes from the row above the lost
  // macroblock to the row below it.
  f().resilience.anchorsDecoded = 0;
  LoseOneOfAMovedPicture(0, 0, 6);
  const PictureBuffer& p = f().currentPicture;
  for (int32_t x = 16; x < 64; ++x) {
    p.originY[15 * p.strideY + x] = 40;
    p.originY[32 * p.strideY + x] = 210;
  }
  ConcealLostMacroblocks(*holder, {0, 0, 0, 0});
  for (int32_t y = 16; y < 32; ++y)
    for (int32_t x = 32; x < 48; ++x)
      EXPECT_EQ(p.originY[y * p.strideY + x], (40 * (32 - y) + 210 * (y - 15) + 8) / 17) << x << "," << y;
}

TEST_F(ConcealmentTest, BidirectionalPictureScalesTheLaterAnchorsVector) {
  // The later anchor moved by 4 samples against the earlier one; the B
  // picture lies a quarter of the way: 1 sample from the earlier anchor.
  Paint(f().forwardReference, 0, 0);
  Paint(f().backwardReference, 4, 0);
  Paint(f().currentPicture, 1, 0);
  for (int32_t i = 0; i < 12; ++i) SetFourVectors(MvStoreEntry(f(), i), MotionVector{8, 0});
  DamageMap damage(f());
  damage.Lose(5, 7);
  ConcealLostMacroblocks(*holder, {2, 0, 1, 4});
  EXPECT_TRUE(MacroblockMoved(5, 1, 0));
  EXPECT_TRUE(MacroblockMoved(6, 1, 0));
  // B pictures leave the later anchor's vectors alone.
  EXPECT_EQ(MvStoreEntry(f(), 5)[0], (MotionVector{8, 0}));
}

TEST_F(ConcealmentTest, SuspectMacroblocksThatFitAreKept) {
  // A cut the reference knows nothing of: the picture is a smooth ramp.
  // Macroblocks 5 and 6 were decoded before the damage showed in 7; 5
  // holds rubbish, 6 continues the ramp.
  Paint(f().forwardReference, 0, 0);
  const PictureBuffer& p = f().currentPicture;
  auto ramp = [](int32_t x, int32_t y) { return static_cast<uint8_t>(150 + (x + y) / 4); };
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) p.originY[y * p.strideY + x] = ramp(x, y);
  for (uint8_t* plane : {p.originCb, p.originCr})
    for (int32_t y = 0; y < 24; ++y)
      for (int32_t x = 0; x < 32; ++x) plane[y * p.strideCb + x] = 128;
  uint8_t* rubbish = BlockOrigin(p, 1, 1, 0);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) rubbish[y * p.strideY + x] = static_cast<uint8_t>(x * y * 37);
  for (int32_t i = 0; i < 12; ++i) SetFourVectors(MvStoreEntry(f(), i), MotionVector{0, 0});
  SetFourVectors(MvStoreEntry(f(), 6), MotionVector{-3, 5});
  DamageMap damage(f());
  for (int32_t i = 0; i < 12; ++i) f().resilience.bitStart[i] = 100 * i;
  damage.LoseAfterDamage(5, 7, 750, 8);
  ConcealLostMacroblocks(*holder, {1, 0, 0, 0});
  for (int32_t y = 16; y < 32; ++y)
    for (int32_t x = 32; x < 48; ++x) ASSERT_EQ(p.originY[y * p.strideY + x], ramp(x, y)) << x << "," << y;
  EXPECT_EQ(MvStoreEntry(f(), 6)[0], (MotionVector{-3, 5}));  // its own vector stays
  EXPECT_EQ(f().resilience.status[6], kMacroblockIntact);
  EXPECT_EQ(f().resilience.status[5], kMacroblockLost | kMacroblockConcealed);
  EXPECT_EQ(f().resilience.status[7], kMacroblockLost | kMacroblockConcealed);
  EXPECT_NE(rubbish[5 * p.strideY + 7], static_cast<uint8_t>(5 * 7 * 37));
}

TEST_F(ConcealmentTest, NothingLostChangesNothing) {
  Paint(f().forwardReference, 0, 0);
  Paint(f().currentPicture, 5, 5);
  DamageMap damage(f());
  ConcealLostMacroblocks(*holder, {1, 0, 0, 0});
  for (int32_t i = 0; i < 12; ++i) EXPECT_TRUE(MacroblockMoved(i, 5, 5));
}

TEST(DamageMapTest, MacroblocksBeganShortlyBeforeTheDamageAreSuspect) {
  ContextHolder holder;
  holder.Load(testsupport::MakeLayerHeader({.width = 64, .height = 48}));
  ASSERT_TRUE(OpenStream(*holder, 64, 48));
  DamageMap damage(holder->store);
  // Macroblocks 0..11 begin every 1000 bits.
  for (int32_t i = 0; i < 12; ++i) holder->store.resilience.bitStart[i] = 1000 * i;
  const int32_t detected = 1000 * 8 + 500;
  const int32_t from = damage.SuspectFrom(2, 8, detected);
  EXPECT_LE(from, 8);
  EXPECT_GE(from, 2);  // never before the packet's first macroblock
  // The first macroblock that began at most kSuspectBits before the damage.
  const int32_t earliest = detected - kSuspectBits;
  EXPECT_EQ(from, std::clamp(earliest <= 0 ? 0 : (earliest + 999) / 1000, 2, 8));
  damage.LoseAfterDamage(2, 8, detected, 12);
  damage.Lose(10, 12);  // counted once
  EXPECT_EQ(holder->store.resilience.lostCount, 12 - from);
  // Those decoded whole before the one the damage showed in are suspect.
  for (int32_t i = 0; i < 12; ++i) {
    const bool suspect = i >= from && i < 8;
    EXPECT_EQ((holder->store.resilience.status[i] & kMacroblockSuspect) != 0, suspect) << i;
  }
  DamageMap next(holder->store);  // a new picture
  EXPECT_EQ(holder->store.resilience.lostCount, 0);
  EXPECT_EQ(holder->store.resilience.status[11], kMacroblockIntact);
}

TEST(EndsCleanlyTest, StuffingThenNothingOrAStartCode) {
  struct Case {
    std::vector<uint8_t> bytes;
    int32_t bitPos;
    bool clean;
  };
  const Case cases[] = {
      {{0xA7}, 4, true},                    // 0111 after four bits
      {{0x00, 0x00, 0x00, 0x01}, 7, true},  // one bit of stuffing, a start code
      {{0xA6}, 4, false},                   // 0110: not stuffing
      {{0x7F}, 0, true},                    // a whole byte of stuffing
      {{0x7F, 0x00, 0x00}, 0, true},        // then zero bytes
      {{0x7F, 0x00, 0x00, 0x01, 0xB6}, 0, true},
      {{0x7F, 0x12}, 0, false},             // then data that was not read
      {{}, 0, true},                        // ends on the byte boundary
  };
  for (const Case& c : cases) {
    ContextHolder holder;
    holder.Load(c.bytes);
    holder->reader.bitPos = c.bitPos;
    EXPECT_EQ(EndsCleanly(holder->reader), c.clean) << c.bytes.size() << " bytes, bit " << c.bitPos;
  }
}

}  // namespace
}  // namespace tavrin
