// Edge padding of a plane's border.
#include "primitives/padding/padding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using tavrin::reference::PadPlane;

// A plane of `rows` rows of `stride` bytes, random content.
std::vector<uint8_t> RandomPlane(std::mt19937& rng, int stride, int rows) {
  std::vector<uint8_t> p(static_cast<size_t>(stride) * rows);
  for (auto& b : p) b = static_cast<uint8_t>(rng());
  return p;
}

// The padded plane as the definition gives it: every sample of the padded
// area is the visible sample nearest to it; bytes right of the padded width
// keep their value.
std::vector<uint8_t> Expected(const std::vector<uint8_t>& in, int width, int height, int border,
                              int stride) {
  std::vector<uint8_t> out = in;
  for (int y = 0; y < height + 2 * border; ++y)
    for (int x = 0; x < width + 2 * border; ++x) {
      const int sx = std::clamp(x - border, 0, width - 1) + border;
      const int sy = std::clamp(y - border, 0, height - 1) + border;
      out[static_cast<size_t>(y * stride + x)] = in[static_cast<size_t>(sy * stride + sx)];
    }
  return out;
}

TEST(PadPlane, SixteenBySixteenLuma) {
  std::mt19937 rng(1);
  const int stride = 48;
  auto plane = RandomPlane(rng, stride, 48);
  auto at = [&](int x, int y) { return plane[static_cast<size_t>(y * stride + x)]; };
  const uint8_t topLeft = at(16, 16);
  std::vector<uint8_t> firstRow(plane.begin() + 16 * stride + 16, plane.begin() + 16 * stride + 32);
  ASSERT_EQ(tavrin::Ok, PadPlane(plane.data(), 16, 16, 16, stride));
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) ASSERT_EQ(topLeft, at(x, y)) << x << "," << y;
    for (int x = 16; x < 32; ++x) ASSERT_EQ(firstRow[static_cast<size_t>(x - 16)], at(x, y));
  }
}

TEST(PadPlane, RandomAgainstDefinition) {
  std::mt19937 rng(2);
  for (int iter = 0; iter < 300; ++iter) {
    const int width = 8 + static_cast<int>(rng() % 60);
    const int height = 1 + static_cast<int>(rng() % 60);
    const int border = 8 + static_cast<int>(rng() % 12);
    const int stride = width + 2 * border + static_cast<int>(rng() % 9);
    auto plane = RandomPlane(rng, stride, height + 2 * border + 2);
    auto want = Expected(plane, width, height, border, stride);
    ASSERT_EQ(tavrin::Ok, PadPlane(plane.data(), width, height, border, stride));
    ASSERT_EQ(want, plane) << width << "x" << height << " border " << border << " stride "
                           << stride;
  }
}

TEST(PadPlane, OverwritesDecodedSamplesBeyondTheWidth) {
  // A 20x20 picture decoded as 32x32 macroblocks: the decoded columns 20..31
  // and rows 20..31 lie in the border and take the replicated edge.
  std::mt19937 rng(3);
  const int stride = 20 + 32;
  auto plane = RandomPlane(rng, stride, 52);
  auto at = [&](int x, int y) { return plane[static_cast<size_t>((y + 16) * stride + x + 16)]; };
  ASSERT_EQ(tavrin::Ok, PadPlane(plane.data(), 20, 20, 16, stride));
  for (int y = 0; y < 20; ++y)
    for (int x = 20; x < 32; ++x) ASSERT_EQ(at(19, y), at(x, y));
  for (int x = 0; x < 20; ++x)
    for (int y = 20; y < 32; ++y) ASSERT_EQ(at(x, 19), at(x, y));
}

TEST(PadPlane, SmallestAcceptedGeometry) {
  std::mt19937 rng(4);
  auto plane = RandomPlane(rng, 24, 24);
  auto want = Expected(plane, 8, 8, 8, 24);
  EXPECT_EQ(tavrin::Ok, PadPlane(plane.data(), 8, 8, 8, 24));
  EXPECT_EQ(want, plane);
  auto untouched = plane;
  EXPECT_EQ(tavrin::PadStepError, PadPlane(plane.data(), 8, 8, 8, 23));
  EXPECT_EQ(untouched, plane);
  // One row is enough.
  auto flat = RandomPlane(rng, 24, 17);
  auto flatWant = Expected(flat, 8, 1, 8, 24);
  EXPECT_EQ(tavrin::Ok, PadPlane(flat.data(), 8, 1, 8, 24));
  EXPECT_EQ(flatWant, flat);
}

TEST(PadPlane, ChecksInOrder) {
  std::mt19937 rng(5);
  auto plane = RandomPlane(rng, 64, 64);
  const auto before = plane;
  uint8_t* p = plane.data();
  EXPECT_EQ(tavrin::NullPointer, PadPlane(nullptr, 7, 0, 0, 0));
  EXPECT_EQ(tavrin::PadWidthError, PadPlane(p, 7, 16, 16, 48));
  EXPECT_EQ(tavrin::PadWidthError, PadPlane(p, 7, 0, 0, 0));
  EXPECT_EQ(tavrin::PadHeightError, PadPlane(p, 8, 0, 0, 0));
  EXPECT_EQ(tavrin::PadHeightError, PadPlane(p, 8, -3, 8, 24));
  EXPECT_EQ(tavrin::PadBorderError, PadPlane(p, 8, 8, 7, 0));
  EXPECT_EQ(tavrin::Step8Error, PadPlane(p, 8, 8, 8, 7));
  EXPECT_EQ(tavrin::Step8Error, PadPlane(p, 8, 8, 8, -24));
  EXPECT_EQ(tavrin::PadStepError, PadPlane(p, 9, 8, 8, 24));
  EXPECT_EQ(tavrin::PadStepError, PadPlane(p, 8, 8, 9, 25));
  // A width and border whose sum does not fit in 32 bits are refused, not
  // wrapped into a small padded width.
  EXPECT_EQ(tavrin::PadStepError, PadPlane(p, 8, 8, 0x40000000, 64));
  EXPECT_EQ(tavrin::PadStepError, PadPlane(p, 0x7fffffff, 8, 8, 64));
  EXPECT_EQ(before, plane);
}

}  // namespace
