// Colour conversion, picture spacing, scaling and labels of the contact
// sheet.
#include "contact_sheet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "bitmap_font.h"

namespace {

using namespace tavrin::tool;
using Rgb = std::array<uint8_t, 3>;

TEST(ContactSheet, Bt601LimitedRange) {
  EXPECT_EQ(RgbFromYcbcr(16, 128, 128), (Rgb{0, 0, 0}));
  EXPECT_EQ(RgbFromYcbcr(235, 128, 128), (Rgb{255, 255, 255}));
  EXPECT_EQ(RgbFromYcbcr(126, 128, 128), (Rgb{128, 128, 128}));
  // The 75% colour bars of BT.601 (Y'CbCr rounded to 8 bits) map back to
  // 191 and 0, within the rounding of the 8-bit values.
  auto near = [](Rgb a, Rgb b) {
    for (int i = 0; i < 3; ++i) {
      if (std::abs(a[i] - b[i]) > 1) return false;
    }
    return true;
  };
  EXPECT_TRUE(near(RgbFromYcbcr(162, 44, 142), Rgb{191, 191, 0}));  // yellow
  EXPECT_TRUE(near(RgbFromYcbcr(65, 100, 212), Rgb{191, 0, 0}));    // red
  EXPECT_TRUE(near(RgbFromYcbcr(35, 212, 114), Rgb{0, 0, 191}));    // blue
  EXPECT_TRUE(near(RgbFromYcbcr(112, 72, 58), Rgb{0, 191, 0}));     // green
  // A wrong matrix (full range, or Cb and Cr swapped) misses these.
  EXPECT_FALSE(near(RgbFromYcbcr(65, 212, 100), Rgb{191, 0, 0}));
  // Out-of-range values clamp.
  EXPECT_EQ(RgbFromYcbcr(0, 128, 128), (Rgb{0, 0, 0}));
  EXPECT_EQ(RgbFromYcbcr(255, 255, 255)[0], 255);
}

TEST(ContactSheet, EvenlySpacedPictures) {
  EXPECT_EQ(EvenlySpaced(100, 5), (std::vector<int>{0, 24, 49, 74, 99}));
  EXPECT_EQ(EvenlySpaced(3, 12), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(EvenlySpaced(7, 1), (std::vector<int>{0}));
  EXPECT_TRUE(EvenlySpaced(0, 12).empty());
  const std::vector<int> many = EvenlySpaced(13, 12);
  EXPECT_EQ(many.size(), 12u);
  EXPECT_EQ(std::set<int>(many.begin(), many.end()).size(), 12u);
  EXPECT_EQ(many.back(), 12);
}

TEST(ContactSheet, ScalingAveragesTheCoveredSamples) {
  // 4x2 luma: left half 16, right half 235; chroma neutral.
  const uint8_t y[8] = {16, 16, 235, 235, 16, 16, 235, 235};
  const uint8_t c[2] = {128, 128};
  const PlanarPicture p{y, c, c, 4, 1, 1, 4, 2};
  RgbImage image(2, 1, {9, 9, 9});
  DrawPicture(p, 2, 1, image, 0, 0);
  EXPECT_EQ(image.At(0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(image.At(1, 0), (Rgb{255, 255, 255}));
  RgbImage one(1, 1, {9, 9, 9});
  DrawPicture(p, 1, 1, one, 0, 0);
  EXPECT_EQ(one.At(0, 0)[0], RgbFromYcbcr(126, 128, 128)[0]);  // (16 + 235) / 2, rounded
  // Placed off the image, nothing is written outside it.
  DrawPicture(p, 2, 1, one, 5, 5);
  EXPECT_EQ(one.pixels.size(), 3u);
}

TEST(ContactSheet, LayoutAndLabels) {
  ContactSheet sheet(12, 40, 30);
  EXPECT_EQ(sheet.columns(), 4);
  EXPECT_EQ(sheet.rows(), 3);
  const uint8_t y[4] = {235, 235, 235, 235};
  const uint8_t c[1] = {128};
  const PlanarPicture white{y, c, c, 2, 1, 1, 2, 2};
  sheet.Place(5, white, "#5 P");
  const RgbImage& image = sheet.image();
  const int left = sheet.CellLeft(5), top = sheet.CellTop(5);
  EXPECT_EQ(image.At(left, top), (Rgb{255, 255, 255}));
  EXPECT_EQ(image.At(left + 39, top + 29), (Rgb{255, 255, 255}));
  EXPECT_NE(image.At(left + 40, top), (Rgb{255, 255, 255}));
  // The '#' glyph's top row has dots in columns 1 and 3.
  const Rgb label = image.At(left + 1, top + 30 + 3);
  EXPECT_GT(label[0], 200);
  EXPECT_LT(image.At(left, top + 30 + 3)[0], 100);
  // Other cells stay background.
  EXPECT_EQ(image.At(sheet.CellLeft(4), sheet.CellTop(4)), (Rgb{32, 32, 32}));
}

TEST(ContactSheet, GlyphsAreDistinct) {
  std::set<std::array<uint8_t, kGlyphHeight>> seen;
  for (char c : std::string("0123456789IPBS#")) {
    EXPECT_TRUE(HasGlyph(c)) << c;
    EXPECT_TRUE(seen.insert(Glyph(c)).second) << c;
  }
  EXPECT_FALSE(HasGlyph('x'));
  EXPECT_EQ(TextWidth("#12 B"), 5 * 6 - 1);
}

TEST(ContactSheet, ThumbnailSize) {
  int w = 0, h = 0;
  ThumbnailSize(720, 576, 320, w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 256);
  ThumbnailSize(176, 144, 320, w, h);
  EXPECT_EQ(w, 176);
  EXPECT_EQ(h, 144);
  ThumbnailSize(4000, 2, 320, w, h);
  EXPECT_EQ(h, 1);
}

}  // namespace
