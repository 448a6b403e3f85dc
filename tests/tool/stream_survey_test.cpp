// What the picture headers tell without decoding, and the picture rate.
#include "stream_survey.h"

#include <gtest/gtest.h>

#include "frame_rate.h"
#include "macroblock_scan.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "video_source.h"

namespace {

using namespace tavrin::tool;
using Bytes = std::vector<uint8_t>;

struct Opened {
  Bytes bytes;
  VideoSource source;
  VideoObjectLayer layer;
};

Opened Open(const std::string& name) {
  Opened o;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), o.bytes));
  SourceResult r = OpenVideo(o.bytes);
  EXPECT_TRUE(r.ok()) << r.error;
  o.source = std::move(r.source);
  o.layer = ParseVideoObjectLayer(o.source.header).layer;
  return o;
}

TEST(StreamSurvey, PicturesByType) {
  const Opened xvid = Open("xvid_ipb.m4v");
  const StreamSurvey s = SurveyPictures(xvid.source.pictures, xvid.layer);
  // IPBBnPBBnPBBnIBBnPBBnPBB (tests/data/README.md).
  EXPECT_EQ(s.pictures, 24);
  EXPECT_EQ(s.notCoded, 5);
  EXPECT_EQ(s.shown, 19);
  EXPECT_EQ(s.byType[0] + s.byType[1] + s.byType[2], 24);
  EXPECT_EQ(s.byType[2], 12);
  EXPECT_EQ(s.resyncMarkers, 0);  // Xvid disables them
  const Opened gmc = Open("xvid_gmc.m4v");
  EXPECT_EQ(SurveyPictures(gmc.source.pictures, gmc.layer).byType[3], 1);
}

TEST(StreamSurvey, ResynchronisationMarkers) {
  // Stuffing 0111 1111, then 16 zeros and a 1: an I picture's marker.
  const Bytes picture = {0, 0, 1, 0xB6, 0x12, 0x34, 0x7F, 0x00, 0x00, 0x80, 0x55};
  EXPECT_EQ(CountResyncMarkers(picture, 16), 1);
  EXPECT_EQ(CountResyncMarkers(picture, 17), 0);
  // 17 zeros for a P picture with vop_fcode_forward 2.
  const Bytes predicted = {0, 0, 1, 0xB6, 0x12, 0x34, 0x7F, 0x00, 0x00, 0x40, 0x55};
  EXPECT_EQ(CountResyncMarkers(predicted, 17), 1);
  // Not after stuffing (the byte before ends with 0): not a marker.
  const Bytes inside = {0, 0, 1, 0xB6, 0x12, 0x34, 0x7E, 0x00, 0x00, 0x80, 0x55};
  EXPECT_EQ(CountResyncMarkers(inside, 16), 0);
  PictureHeader h;
  h.vopCodingType = CodingType::kBidirectional;
  h.vopFcodeForward = 1;
  h.vopFcodeBackward = 3;
  EXPECT_EQ(ResyncMarkerZeros(h), 18);
  // ffmpeg's mpeg4 encoder cuts its pictures into video packets.
  const Opened mpeg4 = Open("mpeg4_default.m4v");
  EXPECT_GT(SurveyPictures(mpeg4.source.pictures, mpeg4.layer).resyncMarkers, 0);
}

TEST(FrameRate, HeaderThenContainerThenTimes) {
  const Opened fixed = Open("xvid_tb30000.m4v");  // fixed_vop_rate 1
  const Ratio r1 = StreamFrameRate(fixed.source.pictures, fixed.layer, {50, 1});
  EXPECT_EQ(r1.num, 30000);
  EXPECT_EQ(r1.den, 1001);
  const Opened free = Open("mpeg4_tb1000.m4v");  // not fixed: 40 ticks of 1000
  const Ratio r2 = StreamFrameRate(free.source.pictures, free.layer);
  EXPECT_EQ(r2.num, 25);
  EXPECT_EQ(r2.den, 1);
  EXPECT_STREQ(FrameRateOrigin(free.source.pictures, free.layer), "from the picture times");
  const Ratio r3 = StreamFrameRate(free.source.pictures, free.layer, {24000, 1001});
  EXPECT_EQ(r3.num, 24000);
  EXPECT_STREQ(FrameRateOrigin(free.source.pictures, free.layer, {24000, 1001}), "stated by the container");
  const Ratio none = StreamFrameRate({}, VideoObjectLayer{});
  EXPECT_EQ(none.num, 25);
  EXPECT_EQ(none.den, 1);
}

}  // namespace

namespace {

using namespace tavrin::tool;

// Every P picture of every committed stream the decoder supports is walked
// to its end: the walk reads each code where the encoder put it.
TEST(MacroblockWalk, EveryPredictedPictureEndsCleanly) {
  const struct {
    const char* name;
    bool fourVectors;
    bool quantChanges;
  } cases[] = {
      {"mpeg4_default.m4v", false, false},    {"xvid_default.m4v", false, false},
      {"mpeg4_ip_mv4.m4v", true, false},      {"xvid_ip_mv4.m4v", true, false},
      {"mpeg4_ip_fastpan.m4v", false, false}, {"xvid_ip_fastpan.m4v", false, false},
      {"mpeg4_ip_aq.m4v", true, true},        {"xvid_ip_aq.m4v", true, true},
      {"mpeg4_custom_matrix.m4v", false, false}, {"xvid_custom_matrix.m4v", false, false},
      {"mpeg4_150x98.m4v", false, false},     {"xvid_ipb_long.m4v", true, false},
      {"mpeg4_ipb_tb30000.m4v", false, false}, {"sample.m4v", true, false},
      {"xvid_packed.avi", false, false},      {"mpeg4_ipb.mp4", false, false},
      {"mpeg4_mv4.mov", true, false},         {"mpeg4_ip_static.m4v", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Opened o = Open(c.name);
    const MacroblockCensus census = WalkPredictedPictures(o.source.pictures, o.layer, 1000);
    EXPECT_GT(census.pictures, 0);
    EXPECT_EQ(census.walked, census.pictures);
    EXPECT_EQ(census.fourVectors > 0, c.fourVectors) << census.fourVectors;
    EXPECT_EQ(census.quantChanges > 0, c.quantChanges) << census.quantChanges;
    EXPECT_GT(census.inter + census.notCoded + census.fourVectors, 0);
  }
}

TEST(MacroblockWalk, DamagedPicturesAreNotCounted) {
  const Opened o = Open("mpeg4_ip_mv4.m4v");
  std::vector<Bytes> damaged;
  for (const auto& p : o.source.pictures) {
    Bytes b(p.begin(), p.end());
    for (std::size_t i = 20; i < b.size(); i += 7) b[i] ^= 0x5A;
    damaged.push_back(b);
  }
  std::vector<std::span<const uint8_t>> spans(damaged.begin(), damaged.end());
  const MacroblockCensus census = WalkPredictedPictures(spans, o.layer, 1000);
  EXPECT_GT(census.pictures, 0);
  EXPECT_LT(census.walked, census.pictures);
}

}  // namespace
