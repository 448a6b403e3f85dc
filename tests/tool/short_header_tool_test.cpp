// The tool on short-header (baseline H.263) files: raw streams told by
// content, 3GP and AVI tracks, the layer their first picture implies, the
// picture headers and times, the survey and census, and what info and
// decode say.
#include "short_header.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "commands.h"
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

std::vector<uint8_t> Read(const std::string& name) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  return bytes;
}

TEST(ShortHeaderSource, RawStreamsAreToldByTheirFirstStartCode) {
  const std::vector<uint8_t> bytes = Read("h263_qcif_ip_q4.263");
  EXPECT_EQ(DetectFormat(bytes), InputFormat::kShortHeaderStream);
  const SourceResult opened = OpenVideo(bytes);
  ASSERT_TRUE(opened.ok()) << opened.error;
  const VideoSource& s = opened.source;
  EXPECT_EQ(s.format, "raw H.263 stream");
  ASSERT_EQ(s.pictures.size(), 10u);
  // Every picture starts with a start code, and they cover the file.
  std::size_t total = 0;
  for (const auto& p : s.pictures) {
    EXPECT_TRUE(IsShortHeaderStart(p, 0));
    total += p.size();
  }
  EXPECT_EQ(total, bytes.size());
  // The header is the first picture.
  EXPECT_TRUE(std::equal(s.header.begin(), s.header.end(), s.pictures[0].begin(), s.pictures[0].end()));

  // Behind a video object start code, the same pictures.
  std::vector<uint8_t> prefixed{0x00, 0x00, 0x01, 0x05};
  prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
  const SourceResult behind = OpenVideo(prefixed);
  ASSERT_TRUE(behind.ok()) << behind.error;
  EXPECT_EQ(behind.source.pictures.size(), 10u);
  EXPECT_EQ(behind.source.header.size(), s.header.size() + 4);
  // Shifted off the byte boundary the start code is not one.
  std::vector<uint8_t> shifted{0x47};
  shifted.insert(shifted.end(), bytes.begin(), bytes.end());
  EXPECT_NE(DetectFormat(shifted), InputFormat::kShortHeaderStream);
}

TEST(ShortHeaderSource, ContainerTracks) {
  const struct {
    const char* name;
    const char* tag;
    std::size_t pictures;
  } cases[] = {{"h263_qcif_ip.3gp", "s263", 12}, {"h263_qcif_ip_gob.avi", "H263", 8}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> bytes = Read(c.name);
    const SourceResult opened = OpenVideo(bytes);
    ASSERT_TRUE(opened.ok()) << c.name << ": " << opened.error;
    EXPECT_EQ(opened.source.codecTag, c.tag);
    EXPECT_EQ(opened.source.pictures.size(), c.pictures) << c.name;
    EXPECT_TRUE(BeginsWithShortHeader(opened.source.header)) << c.name;
    const LayerHeaderResult layer = ParseVideoObjectLayer(opened.source.header);
    EXPECT_TRUE(layer.supported());
    EXPECT_EQ(layer.layer.videoObjectLayerWidth, 176);
  }
}

TEST(ShortHeaderHeaders, TheLayerTheFirstPictureImplies) {
  const LayerHeaderResult r = ParseVideoObjectLayer(MakeShortHeaderPicture({.sourceFormat = 1}));
  ASSERT_TRUE(r.supported()) << r.error;
  const VideoObjectLayer& v = r.layer;
  EXPECT_TRUE(v.shortVideoHeader);
  EXPECT_EQ(v.sourceFormat, 1);
  EXPECT_EQ(v.videoObjectLayerWidth, 128);
  EXPECT_EQ(v.videoObjectLayerHeight, 96);
  EXPECT_EQ(v.vopTimeIncrementResolution, 30000);
  EXPECT_EQ(v.quantType, 0);
  EXPECT_EQ(SourceFormatName(5), "16CIF (1408x1152)");

  const struct {
    testsupport::ShortHeaderSpec spec;
    const char* words;
  } refused[] = {
      {{.sourceFormat = 7}, "H.263 version 2"},
      {{.sourceFormat = 6}, "reserved source format"},
      {{.unrestrictedVectors = 1}, "unrestricted motion vectors"},
      {{.arithmeticCoding = 1}, "arithmetic coding"},
      {{.advancedPrediction = 1}, "advanced prediction"},
      {{.codingType = 1, .pbFrames = 1}, "PB frames"},
      {{.continuousPresence = 1}, "continuous presence"},
  };
  for (const auto& c : refused) {
    const auto bytes = MakeShortHeaderPicture(c.spec);
    const LayerHeaderResult layer = ParseVideoObjectLayer(bytes);
    EXPECT_TRUE(layer.ok()) << layer.error;
    EXPECT_FALSE(layer.supported());
    EXPECT_NE(layer.RefusalReason().find(c.words), std::string::npos) << layer.RefusalReason();
    const PictureHeaderResult picture = ParsePictureHeader(bytes, r.layer);
    EXPECT_NE(picture.header.refusal.find(c.words), std::string::npos) << picture.header.refusal;
    EXPECT_FALSE(picture.header.detailsKnown);
  }
  for (const testsupport::ShortHeaderSpec& bad :
       {testsupport::ShortHeaderSpec{.marker = 0}, {.zero = 1}, {.sourceFormat = 0}, {.quant = 0}}) {
    EXPECT_FALSE(ParseVideoObjectLayer(MakeShortHeaderPicture(bad)).ok());
  }
}

