// Video quality 1 (the own-transform reconstruction of I and P pictures)
// through the exported interface, compared with ffmpeg's decode: committed
// constant-quantiser streams of both encoders, a stream cut into video
// packets, and streams decoded with the setting switched every few pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "elementary_stream.h"
#include "stream_decode.h"
#include "stream_headers.h"
#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "tavrin.h"

namespace {

using streamtests::CompareWithReference;
using streamtests::DecodeStream;
using testsupport::YuvPicture;
using tavrin::tool::CodingType;

constexpr double kMinimumPsnr = 40.0;
constexpr double kAveragePsnr = 50.0;

// Luma PSNR of every picture against ffmpeg: same count, every picture at
// least kMinimumPsnr, the average at least kAveragePsnr.
void ExpectCloseToReference(const std::string& path, const std::vector<YuvPicture>& ours,
                            int width, int height) {
  const auto reference = testsupport::ReferenceDecode(path, width, height);
  ASSERT_EQ(ours.size(), reference.size());
  ASSERT_GT(ours.size(), 0u);
  double sum = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    const double psnr = testsupport::LumaPsnr(reference[i], ours[i]);
    EXPECT_GE(psnr, kMinimumPsnr) << "picture " << i;
    sum += psnr;
  }
  EXPECT_GE(sum / static_cast<double>(ours.size()), kAveragePsnr);
}

class SecondPath : public ::testing::TestWithParam<const char*> {};

TEST_P(SecondPath, MatchesTheReferenceDecode) {
  tavrin::tool::DecodeSettings settings;
  settings.videoQuality = 1;
  const auto decoded = DecodeStream(GetParam(), settings);
  ASSERT_EQ(decoded.error, "");
  const auto fidelity = CompareWithReference(GetParam(), decoded);
  EXPECT_EQ(fidelity.ours, fidelity.reference);
  ASSERT_GT(fidelity.ours, 0u);
  EXPECT_GE(fidelity.average, kAveragePsnr);
  for (size_t i = 0; i < fidelity.perPicture.size(); ++i)
    EXPECT_GE(fidelity.perPicture[i], kMinimumPsnr) << "picture " << i;
}

std::string CaseName(const ::testing::TestParamInfo<const char*>& info) {
  const std::string name = info.param;
  return name.substr(0, name.size() - 4);
}

INSTANTIATE_TEST_SUITE_P(
    IntraPictures, SecondPath,
    ::testing::Values("mpeg4_intra_q2.m4v", "mpeg4_intra_q20.m4v", "xvid_intra_q2.m4v",
                      "xvid_intra_q20.m4v", "mpeg4_intra_98x74.m4v", "xvid_intra_98x74.m4v",
                      "mpeg4_intra_mpegquant.m4v", "xvid_intra_custom_matrix.m4v"),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    PredictedPictures, SecondPath,
    ::testing::Values("xvid_turn_ip_mv4_aq.m4v", "mpeg4_ip_mv4.m4v", "xvid_ip_mv4.m4v", "mpeg4_ip_scroll.m4v",
                      "mpeg4_ip_fastpan.m4v", "xvid_ip_fastpan.m4v", "mpeg4_ip_static.m4v",
                      "xvid_ip_static.m4v", "mpeg4_150x98.m4v", "xvid_150x98.m4v",
                      "mpeg4_custom_matrix.m4v", "xvid_mpegquant.m4v", "mpeg4_ip_long.m4v"),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    BidirectionalPictures, SecondPath,
    ::testing::Values("mpeg4_ipb_mpegquant.m4v", "xvid_ipb_custom_matrix.m4v",
                      "mpeg4_ipb_mv4.m4v", "xvid_ipb_mv4.m4v", "mpeg4_ipb_cif.m4v",
                      "xvid_ipb_cif.m4v", "xvid_ipb_long.m4v", "sample.m4v"),
    CaseName);

// Sizes off the macroblock grid with vectors past the right and bottom edges.
INSTANTIATE_TEST_SUITE_P(
    MotionPastTheEdges, SecondPath,
    ::testing::Values("mpeg4_zoom_350x250_ipb_mv4.m4v", "xvid_zoom_350x250_ipb_mv4.m4v",
                      "mpeg4_zoom_180x100_ip_packets.m4v", "mpeg4_zoom_180x100_ipb_packets.m4v",
                      "mpeg4_zoom_180x100_ipb_mv4_packets.m4v",
                      "mpeg4_zoom_180x100_ip_mv4.m4v", "xvid_zoom_180x100_ip.m4v", "xvid_zoom_180x100_ipb.m4v",
                      "xvid_zoom_180x100_ip_mv4.m4v"),
    CaseName);

