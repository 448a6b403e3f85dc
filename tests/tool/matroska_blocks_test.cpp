// EBML numbers and element heads, and Matroska block heads and lacing, on
// hand-written bytes.
#include <gtest/gtest.h>

#include "container_builder.h"
#include "ebml.h"
#include "matroska_blocks.h"

namespace {

using namespace tavrin::tool;
using containertests::Bytes;

TEST(Ebml, VariableLengthIntegers) {
  const struct {
    Bytes bytes;
    bool valid;
    uint64_t value;
    std::size_t length;
    bool allOnes;
  } cases[] = {
      {{0x81}, true, 1, 1, false},
      {{0xFF}, true, 127, 1, true},
      {{0x40, 0x02}, true, 2, 2, false},
      {{0x7F, 0xFF}, true, 0x3FFF, 2, true},
      {{0x10, 0x00, 0x01, 0x00}, true, 256, 4, false},
      {{0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, true, (uint64_t{1} << 56) - 1, 8, true},
      {{0x01, 0, 0, 0, 0, 0, 0, 5}, true, 5, 8, false},
      {{0x00, 0x81}, false, 0, 0, false},        // no length marker in the first byte
      {{0x40}, false, 0, 0, false},              // cut short
      {{}, false, 0, 0, false},
  };
  for (const auto& c : cases) {
    const auto v = ebml::ReadVarInt(c.bytes, 0);
    ASSERT_EQ(v.has_value(), c.valid) << ::testing::PrintToString(c.bytes);
    if (!v) continue;
    EXPECT_EQ(v->value, c.value);
    EXPECT_EQ(v->length, c.length);
    EXPECT_EQ(v->allOnes, c.allOnes);
  }
  // IDs are at most 4 bytes long.
  EXPECT_FALSE(ebml::ReadVarInt(Bytes{0x08, 0, 0, 0, 1}, 0, 4).has_value());
}

TEST(Ebml, ElementHeads) {
  // A known size, one running past the end, an unknown size, reserved IDs.
  const Bytes known = {0x1A, 0x45, 0xDF, 0xA3, 0x83, 1, 2, 3, 9};
  const auto e = ebml::ReadElement(known, 0, known.size());
  ASSERT_TRUE(e);
  EXPECT_EQ(e->id, 0x1A45DFA3u);
  EXPECT_EQ(e->bodyBegin, 5u);
  EXPECT_EQ(e->bodyEnd, 8u);
  EXPECT_FALSE(e->clipped);
  const auto clipped = ebml::ReadElement(known, 0, 6);
  ASSERT_TRUE(clipped);
  EXPECT_TRUE(clipped->clipped);
  EXPECT_EQ(clipped->bodyEnd, 6u);
  const Bytes open = {0xA3, 0xFF, 7, 7};
  const auto unknown = ebml::ReadElement(open, 0, open.size());
  ASSERT_TRUE(unknown);
  EXPECT_TRUE(unknown->unknownSize);
  EXPECT_EQ(unknown->bodyEnd, 4u);
  EXPECT_FALSE(ebml::ReadElement(Bytes{0xFF, 0x81, 0}, 0, 3));  // ID of all ones
  EXPECT_FALSE(ebml::ReadElement(Bytes{0x80, 0x81, 0}, 0, 3));  // ID of all zeros
  EXPECT_FALSE(ebml::ReadElement(Bytes{0xA3}, 0, 1));           // no size
  EXPECT_EQ(ebml::ReadUnsigned(Bytes{}), 0u);
  EXPECT_EQ(ebml::ReadUnsigned(Bytes{1, 0}), 256u);
  EXPECT_FALSE(ebml::ReadUnsigned(Bytes(9, 1)));
  EXPECT_EQ(ebml::ReadString(Bytes{'a', 'b', 0, 0}), "ab");
}

TEST(MatroskaBlocks, Heads) {
  // Track 1, time -2, keyframe with EBML lacing.
  const Bytes body = {0x81, 0xFF, 0xFE, 0x86, 0x00};
  const auto head = matroska::ReadBlockHead(body);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->track, 1u);
  EXPECT_EQ(head->relativeTime, -2);
  EXPECT_EQ(head->lacing, matroska::Lacing::kEbml);
  EXPECT_EQ(head->dataOffset, 4u);
  // A two-byte track number.
  const auto wide = matroska::ReadBlockHead(Bytes{0x40, 0x90, 0, 40, 0});
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->track, 0x90u);
  EXPECT_EQ(wide->relativeTime, 40);
  EXPECT_FALSE(matroska::ReadBlockHead(Bytes{0x81, 0, 0}));
  EXPECT_FALSE(matroska::ReadBlockHead(Bytes{0x00, 0, 0, 0}));
}

TEST(MatroskaBlocks, Lacing) {
  using matroska::Lacing;
  const struct {
    const char* name;
    Lacing lacing;
    Bytes data;
    std::vector<std::size_t> sizes;  // empty: refused
  } cases[] = {
      {"no lacing", Lacing::kNone, Bytes(7, 1), {7}},
      {"no lacing, empty", Lacing::kNone, {}, {0}},
      // Xiph: 300 = 255 + 45, then 0 and 2, the rest (3) last.
      {"Xiph", Lacing::kXiph, containertests::Cat({{3, 255, 45, 0, 2}, Bytes(305, 9)}), {300, 0, 2, 3}},
      {"Xiph, 255 exactly", Lacing::kXiph, containertests::Cat({{1, 255, 0}, Bytes(256, 9)}), {255, 1}},
      {"Xiph, sizes past the end", Lacing::kXiph, {2, 255, 255}, {}},
      {"Xiph, frames past the end", Lacing::kXiph, {1, 9, 1, 2}, {}},
      // EBML: 500, then +2 (one byte, bias 63: 0x80 | 65), then -502 (two
      // bytes, bias 8191: 0x4000 | 7689).
      {"EBML", Lacing::kEbml, containertests::Cat({{3, 0x41, 0xF4, 0x80 | 65, 0x5E, 0x09}, Bytes(1005, 9)}),
       {500, 502, 0, 3}},
      {"EBML, below zero", Lacing::kEbml, {2, 0x81, 0x80, 1, 1, 1}, {}},
      {"EBML, past the end", Lacing::kEbml, {1, 0x90, 1}, {}},
      {"EBML, size cut", Lacing::kEbml, {1, 0x40}, {}},
      {"fixed", Lacing::kFixed, containertests::Cat({{2}, Bytes(9, 9)}), {3, 3, 3}},
      {"fixed, uneven", Lacing::kFixed, containertests::Cat({{2}, Bytes(8, 9)}), {}},
      {"laced, no lace head", Lacing::kXiph, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::span<const uint8_t>> frames;
    std::string error;
    const bool ok = matroska::SplitFrames(c.data, c.lacing, frames, error);
    ASSERT_EQ(ok, !c.sizes.empty()) << error;
    if (!ok) {
      EXPECT_TRUE(frames.empty());
      EXPECT_FALSE(error.empty());
      continue;
    }
    ASSERT_EQ(frames.size(), c.sizes.size());
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i].size(), c.sizes[i]) << i;
    // The frames end where the data ends.
    EXPECT_EQ(frames.back().data() + frames.back().size(), c.data.data() + c.data.size());
  }
}

}  // namespace
