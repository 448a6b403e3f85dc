// The AVI reader on the committed samples and on hand-built and damaged
// files.
#include "avi_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "container_builder.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "video_source.h"

namespace {

using namespace tavrin::tool;
using namespace containertests;

Bytes ReadData(const std::string& name) {
  Bytes bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  return bytes;
}

bool StartsWithPictureStartCode(std::span<const uint8_t> p) {
  return p.size() >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xB6;
}

// The chunks of an AVI file rebuilt as a new movi list.
Bytes MoviOf(const std::vector<std::span<const uint8_t>>& units) {
  Bytes movi;
  for (const auto& u : units) movi = Cat({movi, Chunk("00dc", Bytes(u.begin(), u.end()))});
  return movi;
}

TEST(AviReader, XvidPackedBPictures) {
  const Bytes file = ReadData("xvid_packed.avi");
  ASSERT_TRUE(LooksLikeAvi(file));
  const ContainerResult avi = ReadAvi(file);
  ASSERT_TRUE(avi.ok()) << avi.error;
  EXPECT_EQ(avi.track.format, "AVI");
  EXPECT_TRUE(IsMpeg4VisualFourCc(avi.track.codecTag)) << avi.track.codecTag;
  EXPECT_EQ(avi.track.width, 176);
  EXPECT_EQ(avi.track.height, 144);
  EXPECT_EQ(avi.track.frameRate.num, 25);
  EXPECT_EQ(avi.track.frameRate.den, 1);
  EXPECT_TRUE(avi.track.unitIsFrameTime);
  ASSERT_EQ(avi.track.units.size(), 20u);
  EXPECT_EQ(avi.track.units[1].size(), 0u);  // encoder delay: two empty chunks
  EXPECT_EQ(avi.track.units[2].size(), 0u);

  const SourceResult opened = OpenVideo(file);
  ASSERT_TRUE(opened.ok()) << opened.error;
  const VideoSource& s = opened.source;
  EXPECT_EQ(s.format, "AVI");
  EXPECT_EQ(s.units, 20u);
  EXPECT_EQ(s.emptyUnits, 2u);
  EXPECT_EQ(s.packedUnits, 6u);       // anchor + B picture in one chunk
  EXPECT_EQ(s.placeholderUnits, 5u);  // the 6-byte vop_coded 0 chunks
  // 19 coded pictures, the last packed one without a frame time of its own.
  EXPECT_EQ(s.unshownPackedPictures, 1u);
  EXPECT_EQ(s.pictures.size(), 18u);
  for (const auto& p : s.pictures) EXPECT_TRUE(StartsWithPictureStartCode(p));
  EXPECT_EQ(s.header[3], 0x00);  // from the video object start code on
}

TEST(AviReader, AFinalPlaceholderGivesThePackedPictureItsTime) {
  const Bytes file = ReadData("xvid_packed.avi");
  const ContainerResult avi = ReadAvi(file);
  ASSERT_TRUE(avi.ok());
  auto units = avi.track.units;
  // A placeholder as the encoder writes them after a packed chunk.
  units.push_back(units[5]);
  ASSERT_EQ(units[5].size(), 6u);
  const Bytes rebuilt = Avi(StreamList("vids", "XVID", 176, 144), MoviOf(units));
  const SourceResult opened = OpenVideo(rebuilt);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.source.unshownPackedPictures, 0u);
  EXPECT_EQ(opened.source.placeholderUnits, 6u);
  EXPECT_EQ(opened.source.pictures.size(), 19u);
}

TEST(AviReader, FfmpegMpeg4OnePicturePerChunk) {
  const Bytes file = ReadData("mpeg4_ipb.avi");
  const SourceResult opened = OpenVideo(file);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.source.codecTag, "FMP4");
  EXPECT_EQ(opened.source.pictures.size(), 20u);
  EXPECT_EQ(opened.source.packedUnits, 0u);
  EXPECT_EQ(opened.source.headerOrigin, "in front of the pictures");
}

TEST(AviReader, OtherCodecsAreNamed) {
  const Bytes file = Avi(StreamList("vids", "DIV3", 64, 48), Chunk("00dc", Bytes(10, 0)));
  const ContainerResult avi = ReadAvi(file);
  ASSERT_FALSE(avi.ok());
  EXPECT_NE(avi.error.find("DIV3"), std::string::npos) << avi.error;
  EXPECT_NE(avi.error.find("MS MPEG-4 version 3"), std::string::npos) << avi.error;
  const ContainerResult audioOnly = ReadAvi(Avi(StreamList("auds", "WAVE", 0, 0), {}));
  EXPECT_EQ(audioOnly.error, "the AVI file has no video stream");
}

