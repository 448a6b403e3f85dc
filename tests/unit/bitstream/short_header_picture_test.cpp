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

// Finds and reads the first picture header of the bytes.
struct Parsed {
  explicit Parsed(const std::vector<uint8_t>& bytes) {
    holder.Load(bytes);
    found = FindShortHeaderPicture(holder->reader);
    status = found ? ParseShortHeaderPicture(holder->reader, picture) : 99;
  }
  int32_t BitsConsumed() {
    const BitReader& r = holder->reader;
    return static_cast<int32_t>(r.bytePos - r.bufferStart) * 8 + r.bitPos;
  }
  ContextHolder holder;
  ShortHeaderPicture picture{};
  int32_t found = 0;
  int32_t status = 0;
};

TEST(ShortHeaderPicture, ReadsEveryElement) {
  Parsed p(MakeShortHeaderPicture({.temporalReference = 201, .splitScreen = 1, .freezeRelease = 1,
                                   .sourceFormat = 3, .codingType = 1, .quant = 17, .spareBytes = {0xAB, 0x01}}));
  ASSERT_EQ(p.status, 0);
  EXPECT_EQ(p.picture.temporalReference, 201);
  EXPECT_EQ(p.picture.splitScreen, 1);
  EXPECT_EQ(p.picture.documentCamera, 0);
  EXPECT_EQ(p.picture.freezeRelease, 1);
  EXPECT_EQ(p.picture.sourceFormat, kCif);
  EXPECT_EQ(p.picture.codingType, 1);
  EXPECT_EQ(p.picture.quant, 17);
  EXPECT_EQ(p.picture.spareBytes, 2);
  EXPECT_EQ(p.picture.refusal, kShortHeaderAccepted);
  // Start code, TR, PTYPE (13), PQUANT, CPM, two spare bytes with their PEI
  // and the closing PEI.
  EXPECT_EQ(p.BitsConsumed(), 22 + 8 + 13 + 5 + 1 + 2 * 9 + 1);
}

TEST(ShortHeaderPicture, StartCodeIsFoundOnByteBoundariesOnly) {
  std::vector<uint8_t> bytes{0x47, 0x00, 0x01, 0x00, 0x00, 0x20};  // 00 00 20 is no start code
  const auto picture = MakeShortHeaderPicture({.temporalReference = 9});
  bytes.insert(bytes.end(), picture.begin(), picture.end());
  Parsed p(bytes);
  ASSERT_EQ(p.status, 0);
  EXPECT_EQ(p.picture.temporalReference, 9);
  // Shifted by four bits, the same code is not found.
  BitWriter w;
  w.Put(0, 4).Bytes(picture);
  EXPECT_EQ(Parsed(w.Take()).found, 0);
}

TEST(ShortHeaderPicture, RefusalsNameTheirReason) {
  struct Case {
    ShortHeaderSpec spec;
    int32_t refusal;
  };
  const Case cases[] = {
      {{.sourceFormat = 7}, kShortHeaderVersion2},
      {{.sourceFormat = 6}, kShortHeaderReservedFormat},
      {{.sourceFormat = 0}, kShortHeaderMalformed},
      {{.marker = 0}, kShortHeaderMalformed},
      {{.zero = 1}, kShortHeaderMalformed},
      {{.quant = 0}, kShortHeaderMalformed},
      {{.unrestrictedVectors = 1}, kShortHeaderOptionalModes},
      {{.arithmeticCoding = 1}, kShortHeaderOptionalModes},
      {{.advancedPrediction = 1}, kShortHeaderOptionalModes},
      {{.codingType = 1, .pbFrames = 1}, kShortHeaderOptionalModes},
      {{.continuousPresence = 1}, kShortHeaderContinuousPresence},
  };
  for (const Case& c : cases) {
    Parsed p(MakeShortHeaderPicture(c.spec));
    EXPECT_EQ(p.status, kUnsupportedHeader);
    EXPECT_EQ(p.picture.refusal, c.refusal) << "format " << c.spec.sourceFormat;
  }
}

// Creation from the bytes of a first picture, with the host's size.
struct Opened {
  Opened(const std::vector<uint8_t>& bytes, int32_t width, int32_t height) {
    holder.Load(bytes);
    ok = OpenStream(*holder, width, height);
  }
  ContextHolder holder;
  bool ok = false;
};

TEST(ShortHeaderSequence, SourceFormatsGiveSizesAndGroups) {
  struct Case {
    int format, width, height, rowsPerGroup, groups;
  };
  for (const Case& c : {Case{1, 128, 96, 1, 6}, Case{2, 176, 144, 1, 9}, Case{3, 352, 288, 1, 18},
                        Case{4, 704, 576, 2, 18}, Case{5, 1408, 1152, 4, 18}}) {
    Opened o(MakeShortHeaderPicture({.sourceFormat = c.format}), c.width, c.height);
    ASSERT_TRUE(o.ok) << "format " << c.format;
    const SequenceHeader& s = o.holder->sequence;
    EXPECT_EQ(s.shortVideoHeader, 1);
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
    EXPECT_EQ(s.vopTimeIncrementResolution, 30000);
    EXPECT_EQ(s.quantType, 0);
    EXPECT_EQ(s.resyncMarkerDisable, 1);
    EXPECT_EQ(o.holder->shortHeader.rowsPerGroup, c.rowsPerGroup);
    EXPECT_EQ(o.holder->shortHeader.groupCount, c.groups);
    EXPECT_EQ(o.holder->store.mbWidth, c.width / 16);
  }
}

