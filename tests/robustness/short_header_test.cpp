// Short-header pictures the decoder cannot take, and damage in a group of
// blocks: the picture goes on at the next group header, whose groups come
// out as in the clean stream, as do the groups in front of the damage; the
// macroblocks in between are lost as a damaged video packet's are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "robust_decode.h"
#include "support/reference_decode.h"

namespace robustness {
namespace {

// Byte offsets of the group headers as ffmpeg writes them (on a byte
// boundary): 00 00, then a 1 and a group number of 1 to 17.
std::vector<size_t> GroupHeaders(const Bytes& p) {
  std::vector<size_t> at;
  for (size_t i = 3; i + 2 < p.size(); ++i) {
    const int group = (p[i + 2] >> 2) & 31;
    if (p[i] == 0 && p[i + 1] == 0 && (p[i + 2] & 0x80) && group >= 1 && group <= 17) at.push_back(i);
  }
  return at;
}

bool RowsAgree(const Bytes& a, const Bytes& b, int first, int end) {
  return a.size() == b.size() && std::memcmp(a.data() + first * 352, b.data() + first * 352, (end - first) * 352) == 0;
}

// Picture (0 intra, 3 and 6 predicted) and video quality.
class GroupResume : public ::testing::TestWithParam<std::pair<size_t, int>> {};

TEST_P(GroupResume, LaterGroupsDecodeAsInTheCleanStream) {
  const auto [k, quality] = GetParam();
  const Stream clean = LoadStream("h263_cif_ip_gob.263", 352, 288);
  Settings settings;
  settings.videoQuality = quality;
  const Decoded reference = DecodeAll(clean, settings);
  // Garbage right after the first group header.
  Stream damaged = clean;
  Bytes& p = damaged.pictures[k];
  const std::vector<size_t> headers = GroupHeaders(p);
  ASSERT_GE(headers.size(), 2u);
  ASSERT_GT(headers[1], headers[0] + 12);
  for (size_t i = headers[0] + 5; i < headers[0] + 12; ++i) p[i] = 0x5A;
  if (k == 0) damaged.header = p;
  const Decoded d = DecodeAll(damaged, settings);
  ASSERT_EQ(d.calls.size(), reference.calls.size());
  ASSERT_EQ(d.calls[k].result, 1);
  const Bytes& ours = d.calls[k].picture;
  const Bytes& theirs = reference.calls[k].picture;
  const int damagedRow = 16 * ((p[headers[0] + 2] >> 2) & 31);
  const int resumedRow = 16 * ((p[headers[1] + 2] >> 2) & 31);
  EXPECT_TRUE(RowsAgree(ours, theirs, 0, damagedRow)) << "groups in front of the damage";
  EXPECT_TRUE(RowsAgree(ours, theirs, resumedRow, 288)) << "groups from the next header on";
  EXPECT_FALSE(RowsAgree(ours, theirs, damagedRow, resumedRow)) << "the damaged group decoded cleanly";
}

INSTANTIATE_TEST_SUITE_P(IntraAndPredicted, GroupResume,
                         ::testing::Values(std::pair{size_t{0}, 0}, std::pair{size_t{0}, 1}, std::pair{size_t{3}, 0},
                                           std::pair{size_t{3}, 1}, std::pair{size_t{6}, 0}));

// Version-2 pictures (ffmpeg's h263p), advanced prediction and another
// source format: a decoder created on them decodes nothing; a baseline
// decoder handed them returns the previous picture again, and the pictures
// after them decode as if they had never come.
TEST(ShortHeaderRefusals, DecodeNothingAndChangeNothing) {
  Stream clean = LoadStream("h263_qcif_ip_q4.263", 176, 144);
  clean.pictures.resize(6);
  const Decoded reference = DecodeAll(clean);
  for (const char* name : {"h263_plus_qcif.263", "h263_obmc_qcif.263", "h263_cif_ip.263"}) {
    Stream refused = LoadStream(name, 176, 144);
    refused.pictures.resize(2);
    for (const CallResult& call : DecodeAll(refused).calls) EXPECT_EQ(call.result, 0) << name;
    Stream mixed = clean;
    mixed.pictures.insert(mixed.pictures.begin() + 3, refused.pictures.begin(), refused.pictures.end());
    const Decoded d = DecodeAll(mixed);
    const size_t cleanIndex[8] = {0, 1, 2, 2, 2, 3, 4, 5};
    for (size_t i = 0; i < 8; ++i)
      EXPECT_EQ(d.calls[i].picture, reference.calls[cleanIndex[i]].picture) << name << " call " << i;
  }
}

// Both filters change short-header pictures a little, the second one the
// chroma too.
TEST(ShortHeaderPostFilter, SmoothsThePictures) {
  Stream s = LoadStream("h263_qcif_ip_aq.263", 176, 144);
  s.pictures.resize(6);
  const Decoded plain = DecodeAll(s);
  for (int32_t filter : {1, 2}) {
    Settings settings;
    settings.postFilter = filter;
    const Decoded filtered = DecodeAll(s, settings);
    for (size_t i = 0; i < 6; ++i) {
      const Bytes& a = plain.calls[i].picture;
      const Bytes& b = filtered.calls[i].picture;
      const double psnr = testsupport::Psnr(a.data(), 176, b.data(), 176, 176, 144);
      EXPECT_TRUE(psnr > 30 && psnr < testsupport::kPsnrIdentical) << "picture " << i << ": " << psnr;
      EXPECT_EQ(std::equal(a.begin() + 176 * 144, a.end(), b.begin() + 176 * 144), filter == 1) << "picture " << i;
    }
  }
}

}  // namespace
}  // namespace robustness
