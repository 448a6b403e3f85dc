// Splitting raw elementary streams into the decoder's header bytes and its
// pictures.
#include "elementary_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/reference_decode.h"
#include "support/test_paths.h"

namespace {

using tavrin::tool::ElementaryStream;
using tavrin::tool::FindStartCode;
using tavrin::tool::FindStartCodes;
using tavrin::tool::SplitElementaryStream;
using tavrin::tool::SplitResult;

std::vector<uint8_t> Stream(const std::string& name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  return bytes;
}

// The header and the pictures cover the stream from the video object start
// code to the end without gap or overlap, and every piece starts where it
// should.
void ExpectContiguous(const std::vector<uint8_t>& bytes, const ElementaryStream& s) {
  ASSERT_FALSE(s.pictures.empty());
  EXPECT_EQ(s.headerOffset + s.headerSize, s.pictures.front().offset);
  for (std::size_t i = 0; i + 1 < s.pictures.size(); ++i) {
    EXPECT_EQ(s.pictures[i].offset + s.pictures[i].size, s.pictures[i + 1].offset) << i;
  }
  EXPECT_EQ(s.pictures.back().offset + s.pictures.back().size, bytes.size());
  const auto header = s.Header(bytes);
  ASSERT_GE(header.size(), 8u);
  EXPECT_EQ(header[0], 0);
  EXPECT_EQ(header[1], 0);
  EXPECT_EQ(header[2], 1);
  EXPECT_LE(header[3], 0x1F);
  for (std::size_t i = 0; i < s.pictures.size(); ++i) {
    const auto picture = s.Picture(bytes, i);
    ASSERT_GE(picture.size(), 5u);
    EXPECT_EQ(picture[3], 0xB6) << i;
    EXPECT_LE(s.pictures[i].codedSize, s.pictures[i].size);
    // The coded part holds no other start code.
    const auto coded = s.CodedPicture(bytes, i);
    EXPECT_EQ(FindStartCodes(coded.subspan(4)).size(), 0u) << i;
  }
}

TEST(StartCodes, FindsEveryPrefixWithItsValue) {
  const std::vector<uint8_t> bytes = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x00, 0x01,
                                      0xB6, 0x12, 0x00, 0x00, 0x01, 0x20, 0x00, 0x00, 0x01};
  const auto codes = FindStartCodes(bytes);
  ASSERT_EQ(codes.size(), 3u);  // the prefix at the very end has no value byte
  EXPECT_EQ(codes[0].offset, 0u);
  EXPECT_EQ(codes[0].value, 0xB0);
  EXPECT_EQ(codes[1].offset, 6u);  // 00 00 00 01: found at its last two zeros
  EXPECT_EQ(codes[1].value, 0xB6);
  EXPECT_EQ(codes[2].offset, 11u);
  EXPECT_EQ(codes[2].value, 0x20);
  EXPECT_EQ(FindStartCode(bytes, 0xB6), 6u);
  EXPECT_EQ(FindStartCode(bytes, 0xB6, 7), bytes.size());
  EXPECT_EQ(FindStartCode(bytes, 0x20), 11u);
}

TEST(StartCodes, Names) {
  EXPECT_EQ(tavrin::tool::StartCodeName(0x00), "video object 0");
  EXPECT_EQ(tavrin::tool::StartCodeName(0x21), "video object layer 1");
  EXPECT_EQ(tavrin::tool::StartCodeName(0xB0), "visual object sequence");
  EXPECT_EQ(tavrin::tool::StartCodeName(0xB3), "group of video object planes");
  EXPECT_EQ(tavrin::tool::StartCodeName(0xB6), "video object plane");
}

// ffmpeg's mpeg4 encoder writes: visual object sequence (B0), visual object
// (B5), video object (00), video object layer (20), group of VOP (B3), then
// the pictures.
TEST(SplitStream, FfmpegStreamWithSequenceHeaders) {
  const auto bytes = Stream("mpeg4_default.m4v");
  const SplitResult result = SplitElementaryStream(bytes);
  ASSERT_TRUE(result.ok()) << result.error;
  const ElementaryStream& s = result.stream;
  EXPECT_TRUE(s.hasVisualObjectSequence);
  EXPECT_TRUE(s.hasVisualObject);
  EXPECT_EQ(s.headerOffset, 11u);
  EXPECT_EQ(s.layerOffset, 15u);
  EXPECT_EQ(s.headerSize, 26u);  // layer header and group of VOP header
  EXPECT_EQ(s.pictures.size(), 10u);
  EXPECT_EQ(s.droppedLeadingPictures, 0u);
  EXPECT_EQ(s.headersBetweenPictures, 0u);
  ExpectContiguous(bytes, s);
  const auto header = s.Header(bytes);
  EXPECT_EQ(header[3], 0x00);
  EXPECT_EQ(header[7], 0x20);
  EXPECT_EQ(FindStartCode(header, 0xB3), 19u);
}

