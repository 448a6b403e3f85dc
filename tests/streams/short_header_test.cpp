// Short-header (baseline H.263) streams through the exported interface the
// way a host that knows nothing of the tool drives it: the decoder created
// with the first picture's bytes and the size of its source format, then
// handed every picture, each from its start code to the next.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/reference_decode.h"
#include "support/test_paths.h"
#include "tavrin.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::YuvPicture;

// The pictures of a raw H.263 stream, split at the picture start codes
// (0000 0000 0000 0000 1000 00, on byte boundaries).
std::vector<Bytes> Pictures(const std::string& name) {
  Bytes bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  std::vector<size_t> starts;
  for (size_t i = 0; i + 2 < bytes.size(); ++i)
    if (bytes[i] == 0 && bytes[i + 1] == 0 && (bytes[i + 2] & 0xFC) == 0x80) starts.push_back(i);
  std::vector<Bytes> pictures;
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : bytes.size();
    pictures.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(starts[k]), bytes.begin() + static_cast<ptrdiff_t>(end));
  }
  return pictures;
}

YuvPicture Copy(const DecoderOutput& o, int width, int height) {
  YuvPicture p;
  p.width = width;
  p.height = height;
  p.y.resize(static_cast<size_t>(width) * height);
  p.cb.resize(static_cast<size_t>(width / 2) * (height / 2));
  p.cr.resize(p.cb.size());
  for (int r = 0; r < height; ++r)
    std::memcpy(&p.y[static_cast<size_t>(r) * width], o.planeY + static_cast<ptrdiff_t>(r) * o.strideY, width);
  for (int r = 0; r < height / 2; ++r) {
    std::memcpy(&p.cb[static_cast<size_t>(r) * (width / 2)], o.planeCb + static_cast<ptrdiff_t>(r) * o.strideCb, width / 2);
    std::memcpy(&p.cr[static_cast<size_t>(r) * (width / 2)], o.planeCr + static_cast<ptrdiff_t>(r) * o.strideCr, width / 2);
  }
  return p;
}

struct HostRun {
  TavrinHandle handle = 0;
  uint32_t timeResolution = 0;
  std::vector<int32_t> results;      // one per call
  std::vector<YuvPicture> pictures;  // one per call that returned 1
};

// Creates a decoder with `header`, hands over `pictures`, releases it.
HostRun Decode(const Bytes& header, const std::vector<Bytes>& pictures, int width, int height, int quality = 0,
               int postFilter = 0) {
  HostRun run;
  DecoderInput in{};
  in.data = header.data();
  in.length = static_cast<uint32_t>(header.size());
  in.width = width;
  in.height = height;
  DecoderOutput out{};
  run.handle = TavrinDecoder_CreateDecoder(&in, &out);
  run.timeResolution = out.timeResolution;
  if (run.handle == 0) return run;
  TavrinDecoder_SetVideoQuality(run.handle, quality);
  TavrinDecoder_SetPostFilter(run.handle, postFilter);
  for (const Bytes& p : pictures) {
    DecoderInput frame{};
    frame.data = p.data();
    frame.length = static_cast<uint32_t>(p.size());
    const int32_t result = TavrinDecoder_DecoderOneFrame(run.handle, &frame, &out);
    run.results.push_back(result);
    if (result == 1) run.pictures.push_back(Copy(out, width, height));
  }
  EXPECT_EQ(TavrinDecoder_ReleaseDecoder(run.handle), 1);
  return run;
}

struct StreamCase {
  const char* name;
  int width, height;
};
void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class CreatedWithTheFirstPicture : public ::testing::TestWithParam<StreamCase> {};

TEST_P(CreatedWithTheFirstPicture, EveryPictureMatchesFfmpeg) {
  const StreamCase& c = GetParam();
  const std::vector<Bytes> pictures = Pictures(c.name);
  ASSERT_FALSE(pictures.empty());
  for (int quality : {0, 1}) {
    const HostRun run = Decode(pictures.front(), pictures, c.width, c.height, quality);
    ASSERT_NE(run.handle, 0u);
    EXPECT_EQ(run.timeResolution, 30000u);
    for (int32_t r : run.results) EXPECT_EQ(r, 1);
    const auto reference = testsupport::ReferenceDecode(testsupport::DataPath(c.name), c.width, c.height);
    ASSERT_EQ(run.pictures.size(), reference.size());
    double sum = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
      const double psnr = testsupport::LumaPsnr(reference[i], run.pictures[i]);
      EXPECT_GE(psnr, quality == 0 ? 45.0 : 40.0) << "picture " << i << ", video quality " << quality;
      sum += psnr;
    }
    EXPECT_GE(sum / static_cast<double>(reference.size()), 50.0) << "video quality " << quality;
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, CreatedWithTheFirstPicture,
                         ::testing::Values(StreamCase{"h263_qcif_ip_aq.263", 176, 144},
                                           StreamCase{"h263_cif_ip_gob.263", 352, 288},
                                           StreamCase{"h263_subqcif_ip.263", 128, 96},
                                           StreamCase{"h263_4cif_ip_gob.263", 704, 576}),
                         [](const auto& info) {
                           const std::string name = info.param.name;
                           return name.substr(0, name.size() - 4);
                         });

