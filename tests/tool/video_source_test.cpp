// Telling formats apart by content, finding the header bytes, and the raw
// stream path.
#include "video_source.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "elementary_stream.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"

namespace {

using namespace tavrin::tool;
using Bytes = std::vector<uint8_t>;

Bytes ReadData(const std::string& name) {
  Bytes bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  return bytes;
}

TEST(VideoSource, FormatByContentNotName) {
  EXPECT_EQ(DetectFormat(ReadData("xvid_packed.avi")), InputFormat::kAvi);
  EXPECT_EQ(DetectFormat(ReadData("mpeg4_ipb.mp4")), InputFormat::kIsoMedia);
  EXPECT_EQ(DetectFormat(ReadData("mpeg4_mv4.mov")), InputFormat::kIsoMedia);
  EXPECT_EQ(DetectFormat(ReadData("mpeg4_ipb.m4v")), InputFormat::kElementaryStream);
  EXPECT_EQ(DetectFormat(ReadData("xvid_packed_vfw.mkv")), InputFormat::kMatroska);
  // The EBML mark wins over an ISO box type at bytes 4 to 7.
  EXPECT_EQ(DetectFormat(Bytes{0x1A, 0x45, 0xDF, 0xA3, 'f', 'r', 'e', 'e'}), InputFormat::kMatroska);
  EXPECT_EQ(DetectFormat(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}), InputFormat::kElementaryStream);
  EXPECT_EQ(DetectFormat(Bytes{}), InputFormat::kElementaryStream);
}

TEST(VideoSource, RawStreamsAreSplitAsBefore) {
  const Bytes bytes = ReadData("xvid_ipb.m4v");
  const SplitResult split = SplitElementaryStream(bytes);
  ASSERT_TRUE(split.ok());
  const SourceResult opened = OpenVideo(bytes);
  ASSERT_TRUE(opened.ok()) << opened.error;
  EXPECT_EQ(opened.source.format, "raw MPEG-4 Visual stream");
  ASSERT_EQ(opened.source.pictures.size(), split.stream.pictures.size());
  EXPECT_EQ(opened.source.pictures[3].data(), split.stream.Picture(bytes, 3).data());
  EXPECT_EQ(opened.source.profileAndLevel, 0xF5);
}

TEST(VideoSource, HeaderExtraction) {
  // Visual object sequence, video object, layer, user data, a picture.
  const Bytes stream = {0, 0, 1, 0xB0, 0xF5, 0, 0, 1, 0x00, 0, 0, 1, 0x20, 0xAA, 0, 0, 1, 0xB2, 'x', 0, 0, 1, 0xB6, 0x10};
  EXPECT_EQ(ExtractHeader(stream), (Bytes{0, 0, 1, 0x00, 0, 0, 1, 0x20, 0xAA, 0, 0, 1, 0xB2, 'x'}));
  // A layer alone gets a video object start code in front.
  EXPECT_EQ(ExtractHeader(Bytes{0, 0, 1, 0x21, 0x55}), (Bytes{0, 0, 1, 0x00, 0, 0, 1, 0x21, 0x55}));
  EXPECT_TRUE(ExtractHeader(Bytes{0, 0, 1, 0xB6, 0x55}).empty());
}

TEST(VideoSource, UnknownBytesAreNamedAsSuch) {
  const std::string text = "just some words, not a video";
  const SourceResult opened = OpenVideo(Bytes(text.begin(), text.end()));
  ASSERT_FALSE(opened.ok());
  EXPECT_NE(opened.error.find("not a format the tool reads"), std::string::npos) << opened.error;
}

TEST(VideoSource, ContainerWithoutAnyHeader) {
  // An AVI whose chunks hold pictures only.
  Bytes bytes = ReadData("mpeg4_ipb.avi");
  // Turn the layer start code into a user data start code.
  for (std::size_t i = 0; i + 4 < bytes.size(); ++i) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0x20) bytes[i + 3] = 0xB2;
  }
  const SourceResult opened = OpenVideo(bytes);
  ASSERT_FALSE(opened.ok());
  EXPECT_NE(opened.error.find("no video object layer header"), std::string::npos) << opened.error;
}

// A file told as a container by its first bytes is read as that container
// or refused with the container's reason; the start codes among its bytes
// never make it a raw stream.
TEST(VideoSource, ContainersAreNeverTakenForRawStreams) {
  const struct {
    const char* file;
    std::string from, to;  // the first `from` in the file becomes `to`
    InputFormat format;
    const char* words;
  } cases[] = {
      {"mpeg4_ipb.avi", "hdrl", "hdrX", InputFormat::kAvi, "the AVI file has no stream header list"},
      {"xvid_packed.avi", "vids", "auds", InputFormat::kAvi, "the AVI file has no video stream"},
      {"mpeg4_ipb.mp4", "moov", "moox", InputFormat::kIsoMedia, "the MP4 file has no movie box"},
      {"mpeg4_mv4.mov", "mp4v", "avc1", InputFormat::kIsoMedia, "the QuickTime MOV file's video is neither MPEG-4 Visual nor H.263"},
      {"mpeg4_ipb.mkv", "\x16\x54\xAE\x6B", "\x16\x54\xAE\x6C", InputFormat::kMatroska,
       "the Matroska file has no track list"},
      {"xvid_packed_vfw.mkv", "matroska", "matrushka", InputFormat::kMatroska, "document type 'matrushk', not Matroska"},
      {"xvid_ipb.mkv", "V_MPEG4/ISO/ASP", "V_MPEG4/ISO/AVC", InputFormat::kMatroska,
       "the Matroska file's video is not MPEG-4 Visual"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + (" " + c.to));
    Bytes bytes = ReadData(c.file);
    const Bytes from(c.from.begin(), c.from.end()), to(c.to.begin(), c.to.end());
    int replaced = 0;
    for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), from.begin(), from.end())) != bytes.end();) {
      // A longer replacement moves what follows; sizes around it no longer
      // fit, which the reader must bear.
      at = bytes.insert(bytes.erase(at, at + static_cast<std::ptrdiff_t>(from.size())), to.begin(), to.end()) +
           static_cast<std::ptrdiff_t>(to.size());
      ++replaced;
    }
    ASSERT_GT(replaced, 0);
    ASSERT_FALSE(FindStartCodes(bytes).empty());
    EXPECT_EQ(DetectFormat(bytes), c.format);
    const SourceResult opened = OpenVideo(bytes);
    ASSERT_FALSE(opened.ok());
    EXPECT_NE(opened.error.find(c.words), std::string::npos) << opened.error;
  }
}

}  // namespace
