// Telling formats apart by content, finding the header bytes, and the raw
// stream path.
#include "video_source.h"

#include <gtest/gtest.h>

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

}  // namespace