// Vectors in quarter samples: the luma of a macroblock with one vector is
// predicted whole before the residuals go on.
INSTANTIATE_TEST_SUITE_P(
    QuarterSample, SecondPath,
    ::testing::Values("mpeg4_qpel.m4v", "xvid_qpel.m4v", "qpel_mpeg4_ipb_mv4.m4v",
                      "qpel_xvid_ipb_mv4.m4v", "qpel_mpeg4_zoom_180x100_ipb_mv4.m4v",
                      "qpel_mpeg4_zoom_180x100_ipb_packets.m4v"),
    CaseName);

// S pictures with global motion.
INSTANTIATE_TEST_SUITE_P(
    GlobalMotion, SecondPath,
    ::testing::Values("xvid_gmc.m4v", "gmc_zoom_ip.m4v", "gmc_zoom_ipb.m4v", "gmc_zoom_150x98_ipb.m4v",
                      "gmc_turn_ip_mv4_aq.m4v", "gmc_turn_ip_1point.m4v", "gmc_zoom_150x98_ipb_2points.m4v",
                      "gmc_zoom_ipb_0points.m4v", "gmc_qpel_ipb.m4v"),
    CaseName);

// Short-header (baseline H.263) streams: the second path's own intra blocks
// (fixed-length DC, no prediction) and residuals.
INSTANTIATE_TEST_SUITE_P(
    ShortHeader, SecondPath,
    ::testing::Values("h263_qcif_intra_q2.263", "h263_qcif_intra_q12.263", "h263_qcif_ip_q4.263",
                      "h263_qcif_ip_aq.263", "h263_qcif_ip_fastpan.263", "h263_subqcif_ip.263",
                      "h263_cif_ip_gob.263", "h263_4cif_ip_gob.263", "h263_qcif_ip.3gp"),
    CaseName);

// Interlaced layers: field DCT blocks and the alternate vertical scan through
// the second path's own steps, onto field and frame predictions.
INSTANTIATE_TEST_SUITE_P(
    Interlaced, SecondPath,
    ::testing::Values("interlaced_mpeg4_intra.m4v", "mpeg4_interlaced.m4v",
                      "interlaced_mpeg4_ipb_tff.m4v", "interlaced_mpeg4_ipb_bff_alt.m4v",
                      "interlaced_mpeg4_ipb_200x120.m4v", "interlaced_mpeg4_ipb_packets.m4v",
                      "interlaced_xvid_ipb_tff.m4v",
                      "interlaced_xvid_ipb_bff_alt.m4v", "interlaced_xvid_ipb_200x120.m4v"),
    CaseName);

// Data partitioning: the partitioned packets' macroblocks go through the
// second path's reconstruction as any others.
INSTANTIATE_TEST_SUITE_P(
    DataPartitioning, SecondPath,
    ::testing::Values("mpeg4_data_partitioned.m4v", "partitioned_ip_pan.m4v", "partitioned_ipb_aq.m4v",
                      "partitioned_zoom_180x100_ip.m4v", "partitioned_rvlc_ip_pan.m4v"),
    CaseName);

// Interlaced layers with quarter samples and with global motion: residuals
// of the second path onto quarter-sample field predictions and onto the
// warp.
INSTANTIATE_TEST_SUITE_P(
    InterlacedQuarterSampleAndGlobalMotion, SecondPath,
    ::testing::Values("interlaced_qpel_mpeg4_ipb_tff.m4v", "interlaced_qpel_mpeg4_ipb_mv4_bff_alt.m4v",
                      "interlaced_qpel_mpeg4_zoom_180x100_ipb_mv4.m4v",
                      "interlaced_qpel_xvid_ipb_mv4_tff.m4v", "interlaced_gmc_xvid_ipb_tff.m4v",
                      "interlaced_gmc_xvid_ip_150x98_bff_alt.m4v",
                      "interlaced_qpel_gmc_xvid_ipb_bff.m4v"),
    CaseName);

// One shown picture of a decode with a setting per picture: which call
// (decode order) produced it, its coding type and the setting of that call.
struct Shown {
  YuvPicture picture;
  size_t call = 0;
  CodingType type = CodingType::kIntra;
  int videoQuality = 0;
};