TEST(AviReader, PicksTheVideoStreamAmongOthers) {
  const Bytes file = ReadData("mpeg4_ipb.avi");
  const ContainerResult original = ReadAvi(file);
  ASSERT_TRUE(original.ok());
  // Stream 0 audio, stream 1 the video; audio chunks in between.
  Bytes movi;
  for (const auto& u : original.track.units) {
    movi = Cat({movi, Chunk("00wb", Bytes(7, 0x55)), Chunk("01dc", Bytes(u.begin(), u.end()))});
  }
  const Bytes mixed = Avi(Cat({StreamList("auds", "WAVE", 0, 0), StreamList("vids", "FMP4", 176, 144)}),
                          List("LIST", "rec ", movi));
  const ContainerResult avi = ReadAvi(mixed);
  ASSERT_TRUE(avi.ok()) << avi.error;
  ASSERT_EQ(avi.track.units.size(), original.track.units.size());
  for (std::size_t i = 0; i < avi.track.units.size(); ++i) {
    EXPECT_TRUE(std::equal(avi.track.units[i].begin(), avi.track.units[i].end(), original.track.units[i].begin(),
                           original.track.units[i].end()));
  }
}

TEST(AviReader, OpenDmlExtensionsAndIndexesAreWalkedOver) {
  const Bytes file = ReadData("mpeg4_ipb.avi");
  const ContainerResult original = ReadAvi(file);
  ASSERT_TRUE(original.ok());
  const auto& u = original.track.units;
  const std::vector<std::span<const uint8_t>> first(u.begin(), u.begin() + 10), rest(u.begin() + 10, u.end());
  const Bytes main = Avi(StreamList("vids", "FMP4", 176, 144), Cat({MoviOf(first), Chunk("ix00", Bytes(32, 0xFF))}));
  const Bytes extension = List("RIFF", "AVIX", List("LIST", "movi", MoviOf(rest)));
  const Bytes idx1 = Chunk("idx1", Bytes(16 * 20, 0xEE));
  const ContainerResult avi = ReadAvi(Cat({main, extension, idx1}));
  ASSERT_TRUE(avi.ok()) << avi.error;
  EXPECT_EQ(avi.track.units.size(), 20u);
  EXPECT_NE(avi.track.detail.find("OpenDML"), std::string::npos);
}

TEST(AviReader, ARiffSizeOfZeroRunsToTheEnd) {
  Bytes file = ReadData("mpeg4_ipb.avi");
  file[4] = file[5] = file[6] = file[7] = 0;
  const ContainerResult avi = ReadAvi(file);
  ASSERT_TRUE(avi.ok()) << avi.error;
  EXPECT_EQ(avi.track.units.size(), 20u);
}

TEST(AviReader, MissingListsAreReported) {
  EXPECT_NE(ReadAvi(List("RIFF", "AVI ", {})).error.find("no stream header list"), std::string::npos);
  const Bytes noMovie = List("RIFF", "AVI ", List("LIST", "hdrl", StreamList("vids", "XVID", 8, 8)));
  EXPECT_NE(ReadAvi(noMovie).error.find("no movi list"), std::string::npos);
  const Bytes noChunks = Avi(StreamList("vids", "XVID", 8, 8), Chunk("01dc", Bytes(4, 0)));
  EXPECT_NE(ReadAvi(noChunks).error.find("no chunks"), std::string::npos);
}

// Every prefix of the sample reads without fault: the chunks it gives lie
// inside the bytes, and the cut is reported.
TEST(AviReader, CutShortFilesGiveTheWholeChunksAndANote) {
  const Bytes file = ReadData("xvid_packed.avi");
  for (std::size_t length = 0; length <= file.size(); length += length < 6000 ? 1 : 97) {
    const std::span<const uint8_t> prefix(file.data(), length);
    const ContainerResult avi = ReadAvi(prefix);
    for (const auto& unit : avi.track.units) {
      ASSERT_GE(unit.data(), prefix.data());
      ASSERT_LE(unit.data() + unit.size(), prefix.data() + prefix.size());
    }
    const SourceResult opened = OpenVideo(prefix);
    if (opened.ok()) {
      EXPECT_FALSE(opened.source.pictures.empty());
    }
    if (length > 6000 && length < file.size()) {
      EXPECT_TRUE(avi.ok()) << length << ": " << avi.error;
      EXPECT_FALSE(avi.track.notes.empty()) << length;
    }
  }
}

TEST(AviReader, DamagedBytesNeverLeadOutside) {
  const Bytes original = ReadData("xvid_packed.avi");
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    Bytes file = original;
    // Damage the headers more often than the pictures.
    const int hits = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < hits; ++i) {
      const std::size_t at = random() % (round % 2 ? 5000 : file.size());
      file[at] = static_cast<uint8_t>(random());
    }
    const ContainerResult avi = ReadAvi(file);
    for (const auto& unit : avi.track.units) {
      ASSERT_GE(unit.data(), file.data());
      ASSERT_LE(unit.data() + unit.size(), file.data() + file.size());
    }
    const SourceResult opened = OpenVideo(file);
    if (!opened.ok()) {
      EXPECT_FALSE(opened.error.empty());
    }
  }
}

TEST(AviReader, FourCcs) {
  for (const char* tag : {"XVID", "xvid", "DIVX", "DX50", "FMP4", "MP4V", "mp4v"}) EXPECT_TRUE(IsMpeg4VisualFourCc(tag));
  for (const char* tag : {"DIV3", "H264", "MJPG", "    "}) EXPECT_FALSE(IsMpeg4VisualFourCc(tag));
  EXPECT_EQ(OtherVideoFormatName("h264"), "H.264/AVC");
  EXPECT_EQ(OtherVideoFormatName("XVID"), "");
}

}  // namespace