bool SamePictures(const std::vector<YuvPicture>& a, const std::vector<YuvPicture>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].y != b[i].y || a[i].cb != b[i].cb || a[i].cr != b[i].cr) return false;
  return true;
}

TEST(ShortHeaderCreation, VideoObjectStartCodeInFrontChangesNothing) {
  std::vector<Bytes> pictures = Pictures("h263_qcif_ip_q4.263");
  ASSERT_GE(pictures.size(), 4u);
  const HostRun plain = Decode(pictures.front(), pictures, 176, 144);
  Bytes header{0x00, 0x00, 0x01, 0x00};
  header.insert(header.end(), pictures.front().begin(), pictures.front().end());
  pictures.front() = header;
  const HostRun prefixed = Decode(header, pictures, 176, 144);
  ASSERT_NE(prefixed.handle, 0u);
  EXPECT_EQ(prefixed.timeResolution, 30000u);
  EXPECT_EQ(prefixed.pictures.size(), pictures.size());
  EXPECT_TRUE(SamePictures(plain.pictures, prefixed.pictures));
}

// The post-filter smooths block edges of short-header pictures as of any
// others: each filtered picture differs from the decoded one, by little.
TEST(ShortHeaderPostFilter, FiltersTheDecodedPictures) {
  const std::vector<Bytes> pictures = Pictures("h263_qcif_ip_aq.263");
  ASSERT_GE(pictures.size(), 6u);
  const std::vector<Bytes> some(pictures.begin(), pictures.begin() + 6);
  const HostRun plain = Decode(some.front(), some, 176, 144);
  for (int filter : {1, 2}) {
    const HostRun filtered = Decode(some.front(), some, 176, 144, 0, filter);
    ASSERT_EQ(filtered.pictures.size(), plain.pictures.size());
    for (size_t i = 0; i < plain.pictures.size(); ++i) {
      const double luma = testsupport::LumaPsnr(plain.pictures[i], filtered.pictures[i]);
      EXPECT_LT(luma, testsupport::kPsnrIdentical) << "picture " << i << ", filter " << filter;
      EXPECT_GT(luma, 30.0) << "picture " << i << ", filter " << filter;
      EXPECT_EQ(plain.pictures[i].cb == filtered.pictures[i].cb, filter == 1) << "picture " << i;
    }
  }
}

TEST(ShortHeaderCreation, OtherHostSizesGiveAHandleThatDecodesNothing) {
  const std::vector<Bytes> pictures = Pictures("h263_qcif_ip_q4.263");
  ASSERT_GE(pictures.size(), 3u);
  const std::vector<Bytes> some(pictures.begin(), pictures.begin() + 3);
  for (auto [w, h] : {std::pair{352, 288}, {128, 96}, {176, 128}, {160, 144}, {177, 145}}) {
    const HostRun run = Decode(some.front(), some, w, h);
    EXPECT_NE(run.handle, 0u) << w << "x" << h;
    EXPECT_EQ(run.timeResolution, 30000u);
    for (int32_t r : run.results) EXPECT_EQ(r, 0) << w << "x" << h;
  }
}

// Streams whose every picture the decoder refuses (H.263 version 2 from
// ffmpeg's h263p encoder; advanced prediction): created on their first
// picture, the decoder decodes nothing; handed to a baseline decoder, each
// picture gives the previous one again and changes nothing for the next.
class RefusedPictures : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedPictures, DecodeNothingAndChangeNothing) {
  const std::vector<Bytes> refused = Pictures(GetParam());
  ASSERT_GE(refused.size(), 2u);
  const HostRun alone = Decode(refused.front(), refused, 176, 144);
  EXPECT_NE(alone.handle, 0u);
  EXPECT_EQ(alone.timeResolution, 30000u);
  for (int32_t r : alone.results) EXPECT_EQ(r, 0);

  const std::vector<Bytes> baseline = Pictures("h263_qcif_ip_q4.263");
  ASSERT_GE(baseline.size(), 6u);
  std::vector<Bytes> mixed(baseline.begin(), baseline.begin() + 3);
  mixed.push_back(refused[0]);
  mixed.push_back(refused[1]);
  mixed.insert(mixed.end(), baseline.begin() + 3, baseline.begin() + 6);
  const HostRun clean = Decode(baseline.front(), std::vector<Bytes>(baseline.begin(), baseline.begin() + 6), 176, 144);
  const HostRun run = Decode(baseline.front(), mixed, 176, 144);
  ASSERT_EQ(run.pictures.size(), mixed.size());
  // The refused calls return the third picture again ...
  EXPECT_TRUE(SamePictures({run.pictures[3], run.pictures[4]}, {clean.pictures[2], clean.pictures[2]}));
  // ... and every baseline picture is the clean decode's.
  EXPECT_TRUE(SamePictures({run.pictures[0], run.pictures[1], run.pictures[2], run.pictures[5], run.pictures[6],
                            run.pictures[7]},
                           clean.pictures));
}

INSTANTIATE_TEST_SUITE_P(Streams, RefusedPictures, ::testing::Values("h263_plus_qcif.263", "h263_obmc_qcif.263"),
                         [](const auto& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.size() - 4);
                         });

}  // namespace