struct SettingDecode {
  std::vector<Shown> shown;
  int width = 0;
  int height = 0;
  std::string error;

  std::vector<YuvPicture> Pictures() const {
    std::vector<YuvPicture> out;
    for (const Shown& s : shown) out.push_back(s.picture);
    return out;
  }
  const Shown* ByCall(size_t call) const {
    for (const Shown& s : shown)
      if (s.call == call) return &s;
    return nullptr;
  }
};

YuvPicture CopyOut(const DecoderOutput& o, int width, int height) {
  YuvPicture p;
  p.width = width;
  p.height = height;
  const int cw = p.chromaWidth(), ch = p.chromaHeight();
  p.y.resize(static_cast<size_t>(width) * height);
  p.cb.resize(static_cast<size_t>(cw) * ch);
  p.cr.resize(static_cast<size_t>(cw) * ch);
  for (int r = 0; r < height; ++r)
    std::memcpy(&p.y[static_cast<size_t>(r) * width], o.planeY + static_cast<ptrdiff_t>(r) * o.strideY,
                static_cast<size_t>(width));
  for (int r = 0; r < ch; ++r) {
    std::memcpy(&p.cb[static_cast<size_t>(r) * cw], o.planeCb + static_cast<ptrdiff_t>(r) * o.strideCb,
                static_cast<size_t>(cw));
    std::memcpy(&p.cr[static_cast<size_t>(r) * cw], o.planeCr + static_cast<ptrdiff_t>(r) * o.strideCr,
                static_cast<size_t>(cw));
  }
  return p;
}

// Decodes the stream at path through the exported interface, setting the
// video quality qualityOf(call) before each decode call, and puts the
// pictures into display order as the tool does: an I or P picture is shown
// when the next one arrives (or at the end), a B picture at once, a picture
// with vop_coded 0 never.
SettingDecode DecodeWithSettings(const std::string& path,
                                 const std::function<int(size_t)>& qualityOf) {
  namespace tool = tavrin::tool;
  SettingDecode result;
  std::vector<uint8_t> bytes;
  if (!testsupport::ReadFileBytes(path, bytes)) {
    result.error = "cannot read " + path;
    return result;
  }
  const tool::SplitResult split = tool::SplitElementaryStream(bytes);
  if (!split.ok()) {
    result.error = split.error;
    return result;
  }
  const auto header = split.stream.Header(bytes);
  const tool::LayerHeaderResult layer = tool::ParseVideoObjectLayer(header);
  if (!layer.supported()) {
    result.error = "unsupported layer header";
    return result;
  }
  result.width = layer.layer.videoObjectLayerWidth;
  result.height = layer.layer.videoObjectLayerHeight;
  DecoderInput input{};
  input.data = header.data();
  input.length = static_cast<uint32_t>(header.size());
  input.width = result.width;
  input.height = result.height;
  DecoderOutput info{};
  const TavrinHandle handle = TavrinDecoder_CreateDecoder(&input, &info);
  if (handle == 0) {
    result.error = "no decoder";
    return result;
  }
  bool holding = false;
  Shown held;
  for (size_t call = 0; call < split.stream.pictures.size(); ++call) {
    const int quality = qualityOf(call);
    TavrinDecoder_SetVideoQuality(handle, quality);
    const auto picture = split.stream.Picture(bytes, call);
    const tool::PictureHeaderResult parsed = tool::ParsePictureHeader(picture, layer.layer);
    DecoderInput frame{};
    frame.data = picture.data();
    frame.length = static_cast<uint32_t>(picture.size());
    DecoderOutput output{};
    const bool returned = TavrinDecoder_DecoderOneFrame(handle, &frame, &output) == 1;
    if (!returned || !parsed.ok() || !parsed.header.vopCoded) continue;
    Shown shown{CopyOut(output, result.width, result.height), call, parsed.header.vopCodingType,
                quality};
    if (shown.type == CodingType::kBidirectional) {
      result.shown.push_back(std::move(shown));
    } else if (shown.type != CodingType::kSprite) {
      if (holding) result.shown.push_back(std::move(held));
      held = std::move(shown);
      holding = true;
    }
  }
  if (holding) result.shown.push_back(std::move(held));
  TavrinDecoder_ReleaseDecoder(handle);
  return result;
}

bool SamePicture(const YuvPicture& a, const YuvPicture& b) {
  return a.width == b.width && a.height == b.height && a.y == b.y && a.cb == b.cb && a.cr == b.cr;
}

