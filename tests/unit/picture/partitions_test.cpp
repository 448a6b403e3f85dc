// Data-partitioned streams with their residuals in the reversible codes
// (made from ffmpeg's streams by tests/support/rvlc_rewriter): they decode
// to the same pictures as the originals, as ffmpeg's decoder agrees; and
// where a packet's residuals are damaged, reading them from the packet's
// end as well keeps macroblocks the ordinary codes lose.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/reference_decode.h"
#include "support/rvlc_rewriter.h"
#include "support/test_paths.h"
#include "tavrin.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
  const char* name;
  int width, height;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kStreams[] = {{"mpeg4_data_partitioned.m4v", 176, 144},
                         {"partitioned_ip_pan.m4v", 176, 144},
                         {"partitioned_ipb_aq.m4v", 176, 144},
                         {"partitioned_zoom_180x100_ip.m4v", 180, 100}};

Bytes ReadStream(const std::string& name) {
  Bytes bytes;
  EXPECT_TRUE(testsupport::ReadFileBytes(testsupport::DataPath(name), bytes)) << name;
  return bytes;
}

// Every picture the decoder returns (luma only), in decoding order.
std::vector<Bytes> Decode(const Bytes& stream, int width, int height, int quality) {
  std::vector<size_t> starts;
  size_t object = stream.size();
  for (size_t i = 0; i + 3 < stream.size(); ++i) {
    if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1) continue;
    if (stream[i + 3] <= 0x1F && object == stream.size()) object = i;
    if (stream[i + 3] == 0xB6) starts.push_back(i);
  }
  std::vector<Bytes> pictures;
  if (starts.empty() || object > starts[0]) return pictures;
  DecoderInput header{};
  header.data = stream.data() + object;
  header.length = static_cast<uint32_t>(starts[0] - object);
  header.width = width;
  header.height = height;
  DecoderOutput out{};
  const TavrinHandle h = TavrinDecoder_CreateDecoder(&header, &out);
  TavrinDecoder_SetVideoQuality(h, quality);
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = i + 1 < starts.size() ? starts[i + 1] : stream.size();
    DecoderInput frame{};
    frame.data = stream.data() + starts[i];
    frame.length = static_cast<uint32_t>(end - starts[i]);
    Bytes luma;
    if (TavrinDecoder_DecoderOneFrame(h, &frame, &out) == 1)
      for (int y = 0; y < height; ++y) luma.insert(luma.end(), out.planeY + y * out.strideY, out.planeY + y * out.strideY + width);
    pictures.push_back(std::move(luma));
  }
  TavrinDecoder_ReleaseDecoder(h);
  return pictures;
}

class ReversibleStreams : public ::testing::TestWithParam<Case> {};

TEST_P(ReversibleStreams, DecodeAsTheOriginalsDo) {
  const Case c = GetParam();
  const Bytes original = ReadStream(c.name);
  const testsupport::ReversibleStream rewritten = testsupport::RewriteWithReversibleCodes(original);
  ASSERT_EQ(rewritten.error, "");
  ASSERT_FALSE(rewritten.residuals.empty());
  EXPECT_NE(rewritten.bytes, original);
  for (int quality : {0, 1}) {
    const auto want = Decode(original, c.width, c.height, quality);
    const auto got = Decode(rewritten.bytes, c.width, c.height, quality);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i] == want[i]) << "picture " << i << ", quality " << quality;
  }
  // ffmpeg reads the reversible codes to the same pictures: the tables and
  // the escape are right, not only consistent with themselves.
  const std::string path = testsupport::CacheDir() + "/reversible_" + c.name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(rewritten.bytes.data()), static_cast<std::streamsize>(rewritten.bytes.size()));
  const auto theirs = testsupport::ReferenceDecode(path, c.width, c.height);
  const auto reference = testsupport::ReferenceDecode(testsupport::DataPath(c.name), c.width, c.height);
  ASSERT_EQ(theirs.size(), reference.size());
  for (size_t i = 0; i < theirs.size(); ++i) EXPECT_TRUE(theirs[i].y == reference[i].y) << "ffmpeg, picture " << i;
}

INSTANTIATE_TEST_SUITE_P(Partitioned, ReversibleStreams, ::testing::ValuesIn(kStreams), [](const auto& info) {
  const std::string name = info.param.name;
  return name.substr(0, name.size() - 4);
});

// Macroblocks of picture k whose luma equals the clean decode's.
int Intact(const Bytes& got, const Bytes& want, int width, int height) {
  int same = 0;
  for (int y = 0; y + 16 <= height; y += 16)
    for (int x = 0; x + 16 <= width; x += 16) {
      bool equal = true;
      for (int r = y; r < y + 16 && equal; ++r)
        for (int col = x; col < x + 16; ++col) equal = equal && got[static_cast<size_t>(r * width + col)] == want[static_cast<size_t>(r * width + col)];
      same += equal ? 1 : 0;
    }
  return same;
}

// A few bits flipped in the middle of long residual partitions: with the
// ordinary codes everything after the damage loses its residuals; with the
// reversible ones the macroblocks after it are read from the packet's end.
TEST(ReversibleStreams, BackwardReadingKeepsMacroblocksTheOrdinaryCodesLose) {
  const Case c{"partitioned_ip_pan.m4v", 176, 144};
  const Bytes original = ReadStream(c.name);
  const testsupport::ReversibleStream rewritten = testsupport::RewriteWithReversibleCodes(original);
  ASSERT_EQ(rewritten.error, "");
  const auto clean = Decode(original, c.width, c.height, 0);
  int keptOrdinary = 0, keptReversible = 0, damaged = 0;
  for (const auto& span : rewritten.residuals) {
    if (span.end - span.begin < 800 || span.picture == 0) continue;
    Bytes ordinary = original;
    Bytes reversible = rewritten.bytes;
    // Eight bits a little before the middle of the same partition of both.
    const int64_t at = span.inputBegin + (span.inputEnd - span.inputBegin) * 2 / 5;
    const int64_t rat = span.begin + (span.end - span.begin) * 2 / 5;
    for (int b = 0; b < 8; b += 2) {
      ordinary[static_cast<size_t>((at + b) >> 3)] ^= static_cast<uint8_t>(0x80u >> ((at + b) & 7));
      reversible[static_cast<size_t>((rat + b) >> 3)] ^= static_cast<uint8_t>(0x80u >> ((rat + b) & 7));
    }
    const auto a = Decode(ordinary, c.width, c.height, 0);
    const auto b = Decode(reversible, c.width, c.height, 0);
    keptOrdinary += Intact(a[span.picture], clean[span.picture], c.width, c.height);
    keptReversible += Intact(b[span.picture], clean[span.picture], c.width, c.height);
    ++damaged;
  }
  ASSERT_GE(damaged, 5);
  EXPECT_GT(keptReversible, keptOrdinary + damaged) << damaged << " packets damaged";
}

}  // namespace