TEST(ShortHeaderSequence, HostSizeMustBeTheSourceFormats) {
  const auto qcif = MakeShortHeaderPicture({});
  EXPECT_TRUE(Opened(qcif, 176, 144).ok);
  for (auto [w, h] : {std::pair{352, 288}, {176, 128}, {128, 96}, {177, 144}}) {
    Opened o(qcif, w, h);
    EXPECT_FALSE(o.ok) << w << "x" << h;
    // The clock is the short header's whatever the size.
    EXPECT_EQ(o.holder->sequence.vopTimeIncrementResolution, 30000);
  }
}

TEST(ShortHeaderSequence, VideoObjectStartCodeMayComeFirst) {
  EXPECT_TRUE(Opened(MakeShortHeaderPicture({.videoObjectInFront = true}), 176, 144).ok);
  // Anything else in front is not a short-header stream.
  std::vector<uint8_t> bytes{0x47};
  const auto picture = MakeShortHeaderPicture({});
  bytes.insert(bytes.end(), picture.begin(), picture.end());
  Opened o(bytes, 176, 144);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.holder->sequence.vopTimeIncrementResolution, 0);
}

TEST(ShortHeaderSequence, RefusedFirstPicturesGiveNoDecoder) {
  for (const ShortHeaderSpec& spec : {ShortHeaderSpec{.sourceFormat = 7}, ShortHeaderSpec{.advancedPrediction = 1},
                                      ShortHeaderSpec{.continuousPresence = 1}}) {
    Opened o(MakeShortHeaderPicture(spec), 176, 144);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.holder->sequence.vopTimeIncrementResolution, 30000);
  }
}

TEST(ShortHeaderSequence, PictureTimesCountTheTemporalReferenceOn) {
  Opened o(MakeShortHeaderPicture({.temporalReference = 250}), 176, 144);
  ASSERT_TRUE(o.ok);
  DecoderContext& c = *o.holder;
  auto read = [&](const ShortHeaderSpec& spec) {
    o.holder.Load(MakeShortHeaderPicture(spec));
    return ReadShortHeaderPicture(c.reader, c.shortHeader, c.picture);
  };
  ASSERT_EQ(read({.temporalReference = 250, .quant = 5}), 1);
  EXPECT_EQ(c.picture.vopTime, 250 * 1001);
  EXPECT_EQ(c.picture.vopCodingType, 0);
  EXPECT_EQ(c.picture.vopQuant, 5);
  // Past 255 the reference wraps; the time runs on.
  ASSERT_EQ(read({.temporalReference = 3, .codingType = 1, .quant = 9}), 1);
  EXPECT_EQ(c.picture.vopTime, (250 + 9) * 1001);
  EXPECT_EQ(c.picture.vopCodingType, 1);
  EXPECT_EQ(c.picture.vopFcodeForward, 1);
  EXPECT_EQ(c.picture.vopRoundingType, 0);
  // Another source format, or a refused picture, changes nothing.
  EXPECT_EQ(read({.temporalReference = 5, .sourceFormat = 3}), 0);
  EXPECT_EQ(read({.temporalReference = 6, .unrestrictedVectors = 1}), 0);
  EXPECT_EQ(c.picture.vopTime, (250 + 9) * 1001);
  ASSERT_EQ(read({.temporalReference = 4, .codingType = 1}), 1);
  EXPECT_EQ(c.picture.vopTime, (250 + 10) * 1001);
}

TEST(GroupOfBlocksHeader, FoundHereOrAfterZerosToTheByteBoundary) {
  ContextHolder holder;
  BitReader& r = holder->reader;
  // Right here, at bit 3: start code, GN 5, GFID 2, GQUANT 12.
  BitWriter here;
  here.Put(0b101, 3).Put(1, 17).Put(5, 5).Put(2, 2).Put(12, 5).Put(0xFF, 8);
  holder.Load(here.Take());
  r.SkipBits(3);
  ASSERT_TRUE(GroupStartFollows(r));
  GroupOfBlocksHeader h{};
  ReadGroupOfBlocksHeader(r, h);
  EXPECT_EQ(h.groupNumber, 5);
  EXPECT_EQ(h.frameId, 2);
  EXPECT_EQ(h.quant, 12);
  EXPECT_EQ(r.bytePos - r.bufferStart, 4);
  EXPECT_EQ(r.bitPos, 0);

  // After five zeros of stuffing, on the next byte.
  BitWriter stuffed;
  stuffed.Put(0b101, 3).Put(0, 5).Put(1, 17).Put(17, 5).Put(0, 2).Put(31, 5).Put(0xFF, 8);
  holder.Load(stuffed.Take());
  r.SkipBits(3);
  ASSERT_TRUE(GroupStartFollows(r));
  ReadGroupOfBlocksHeader(r, h);
  EXPECT_EQ(h.groupNumber, 17);
  EXPECT_EQ(h.quant, 31);

  // Fifteen zeros and a 1 are no start code; neither are sixteen zeros and
  // a 1 that begin past the byte boundary after stuffing.
  BitWriter shortRun;
  shortRun.Put(1, 16).Put(0xFFFF, 16);
  holder.Load(shortRun.Take());
  EXPECT_FALSE(GroupStartFollows(r));
  BitWriter late;
  late.Put(0b1, 1).Put(0, 8).Put(1, 17).Put(0xFF, 8);
  holder.Load(late.Take());
  r.SkipBits(1);
  EXPECT_FALSE(GroupStartFollows(r));
}

}  // namespace
}  // namespace tavrin
