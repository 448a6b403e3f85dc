// The bounds of groups of blocks: a group's data ends at the next start
// code, on a byte boundary or inside a byte, and the header there is read
// from where the code begins.
#include "picture/short_header_groups.h"

#include <gtest/gtest.h>

#include <string>

#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

// Macroblock data of `lead` bits (a pattern without long zero runs), then a
// group start code, group 3, frame id 0 and quantiser 9, then one marker
// byte; QCIF, one row per group.
struct Case {
  int lead;
  int marker;  // the byte NextMarker names
};

class GroupBounds : public ::testing::TestWithParam<Case> {};

TEST_P(GroupBounds, EndAtTheStartCodeAndReadItsHeader) {
  const Case k = GetParam();
  testing::ContextHolder holder;
  holder->store.mbWidth = 11;
  holder->store.mbHeight = 9;
  holder->shortHeader.rowsPerGroup = 1;
  holder->shortHeader.groupCount = 9;
  testsupport::BitWriter w;
  for (int i = 0; i < k.lead; ++i) w.Bit(i % 3 != 2);
  w.Put(1, 17).Put(3, 5).Put(0, 2).Put(9, 5).Put(0xA5, 8).Put(0, 32);
  holder.Load(w.Take());
  const GroupsOfBlocks groups(*holder);
  EXPECT_EQ(groups.NextMarker(holder->reader, 0), k.marker);
  VideoPacketHeader header{};
  ASSERT_EQ(groups.ReadHeaderAt(*holder, k.marker, 0, header), 0);
  EXPECT_EQ(header.macroblockNumber, 33);
  EXPECT_EQ(header.quant, 9);
  EXPECT_EQ(holder->reader.GetBits(8), 0xA5u);
}

INSTANTIATE_TEST_SUITE_P(AlignedAndNot, GroupBounds,
                         ::testing::Values(Case{16, 2}, Case{21, 3}, Case{23, 3}, Case{17, 3}),
                         [](const auto& info) { return "lead" + std::to_string(info.param.lead); });

}  // namespace
}  // namespace tavrin