TEST(ShortHeaderHeaders, PicturesAndTheirTimes) {
  const LayerHeaderResult layer = ParseVideoObjectLayer(MakeShortHeaderPicture({}));
  PictureClock clock(30000);
  const int references[] = {254, 255, 1, 2};
  const long long times[] = {254 * 1001, 255 * 1001, 257 * 1001, 258 * 1001};
  for (int i = 0; i < 4; ++i) {
    const auto bytes = MakeShortHeaderPicture({.temporalReference = references[i], .codingType = i > 0, .quant = 3 + i});
    const PictureHeaderResult r = ParsePictureHeader(bytes, layer.layer);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(r.header.detailsKnown);
    EXPECT_EQ(r.header.vopCodingType, i > 0 ? CodingType::kPredicted : CodingType::kIntra);
    EXPECT_EQ(r.header.vopQuant, 3 + i);
    EXPECT_EQ(r.header.temporalReference, references[i]);
    EXPECT_EQ(clock.Next(r.header), times[i]);
  }
}

TEST(ShortHeaderSurvey, GroupsRefusalsAndMacroblocks) {
  const std::vector<uint8_t> bytes = Read("h263_cif_ip_gob.263");
  const auto pictures = SplitShortHeaderPictures(bytes);
  const LayerHeaderResult layer = ParseVideoObjectLayer(pictures.front());
  const StreamSurvey s = SurveyPictures(pictures, layer.layer);
  EXPECT_EQ(s.byType[0], 1);
  EXPECT_EQ(s.byType[1], 7);
  EXPECT_EQ(s.shown, 8);
  EXPECT_EQ(s.groupHeaders, 38);
  EXPECT_EQ(s.refused, 0);
  // Every P picture walks to its end; its group headers are met.
  const MacroblockCensus census = WalkPredictedPictures(pictures, layer.layer, 100);
  EXPECT_EQ(census.pictures, 7);
  EXPECT_EQ(census.walked, 7);
  EXPECT_GT(census.videoPackets, 0);
  EXPECT_EQ(census.notCoded + census.inter + census.intra, 7 * 396);
  // A picture cut short does not walk to its end.
  std::vector<std::span<const uint8_t>> cut(pictures.begin(), pictures.end());
  cut[3] = cut[3].first(cut[3].size() / 2);
  EXPECT_EQ(WalkPredictedPictures(cut, layer.layer, 100).walked, 6);

  const std::vector<uint8_t> plus = Read("h263_plus_qcif.263");
  const auto plusPictures = SplitShortHeaderPictures(plus);
  const StreamSurvey p = SurveyPictures(plusPictures, ParseVideoObjectLayer(plusPictures.front()).layer);
  EXPECT_EQ(p.refused, 4);
  EXPECT_EQ(p.shown, 0);
}

struct Output {
  int status = -1;
  std::string out, err;
};

std::string Drain(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

Output Tool(const std::vector<std::string>& args) {
  Console console;
  console.out = std::tmpfile();
  console.err = std::tmpfile();
  console.in = std::tmpfile();
  Output r;
  r.status = RunTool(args, console);
  r.out = Drain(console.out);
  r.err = Drain(console.err);
  std::fclose(console.in);
  return r;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ShortHeaderCommands, InfoDescribesTheStream) {
  const Output r = Tool({"info", testsupport::DataPath("h263_cif_ip_gob.263")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Contains(r.out, "raw H.263 stream")) << r.out;
  EXPECT_TRUE(Contains(r.out, "352x288, source format CIF")) << r.out;
  EXPECT_TRUE(Contains(r.out, "short video header")) << r.out;
  EXPECT_TRUE(Contains(r.out, "30000 ticks per second")) << r.out;
  EXPECT_TRUE(Contains(r.out, "group-of-blocks headers (38 in 8 pictures)")) << r.out;
  EXPECT_TRUE(Contains(r.out, "supports the stream")) << r.out;
  const Output aq = Tool({"info", testsupport::DataPath("h263_qcif_ip_aq.263"), "--pictures"});
  EXPECT_TRUE(Contains(aq.out, "quantiser changes inside pictures")) << aq.out;
  EXPECT_FALSE(Contains(aq.out, "could not be walked")) << aq.out;
  const Output gp = Tool({"info", testsupport::DataPath("h263_qcif_ip.3gp")});
  EXPECT_TRUE(Contains(gp.out, "codec 's263'")) << gp.out;
}

TEST(ShortHeaderCommands, DecodeGivesEveryPicture) {
  for (const char* name : {"h263_qcif_ip_q4.263", "h263_qcif_ip.3gp", "h263_qcif_ip_gob.avi"}) {
    const Output r = Tool({"decode", testsupport::DataPath(name), "-o", "-", "--format", "yuv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::size_t count = std::string(name).find("3gp") != std::string::npos ? 12
                              : std::string(name).find("avi") != std::string::npos ? 8 : 10;
    EXPECT_EQ(r.out.size(), count * 176 * 144 * 3 / 2) << name;
  }
}

}  // namespace
}  // namespace tavrin::tool
