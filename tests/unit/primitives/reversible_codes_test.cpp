// The reversible residual codes: every table event and escaped events
// written and read back forwards and backwards, block boundaries found
// from either end, and readings that must fail.
#include "primitives/coefficients/reversible_codes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tavrin::coefficients {
namespace {

// Bits written most significant first, with room after them.
struct Bits {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(64, 0);
  int64_t count = 0;
  void Put(uint64_t value, int32_t n) {
    for (int32_t i = n - 1; i >= 0; --i, ++count) {
      if (static_cast<size_t>(count >> 3) + 8 >= bytes.size()) bytes.resize(bytes.size() * 2, 0);
      if ((value >> i) & 1) bytes[static_cast<size_t>(count >> 3)] |= static_cast<uint8_t>(0x80u >> (count & 7));
    }
  }
  void Put(const CoefficientEvent& e, bool intra) {
    uint64_t code = 0;
    const int32_t length = ReversibleCodeOf(e, intra, &code);
    Put(code, length);
  }
};

bool Same(const CoefficientEvent& a, const CoefficientEvent& b) {
  return a.level == b.level && a.run == b.run && a.last == b.last;
}

TEST(ReversibleCodes, EveryTableEventReadsBackBothWays) {
  for (bool intra : {false, true}) {
    const ReversibleCode* table = intra ? kIntraReversibleCodes.data() : kInterReversibleCodes.data();
    for (int32_t e = 0; e < kReversibleCodeCount; ++e) {
      for (int sign : {1, -1}) {
        const CoefficientEvent event{static_cast<int16_t>(sign * table[e].level), table[e].run, 1};
        if (table[e].last != 1) continue;  // last 0 events are read inside blocks below
        Bits bits;
        bits.Put(event, intra);
        uint64_t code = 0;
        EXPECT_EQ(ReversibleCodeOf(event, intra, &code), static_cast<int32_t>(std::string(table[e].bits).size()) + 1);
        BlockEvents block;
        int64_t end = 0, start = 0;
        ASSERT_EQ(ReadReversibleBlock(bits.bytes.data(), 0, bits.count, intra, 0, block, &end), Ok);
        EXPECT_EQ(end, bits.count);
        ASSERT_EQ(block.count, 1);
        EXPECT_TRUE(Same(block.events[0], event));
        ASSERT_EQ(ReadReversibleBlockBackwards(bits.bytes.data(), bits.count, 0, intra, 0, block, &start), Ok);
        EXPECT_EQ(start, 0);
        ASSERT_EQ(block.count, 1);
        EXPECT_TRUE(Same(block.events[0], event));
      }
    }
  }
}

// Random blocks of table and escaped events, one after the other: read
// forwards block by block, and backwards from the end block by block.
TEST(ReversibleCodes, BlocksReadTheSameFromBothEnds) {
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    const bool intra = round % 2 == 0;
    const int32_t first = intra && round % 4 == 0 ? 1 : 0;
    std::vector<std::vector<CoefficientEvent>> blocks(1 + rng() % 6);
    Bits bits;
    std::vector<int64_t> starts;
    for (auto& block : blocks) {
      starts.push_back(bits.count);
      int32_t index = first - 1;
      const int32_t events = 1 + static_cast<int32_t>(rng() % 12);
      for (int32_t k = 0; k < events; ++k) {
        const int32_t run = static_cast<int32_t>(rng() % (rng() % 4 == 0 ? 8 : 2));
        if (index + run + 1 > 63) break;
        index += run + 1;
        const int32_t magnitude = rng() % 8 == 0 ? 1 + static_cast<int32_t>(rng() % 2047) : 1 + static_cast<int32_t>(rng() % 3);
        block.push_back({static_cast<int16_t>(rng() % 2 ? magnitude : -magnitude), static_cast<uint8_t>(run), 0});
      }
      block.back().last = 1;
      for (const CoefficientEvent& e : block) bits.Put(e, intra);
    }
    starts.push_back(bits.count);
    int64_t at = 0;
    for (size_t b = 0; b < blocks.size(); ++b) {
      BlockEvents read;
      int64_t end = 0;
      ASSERT_EQ(ReadReversibleBlock(bits.bytes.data(), at, bits.count, intra, first, read, &end), Ok);
      EXPECT_EQ(end, starts[b + 1]);
      ASSERT_EQ(read.count, static_cast<int32_t>(blocks[b].size()));
      for (int32_t k = 0; k < read.count; ++k) EXPECT_TRUE(Same(read.events[k], blocks[b][static_cast<size_t>(k)]));
      at = end;
    }
    at = bits.count;
    for (size_t b = blocks.size(); b-- > 0;) {
      BlockEvents read;
      int64_t start = 0;
      ASSERT_EQ(ReadReversibleBlockBackwards(bits.bytes.data(), at, 0, intra, first, read, &start), Ok);
      EXPECT_EQ(start, starts[b]);
      ASSERT_EQ(read.count, static_cast<int32_t>(blocks[b].size()));
      for (int32_t k = 0; k < read.count; ++k) EXPECT_TRUE(Same(read.events[k], blocks[b][static_cast<size_t>(k)]));
      at = start;
    }
  }
}

TEST(ReversibleCodes, EscapesCarryAnyLevelAndRun) {
  const CoefficientEvent e{-2047, 63, 1};
  uint64_t code = 0;
  EXPECT_EQ(ReversibleCodeOf(e, false, &code), kReversibleEscapeLength);
  // 0000 1, last, run, 1, level, 1, 0000, sign.
  EXPECT_EQ(code, (((((uint64_t{1} << 1 | 1) << 6 | 63) << 1 | 1) << 11 | 2047) << 1 | 1) << 5 | 1);
}

TEST(ReversibleCodes, DamageIsFound) {
  Bits bits;
  bits.Put({3, 0, 0}, false);
  bits.Put({-1, 2, 1}, false);
  BlockEvents read;
  int64_t end = 0, start = 0;
  // Cut short: the limit comes before the last event.
  EXPECT_NE(ReadReversibleBlock(bits.bytes.data(), 0, bits.count - 1, false, 0, read, &end), Ok);
  // A run beyond the block.
  Bits far;
  far.Put({1, 40, 0}, false);
  far.Put({1, 30, 1}, false);
  EXPECT_NE(ReadReversibleBlock(far.bytes.data(), 0, far.count, false, 0, read, &end), Ok);
  EXPECT_NE(ReadReversibleBlockBackwards(far.bytes.data(), far.count, 0, false, 0, read, &start), Ok);
  // Backwards, a block must end with its last event.
  Bits open;
  open.Put({1, 0, 0}, true);
  EXPECT_NE(ReadReversibleBlockBackwards(open.bytes.data(), open.count, 0, true, 0, read, &start), Ok);
  // A broken escape marker.
  Bits escape;
  escape.Put({900, 1, 1}, false);
  escape.bytes[1] ^= 0x08;  // the marker after the run
  EXPECT_NE(ReadReversibleBlock(escape.bytes.data(), 0, escape.count, false, 0, read, &end), Ok);
}

}  // namespace
}  // namespace tavrin::coefficients
