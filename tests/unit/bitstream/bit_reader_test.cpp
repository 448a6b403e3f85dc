#include "bitstream/bit_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tavrin {
namespace {

// A reader over its own buffer laid out as the decoder lays out its input:
// the data, then zero padding.
class ReaderFixture : public ::testing::Test {
 protected:
  void Load(const std::vector<uint8_t>& data, uint8_t stale = 0xFF) {
    std::memset(buffer, stale, sizeof buffer);
    if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
    std::memset(buffer + data.size(), 0, kInputPadding);
    reader.Reset(buffer, kCapacity);
    reader.dataLength = static_cast<int32_t>(data.size());
  }
  static constexpr int32_t kCapacity = 256;
  uint8_t buffer[kCapacity + kInputPadding];
  BitReader reader;
};

TEST_F(ReaderFixture, ReadsMostSignificantBitFirst) {
  Load({0x12, 0x34, 0x56, 0x78});
  reader.SkipBits(4);
  EXPECT_EQ(reader.ShowBits(8), 0x23u);
  EXPECT_EQ(reader.GetBits(12), 0x234u);
  EXPECT_EQ(reader.bitPos, 0);
  EXPECT_EQ(reader.bytePos, buffer + 2);
  EXPECT_EQ(reader.GetBit(), 0);
  EXPECT_EQ(reader.GetBits(7), 0x56u);
}

TEST_F(ReaderFixture, ThirtyTwoBitReadAtByteBoundary) {
  Load({0xDE, 0xAD, 0xBE, 0xEF, 0x01});
  EXPECT_EQ(reader.GetBits(32), 0xDEADBEEFu);
  EXPECT_EQ(reader.BytesLeft(), 1);
}

TEST_F(ReaderFixture, BitsPastTheDataReadAsZeroWhateverWasThereBefore) {
  Load({0xFF, 0xFF}, 0xAA);
  reader.SkipBits(12);
  EXPECT_EQ(reader.GetBits(12), 0xF00u);
  EXPECT_EQ(reader.GetBits(16), 0u);
  EXPECT_TRUE(reader.Exhausted());
}

TEST_F(ReaderFixture, PositionNeverRunsFarPastTheData) {
  Load({0x01, 0x02, 0x03});
  for (int i = 0; i < 10000; ++i) reader.SkipBits(31);
  EXPECT_LE(reader.bytePos, buffer + 3 + kReadSlack);
  EXPECT_EQ(reader.ShowBits(32), 0u);
}

TEST_F(ReaderFixture, FindsStartCodeAndMovesPastIt) {
  Load({0x00, 0x00, 0x01, 0xB6, 0x55});
  EXPECT_EQ(reader.FindStartCode(0xB6), 1);
  EXPECT_EQ(reader.bytePos, buffer + 4);
  EXPECT_EQ(reader.GetBits(8), 0x55u);
}

TEST_F(ReaderFixture, PrefixNeedsItsCodeByteInsideTheData) {
  Load({0x00, 0x00, 0x01});
  EXPECT_EQ(reader.FindStartCodePrefix(), nullptr);
  Load({0x00, 0x00, 0x01, 0x20});
  EXPECT_EQ(reader.FindStartCodePrefix(), buffer + 3);
}

TEST_F(ReaderFixture, SkipsOtherStartCodes) {
  Load({0x00, 0x00, 0x01, 0x20, 0x00, 0x00, 0x01, 0xB6, 0x77});
  EXPECT_EQ(reader.FindStartCode(0xB6), 1);
  EXPECT_EQ(reader.bytePos, buffer + 8);
}

TEST_F(ReaderFixture, StepsOneByteAtATime) {
  Load({0x00, 0x00, 0x00, 0x01, 0xB6});
  EXPECT_EQ(reader.FindStartCode(0xB6), 1);
  EXPECT_EQ(reader.bytePos, buffer + 5);
}

TEST_F(ReaderFixture, CodeByteZeroCanBeginTheNextPrefix) {
  Load({0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0xB6});
  EXPECT_EQ(reader.FindStartCode(0xB6), 1);
  EXPECT_EQ(reader.bytePos, buffer + 7);
}

TEST_F(ReaderFixture, NextStartCodeFinishesThePartlyReadByteFirst) {
  Load({0x00, 0x00, 0x01, 0xB6, 0x00, 0x00, 0x01, 0xB3});
  reader.SkipBits(3);
  EXPECT_EQ(reader.NextStartCode(), 1);
  EXPECT_EQ(*reader.bytePos, 0xB3);
}

TEST_F(ReaderFixture, FailedSearchStopsThreeBytesBeforeTheEnd) {
  Load({0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
  EXPECT_EQ(reader.FindStartCode(0xB6), 0);
  EXPECT_EQ(reader.bytePos, buffer + 3);
}

TEST_F(ReaderFixture, FailedSearchOnShortDataStaysInsideTheBuffer) {
  for (int n = 0; n < 3; ++n) {
    Load(std::vector<uint8_t>(static_cast<size_t>(n), 0x00));
    EXPECT_EQ(reader.FindStartCode(0xB6), 0);
    EXPECT_EQ(reader.bytePos, buffer);
    EXPECT_EQ(reader.ShowBits(32), 0u);
  }
}

TEST_F(ReaderFixture, SearchPastTheDataFindsNothing) {
  Load({0x00, 0x00, 0x01, 0xB6});
  reader.SkipBits(8 * 40);
  EXPECT_EQ(reader.FindStartCodePrefix(), nullptr);
  EXPECT_EQ(reader.NextStartCode(), 0);
}

}  // namespace
}  // namespace tavrin