// The same stream without the sequence headers in front: the header then
// starts at the first byte.
TEST(SplitStream, StreamStartingAtTheVideoObject) {
  const auto bytes = Stream("mpeg4_no_vos.m4v");
  const SplitResult result = SplitElementaryStream(bytes);
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_FALSE(result.stream.hasVisualObjectSequence);
  EXPECT_FALSE(result.stream.hasVisualObject);
  EXPECT_EQ(result.stream.headerOffset, 0u);
  EXPECT_EQ(result.stream.headerSize, 26u);
  EXPECT_EQ(result.stream.pictures.size(), 10u);
  ExpectContiguous(bytes, result.stream);

  // Its header and pictures are byte for byte those of the full stream.
  const auto full = Stream("mpeg4_default.m4v");
  const SplitResult fullResult = SplitElementaryStream(full);
  ASSERT_TRUE(fullResult.ok());
  const auto a = result.stream.Header(bytes);
  const auto b = fullResult.stream.Header(full);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
  for (std::size_t i = 0; i < 10; ++i) {
    const auto pa = result.stream.Picture(bytes, i);
    const auto pb = fullResult.stream.Picture(full, i);
    EXPECT_TRUE(std::equal(pa.begin(), pa.end(), pb.begin(), pb.end())) << i;
  }
}

// Xvid writes B0, B5, 00, 20, then user data ("XviD0069") before the first
// picture; the user data stays in the header bytes.
TEST(SplitStream, XvidStreamKeepsItsUserDataInTheHeader) {
  const auto bytes = Stream("xvid_default.m4v");
  const SplitResult result = SplitElementaryStream(bytes);
  ASSERT_TRUE(result.ok()) << result.error;
  const ElementaryStream& s = result.stream;
  EXPECT_TRUE(s.hasVisualObjectSequence);
  EXPECT_TRUE(s.hasVisualObject);
  EXPECT_EQ(s.headerOffset, 10u);
  EXPECT_EQ(s.layerOffset, 14u);
  EXPECT_EQ(s.headerSize, 33u);
  EXPECT_EQ(s.pictures.size(), 10u);
  ExpectContiguous(bytes, s);
  const auto header = s.Header(bytes);
  const std::size_t userData = FindStartCode(header, 0xB2);
  ASSERT_LT(userData, header.size());
  EXPECT_EQ(std::string(header.begin() + static_cast<std::ptrdiff_t>(userData) + 4, header.end()), "XviD0069");
}

// Xvid's B pictures come packed: after each group of B pictures a
// placeholder picture (vop_coded 0, a few bytes) repeats the anchor's time.
TEST(SplitStream, XvidPackedBPicturesSplitAtEveryPictureStartCode) {
  const auto bytes = Stream("xvid_ipb.m4v");
  const SplitResult result = SplitElementaryStream(bytes);
  ASSERT_TRUE(result.ok()) << result.error;
  const ElementaryStream& s = result.stream;
  EXPECT_EQ(s.pictures.size(), 24u);  // 19 shown pictures and 5 placeholders
  // The packing announcement: "DivX503b1393p" user data.
  const auto header = s.Header(bytes);
  const std::string headerText(header.begin(), header.end());
  EXPECT_NE(headerText.find("DivX503b1393p"), std::string::npos);
  int tiny = 0;
  for (const auto& p : s.pictures) tiny += p.codedSize <= 8 ? 1 : 0;
  EXPECT_EQ(tiny, 5);
  ExpectContiguous(bytes, s);
}

// Headers repeated in front of intra pictures stay at the end of the
// picture before; the coded size stops at them.
TEST(SplitStream, RepeatedHeadersBetweenPictures) {
  for (const char* name : {"mpeg4_gop4.m4v", "xvid_gop4.m4v"}) {
    SCOPED_TRACE(name);
    const auto bytes = Stream(name);
    const SplitResult result = SplitElementaryStream(bytes);
    ASSERT_TRUE(result.ok()) << result.error;
    const ElementaryStream& s = result.stream;
    ASSERT_EQ(s.pictures.size(), 10u);
    ExpectContiguous(bytes, s);
    // Intra pictures 4 and 8 each carry B0 B5 00 20 and B3 (ffmpeg) or B2
    // (Xvid) in front of them.
    EXPECT_EQ(s.headersBetweenPictures, 10u);
    for (std::size_t i : {3u, 7u}) {
      EXPECT_LT(s.pictures[i].codedSize, s.pictures[i].size) << i;
      const auto tail = s.Picture(bytes, i).subspan(s.pictures[i].codedSize);
      ASSERT_GE(tail.size(), 4u);
      EXPECT_EQ(tail[3], 0xB0) << i;
    }
    for (std::size_t i : {0u, 1u, 2u, 4u, 9u}) EXPECT_EQ(s.pictures[i].codedSize, s.pictures[i].size) << i;
  }
}