struct SwitchCase {
  const char* name;
  size_t period;  // decode calls between switches
};

void PrintTo(const SwitchCase& c, std::ostream* os) { *os << c.name << " every " << c.period; }

class SwitchedSetting : public ::testing::TestWithParam<SwitchCase> {};

// The setting alternates every `period` calls, starting with 1 and with 0.
TEST_P(SwitchedSetting, StaysCloseAndIntraPicturesAfterASwitchMatchAWholeDecode) {
  const SwitchCase& c = GetParam();
  const std::string path = testsupport::DataPath(c.name);
  const SettingDecode whole[2] = {DecodeWithSettings(path, [](size_t) { return 0; }),
                                  DecodeWithSettings(path, [](size_t) { return 1; })};
  ASSERT_EQ(whole[0].error, "");
  ASSERT_EQ(whole[1].error, "");
  for (int first = 0; first < 2; ++first) {
    SCOPED_TRACE(::testing::Message() << "first setting " << first);
    const auto qualityOf = [&](size_t call) {
      return static_cast<int>((call / c.period + static_cast<size_t>(first)) % 2);
    };
    const SettingDecode switched = DecodeWithSettings(path, qualityOf);
    ASSERT_EQ(switched.error, "");
    ExpectCloseToReference(path, switched.Pictures(), switched.width, switched.height);

    int intraAfterSwitch = 0;
    for (const Shown& s : switched.shown) {
      const bool afterSwitch = s.call > 0 && qualityOf(s.call) != qualityOf(s.call - 1);
      if (!afterSwitch || s.type != CodingType::kIntra) continue;
      const Shown* same = whole[s.videoQuality].ByCall(s.call);
      ASSERT_NE(same, nullptr) << "call " << s.call;
      EXPECT_TRUE(SamePicture(s.picture, same->picture)) << "call " << s.call;
      ++intraAfterSwitch;
    }
    EXPECT_GT(intraAfterSwitch, 0) << "no switch lands on an intra picture";
  }
  // The two settings do give different pictures, so the comparisons above
  // tell them apart.
  ASSERT_EQ(whole[0].shown.size(), whole[1].shown.size());
  EXPECT_FALSE(SamePicture(whole[0].shown[0].picture, whole[1].shown[0].picture));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, SwitchedSetting,
    ::testing::Values(SwitchCase{"mpeg4_ip_mv4.m4v", 4}, SwitchCase{"xvid_ip_mv4.m4v", 4},
                      SwitchCase{"mpeg4_ipb.m4v", 5}, SwitchCase{"xvid_gop4.m4v", 2}),
    [](const auto& info) {
      const std::string name = info.param.name;
      return name.substr(0, name.size() - 4);
    });

// ffmpeg cuts pictures into video packets when asked for a packet size;
// nothing is predicted across a packet boundary, on this path as on the
// other.  The stream is made once into the test cache.
TEST(SecondPathPackets, StreamCutIntoVideoPacketsMatchesTheReferenceDecode) {
  if (!testsupport::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not available";
  const std::string path = testsupport::CacheDir() + "/second_path_packets.m4v";
  if (!std::filesystem::exists(path)) {
    const std::string made = path + ".part";
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -nostdin -y -threads 1 -fflags +bitexact -f lavfi "
        "-i testsrc2=size=176x144:rate=25 -frames:v 12 -c:v mpeg4 -flags +bitexact+mv4 -bf 2 "
        "-g 6 -ps 200 -q:v 4 -f m4v '" + made + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::filesystem::rename(made, path);
  }
  // The layer allows resynchronisation markers, and the pictures hold many
  // byte-aligned runs of 16 zeros followed by a 1, as markers are.
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(testsupport::ReadFileBytes(path, bytes));
  const auto layer = tavrin::tool::ParseVideoObjectLayer(bytes);
  ASSERT_TRUE(layer.supported());
  EXPECT_FALSE(layer.layer.resyncMarkerDisable);
  size_t markers = 0;
  for (size_t i = 0; i + 2 < bytes.size(); ++i)
    markers += bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] >= 0x80 ? 1 : 0;
  EXPECT_GT(markers, 24u);

  const SettingDecode decoded = DecodeWithSettings(path, [](size_t) { return 1; });
  ASSERT_EQ(decoded.error, "");
  ExpectCloseToReference(path, decoded.Pictures(), decoded.width, decoded.height);
}

}  // namespace
