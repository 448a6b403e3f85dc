// The tool's reading of short-header (baseline H.263) files: raw streams
// told by content, container tracks, the layer the first picture implies,
// picture times, survey and census.  (What info says: commands_test.)
#include "short_header.h"

#include <gtest/gtest.h>

#include "frame_rate.h"
#include "macroblock_scan.h"
#include "stream_survey.h"
#include "support/reference_decode.h"
#include "support/stream_builder.h"
#include "support/test_paths.h"
#include "video_source.h"

namespace tavrin::tool {
namespace {

using testsupport::MakeShortHeaderPicture;

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::vector<uint8_t> Read(const std::string& name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  return bytes;
}

TEST(ShortHeaderSource, RawStreamsAndContainerTracks) {
  std::vector<uint8_t> bytes = Read("h263_qcif_ip_q4.263");
  const SourceResult raw = OpenVideo(bytes);
  ASSERT_TRUE(raw.ok()) << raw.error;
  EXPECT_EQ(raw.source.format, "raw H.263 stream");
  ASSERT_EQ(raw.source.pictures.size(), 10u);
  std::size_t total = 0;
  for (const auto& p : raw.source.pictures) total += IsShortHeaderStart(p, 0) ? p.size() : 0;
  EXPECT_EQ(total, bytes.size());
  EXPECT_EQ(raw.source.header.size(), raw.source.pictures[0].size());
  // Behind a video object start code the same; off the byte boundary no stream.
  bytes.insert(bytes.begin(), {0x00, 0x00, 0x01, 0x05});
  EXPECT_EQ(OpenVideo(bytes).source.pictures.size(), 10u);
  bytes[3] = 0x47;
  EXPECT_NE(DetectFormat(std::span(bytes).subspan(3)), InputFormat::kShortHeaderStream);

  for (auto [name, tag, count] : {std::tuple{"h263_qcif_ip.3gp", "s263", 12u}, {"h263_qcif_ip_gob.avi", "H263", 8u}}) {
    const std::vector<uint8_t> file = Read(name);
    const SourceResult opened = OpenVideo(file);
    ASSERT_TRUE(opened.ok()) << name << ": " << opened.error;
    EXPECT_EQ(opened.source.codecTag, tag);
    EXPECT_EQ(opened.source.pictures.size(), count) << name;
    EXPECT_TRUE(ParseVideoObjectLayer(opened.source.header).supported()) << name;
  }
}

TEST(ShortHeaderHeaders, LayerRefusalsAndPictureTimes) {
  const LayerHeaderResult r = ParseVideoObjectLayer(MakeShortHeaderPicture({.sourceFormat = 1}));
  ASSERT_TRUE(r.supported()) << r.error;
  EXPECT_TRUE(r.layer.shortVideoHeader);
  EXPECT_EQ(r.layer.videoObjectLayerWidth * 1000 + r.layer.videoObjectLayerHeight, 128096);
  EXPECT_EQ(r.layer.vopTimeIncrementResolution, 30000);
  // What the decoder refuses is named (the other refusals: commands_test).
  const auto pb = MakeShortHeaderPicture({.codingType = 1, .pbFrames = 1});
  EXPECT_TRUE(Contains(ParseVideoObjectLayer(pb).RefusalReason(), "PB frames"));
  EXPECT_TRUE(Contains(ParsePictureHeader(pb, r.layer).header.refusal, "PB frames"));
  EXPECT_FALSE(ParseVideoObjectLayer(MakeShortHeaderPicture({.zero = 1})).ok());

  // The temporal reference wraps at 256; the times run on.
  PictureClock clock(30000);
  const int references[] = {254, 255, 1, 2};
  const int64_t units[] = {254, 255, 257, 258};
  for (int i = 0; i < 4; ++i) {
    const PictureHeaderResult p =
        ParsePictureHeader(MakeShortHeaderPicture({.temporalReference = references[i], .codingType = i > 0}), r.layer);
    ASSERT_TRUE(p.ok() && p.header.detailsKnown) << p.error;
    EXPECT_EQ(p.header.vopCodingType, i > 0 ? CodingType::kPredicted : CodingType::kIntra);
    EXPECT_EQ(clock.Next(p.header), units[i] * 1001);
  }
}

TEST(ShortHeaderSurvey, GroupsRefusalsAndMacroblocks) {
  const std::vector<uint8_t> bytes = Read("h263_cif_ip_gob.263");
  const auto pictures = SplitShortHeaderPictures(bytes);
  const VideoObjectLayer layer = ParseVideoObjectLayer(pictures.front()).layer;
  const StreamSurvey s = SurveyPictures(pictures, layer);
  EXPECT_EQ(s.byType[0] * 100 + s.byType[1], 107);
  EXPECT_EQ(s.groupHeaders, 38);
  // Every P picture walks to its end, group headers and all; one cut short does not.
  const MacroblockCensus census = WalkPredictedPictures(pictures, layer, 100);
  EXPECT_EQ(census.walked, 7);
  EXPECT_GT(census.videoPackets, 0);
  EXPECT_EQ(census.notCoded + census.inter + census.intra, 7 * 396);
  std::vector<std::span<const uint8_t>> cut(pictures.begin(), pictures.end());
  cut[3] = cut[3].first(cut[3].size() / 2);
  EXPECT_EQ(WalkPredictedPictures(cut, layer, 100).walked, 6);

  const std::vector<uint8_t> plus = Read("h263_plus_qcif.263");
  const auto refused = SplitShortHeaderPictures(plus);
  const StreamSurvey p = SurveyPictures(refused, ParseVideoObjectLayer(refused.front()).layer);
  EXPECT_EQ(p.refused * 10 + p.shown, 40);
}

}  // namespace
}  // namespace tavrin::tool