TEST(SplitStream, EveryCommittedStreamWithHeadersSplits) {
  for (const char* name :
       {"mpeg4_150x98.m4v", "mpeg4_tb16.m4v", "mpeg4_ipb_long.m4v", "xvid_ipb_long.m4v", "mpeg4_interlaced.m4v",
        "xvid_gmc.m4v", "mpeg4_obmc_header.m4v", "sample.m4v", "mpeg4_ipb_cif.m4v", "xvid_intra_custom_matrix.m4v"}) {
    SCOPED_TRACE(name);
    const auto bytes = Stream(name);
    const SplitResult result = SplitElementaryStream(bytes);
    ASSERT_TRUE(result.ok()) << result.error;
    ExpectContiguous(bytes, result.stream);
  }
}

// With -flags +global_header ffmpeg keeps the headers out of the stream.
TEST(SplitStream, StreamWithoutHeadersIsRefusedWithAReason) {
  const auto bytes = Stream("mpeg4_headerless.m4v");
  const SplitResult result = SplitElementaryStream(bytes);
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error.find("no video object start code"), std::string::npos) << result.error;
  EXPECT_NE(result.error.find("3 picture start codes"), std::string::npos) << result.error;
  EXPECT_EQ(result.stream.droppedLeadingPictures, 3u);
}

TEST(SplitStream, BytesWithoutStartCodes) {
  const std::vector<uint8_t> bytes(100, 0x47);
  const SplitResult result = SplitElementaryStream(bytes);
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error.find("no start code"), std::string::npos) << result.error;
  EXPECT_FALSE(SplitElementaryStream({}).ok());
}

TEST(SplitStream, VideoObjectWithoutLayer) {
  // A video object start code followed by a picture start code, as in a
  // short-header stream.
  const std::vector<uint8_t> bytes = {0, 0, 1, 0x00, 0, 0, 1, 0xB6, 0x10, 0x20};
  const SplitResult result = SplitElementaryStream(bytes);
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error.find("video object layer start code"), std::string::npos) << result.error;
  EXPECT_NE(result.error.find("00 00 01 B6"), std::string::npos) << result.error;

  const std::vector<uint8_t> ends = {0, 0, 1, 0x01, 0x55};
  EXPECT_NE(SplitElementaryStream(ends).error.find("the stream ends"), std::string::npos);
}

TEST(SplitStream, LayerWithoutPictures) {
  const std::vector<uint8_t> bytes = {0, 0, 1, 0x00, 0, 0, 1, 0x20, 0x08, 0x80, 0, 0, 1, 0xB3, 0x00};
  const SplitResult result = SplitElementaryStream(bytes);
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error.find("no picture start code"), std::string::npos) << result.error;
}

TEST(SplitStream, PicturesBeforeTheHeaderAreDropped) {
  const std::vector<uint8_t> bytes = {0, 0, 1, 0xB6, 0x55, 0x66,                    // a picture without header
                                      0, 0, 1, 0x01, 0, 0, 1, 0x21, 0x08, 0x80,     // VO 1, VOL 1
                                      0, 0, 1, 0xB6, 0x10, 0, 0, 1, 0xB6, 0x50, 0x51};
  const SplitResult result = SplitElementaryStream(bytes);
  ASSERT_TRUE(result.ok()) << result.error;
  EXPECT_EQ(result.stream.droppedLeadingPictures, 1u);
  EXPECT_EQ(result.stream.headerOffset, 6u);
  EXPECT_EQ(result.stream.layerOffset, 10u);
  EXPECT_EQ(result.stream.headerSize, 10u);
  ASSERT_EQ(result.stream.pictures.size(), 2u);
  EXPECT_EQ(result.stream.pictures[0].offset, 16u);
  EXPECT_EQ(result.stream.pictures[0].size, 5u);
  EXPECT_EQ(result.stream.pictures[1].offset, 21u);
  EXPECT_EQ(result.stream.pictures[1].size, 6u);
  ExpectContiguous(bytes, result.stream);
}

}  // namespace
