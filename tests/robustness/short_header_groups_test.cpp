// Damage in a group of blocks of a short-header picture: the picture
// resumes at the next group header, whose groups come out as in the clean
// stream; the groups before the damage are kept; the macroblocks in
// between are lost as a damaged video packet's are.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "robust_decode.h"

namespace robustness {
namespace {

// Byte offsets of the group headers of a picture as ffmpeg writes them (on
// a byte boundary): 00 00, then a 1 and a group number of 1 to 17.
std::vector<size_t> GroupHeaders(const Bytes& p) {
  std::vector<size_t> at;
  for (size_t i = 3; i + 2 < p.size(); ++i) {
    const int group = (p[i + 2] >> 2) & 31;
    if (p[i] == 0 && p[i + 1] == 0 && (p[i + 2] & 0x80) && group >= 1 && group <= 17) at.push_back(i);
  }
  return at;
}

int GroupNumber(const Bytes& p, size_t header) { return (p[header + 2] >> 2) & 31; }

// Whether luma rows [first, end) (in pixels) of two decoded pictures agree.
bool RowsAgree(const Bytes& a, const Bytes& b, int width, int first, int end) {
  const size_t from = static_cast<size_t>(first) * width;
  const size_t count = static_cast<size_t>(end - first) * width;
  return a.size() == b.size() && std::memcmp(a.data() + from, b.data() + from, count) == 0;
}

struct Case {
  size_t picture;  // which picture of h263_cif_ip_gob.263 to damage
  int quality;
};

class GroupResume : public ::testing::TestWithParam<Case> {};

TEST_P(GroupResume, LaterGroupsDecodeAsInTheCleanStream) {
  const Case c = GetParam();
  const Stream clean = LoadStream("h263_cif_ip_gob.263", 352, 288);
  ASSERT_GT(clean.pictures.size(), c.picture);
  Settings settings;
  settings.videoQuality = c.quality;
  const Decoded reference = DecodeAll(clean, settings);

  // Garbage right after one group header: the groups from the next header
  // on must be the clean ones, those in front of the damaged one too.
  Stream damaged = clean;
  Bytes& p = damaged.pictures[c.picture];
  const std::vector<size_t> headers = GroupHeaders(p);
  ASSERT_GE(headers.size(), 2u) << "picture " << c.picture << " has too few group headers";
  const size_t hit = headers[0];
  const size_t next = headers[1];
  ASSERT_GT(next, hit + 12);
  for (size_t i = hit + 5; i < hit + 12; ++i) p[i] = 0x5A;
  if (c.picture == 0) damaged.header = p;
  const Decoded d = DecodeAll(damaged, settings);
  ASSERT_EQ(d.calls.size(), reference.calls.size());

  const Bytes& ours = d.calls[c.picture].picture;
  const Bytes& theirs = reference.calls[c.picture].picture;
  ASSERT_EQ(d.calls[c.picture].result, 1);
  const int damagedRow = 16 * GroupNumber(p, hit);
  const int resumedRow = 16 * GroupNumber(p, next);
  EXPECT_TRUE(RowsAgree(ours, theirs, 352, 0, damagedRow)) << "groups in front of the damage";
  EXPECT_TRUE(RowsAgree(ours, theirs, 352, resumedRow, 288)) << "groups from the next header on";
  EXPECT_FALSE(RowsAgree(ours, theirs, 352, damagedRow, resumedRow)) << "the damaged group decoded cleanly";
}

INSTANTIATE_TEST_SUITE_P(IntraAndPredicted, GroupResume,
                         ::testing::Values(Case{0, 0}, Case{0, 1}, Case{3, 0}, Case{3, 1}, Case{6, 0}),
                         [](const auto& info) {
                           return "picture" + std::to_string(info.param.picture) + "_quality" +
                                  std::to_string(info.param.quality);
                         });

}  // namespace
}  // namespace robustness
