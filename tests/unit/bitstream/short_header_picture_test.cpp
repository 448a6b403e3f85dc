#include "bitstream/short_header_picture.h"

#include <gtest/gtest.h>

#include "decoder/stream_setup.h"
#include "support/stream_builder.h"
#include "unit/context_fixture.h"

namespace tavrin {
namespace {

using testing::ContextHolder;
using testsupport::BitWriter;
using testsupport::MakeShortHeaderPicture;
using testsupport::ShortHeaderSpec;

TEST(ShortHeaderPicture, ElementsAndRefusals) {
  ContextHolder holder;
  ShortHeaderPicture p{};
  auto parse = [&](const std::vector<uint8_t>& bytes) {
    holder.Load(bytes);
    return FindShortHeaderPicture(holder->reader) ? ParseShortHeaderPicture(holder->reader, p) : 99;
  };
  ASSERT_EQ(parse(MakeShortHeaderPicture({.temporalReference = 201, .splitScreen = 1, .sourceFormat = 3,
                                          .codingType = 1, .quant = 17, .spareBytes = {0xAB, 0x01}})), 0);
  EXPECT_EQ(p.temporalReference, 201);
  EXPECT_EQ(p.splitScreen + p.documentCamera + p.freezeRelease, 1);
  EXPECT_EQ(p.sourceFormat, kCif);
  EXPECT_EQ(p.codingType, 1);
  EXPECT_EQ(p.quant, 17);
  EXPECT_EQ(p.spareBytes, 2);
  // Start code, TR, PTYPE, PQUANT, CPM, two spare bytes and three PEI bits.
  EXPECT_EQ((holder->reader.bytePos - holder->reader.bufferStart) * 8 + holder->reader.bitPos, 22 + 8 + 13 + 5 + 1 + 19);

  const std::pair<ShortHeaderSpec, int32_t> refused[] = {
      {{.sourceFormat = 7}, kShortHeaderVersion2},          {{.sourceFormat = 6}, kShortHeaderReservedFormat},
      {{.sourceFormat = 0}, kShortHeaderMalformed},         {{.marker = 0}, kShortHeaderMalformed},
      {{.zero = 1}, kShortHeaderMalformed},                 {{.quant = 0}, kShortHeaderMalformed},
      {{.unrestrictedVectors = 1}, kShortHeaderOptionalModes}, {{.arithmeticCoding = 1}, kShortHeaderOptionalModes},
      {{.advancedPrediction = 1}, kShortHeaderOptionalModes}, {{.pbFrames = 1}, kShortHeaderOptionalModes},
      {{.continuousPresence = 1}, kShortHeaderContinuousPresence}};
  for (const auto& [spec, refusal] : refused) {
    EXPECT_EQ(parse(MakeShortHeaderPicture(spec)), kUnsupportedHeader);
    EXPECT_EQ(p.refusal, refusal);
  }
  // The start code counts on byte boundaries only.
  BitWriter shifted;
  shifted.Put(0, 4).Bytes(MakeShortHeaderPicture({}));
  EXPECT_EQ(parse(shifted.Take()), 99);
}

TEST(ShortHeaderSequence, CreationSizesGroupsAndRefusals) {
  struct Case {
    std::vector<uint8_t> bytes;
    int32_t width, height;
    bool ok;
    int32_t rowsPerGroup, groups;
  };
  std::vector<uint8_t> garbageFirst{0x47};
  const auto qcif = MakeShortHeaderPicture({});
  garbageFirst.insert(garbageFirst.end(), qcif.begin(), qcif.end());
  const Case cases[] = {
      {MakeShortHeaderPicture({.sourceFormat = 1}), 128, 96, true, 1, 6},
      {qcif, 176, 144, true, 1, 9},
      {MakeShortHeaderPicture({.videoObjectInFront = true, .sourceFormat = 3}), 352, 288, true, 1, 18},
      {MakeShortHeaderPicture({.sourceFormat = 4}), 704, 576, true, 2, 18},
      {MakeShortHeaderPicture({.sourceFormat = 5}), 1408, 1152, true, 4, 18},
      {qcif, 352, 288, false, 0, 0},  // the host's size must be the source format's
      {qcif, 177, 144, false, 0, 0},
      {MakeShortHeaderPicture({.sourceFormat = 7}), 176, 144, false, 0, 0},
      {MakeShortHeaderPicture({.advancedPrediction = 1}), 176, 144, false, 0, 0},
      {garbageFirst, 176, 144, false, 0, 0},  // not a short-header stream at all
  };
  for (const Case& c : cases) {
    ContextHolder holder;
    holder.Load(c.bytes);
    EXPECT_EQ(OpenStream(*holder, c.width, c.height), c.ok) << c.width << "x" << c.height;
    EXPECT_EQ(holder->sequence.vopTimeIncrementResolution, c.bytes == garbageFirst ? 0 : 30000);
    if (!c.ok) continue;
    EXPECT_EQ(holder->sequence.shortVideoHeader, 1);
    EXPECT_EQ(holder->shortHeader.rowsPerGroup, c.rowsPerGroup);
    EXPECT_EQ(holder->shortHeader.groupCount, c.groups);
  }
}

TEST(GroupOfBlocksHeader, HereOrAfterZerosToTheByteBoundary) {
  ContextHolder holder;
  BitReader& r = holder->reader;
  GroupOfBlocksHeader h{};
  // At bit 3: right there, after five zeros of stuffing, and not at all
  // (sixteen zeros and a 1 that start past the stuffing).
  for (int stuffing : {0, 5, -1}) {
    BitWriter w;
    w.Put(0b101, 3).Put(0, stuffing < 0 ? 6 : stuffing).Put(1, 17).Put(17, 5).Put(2, 2).Put(12, 5).Put(0xFF, 8);
    holder.Load(w.Take());
    r.SkipBits(3);
    ASSERT_EQ(GroupStartFollows(r), stuffing >= 0) << stuffing;
    if (stuffing < 0) continue;
    ReadGroupOfBlocksHeader(r, h);
    EXPECT_EQ(h.groupNumber * 10000 + h.frameId * 100 + h.quant, 170212);
    EXPECT_EQ((r.bytePos - r.bufferStart) * 8 + r.bitPos, 3 + stuffing + 29);
  }
}

}  // namespace
}  // namespace tavrin
