#include "contact_sheet.h"

#include <algorithm>
#include <cmath>

#include "bitmap_font.h"

namespace tavrin::tool {
namespace {

constexpr int kMargin = 8;
constexpr std::array<uint8_t, 3> kBackground = {32, 32, 32};
constexpr std::array<uint8_t, 3> kLabelColour = {240, 240, 240};

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

RgbImage::RgbImage(int w, int h, std::array<uint8_t, 3> fill) : width(w), height(h) {
  pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
  for (std::size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = fill[0];
    pixels[i + 1] = fill[1];
    pixels[i + 2] = fill[2];
  }
}

std::array<uint8_t, 3> RgbImage::At(int x, int y) const {
  const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

void RgbImage::Set(int x, int y, std::array<uint8_t, 3> rgb) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  pixels[at] = rgb[0];
  pixels[at + 1] = rgb[1];
  pixels[at + 2] = rgb[2];
}

std::array<uint8_t, 3> RgbFromYcbcr(int y, int cb, int cr) {
  // 255/219 for luma; 255/224 times the BT.601 chroma weights, in 16.16.
  const int luma = 76309 * (y - 16);
  const int u = cb - 128, v = cr - 128;
  const int half = 1 << 15;
  return {Clamp((luma + 104597 * v + half) >> 16), Clamp((luma - 25675 * u - 53279 * v + half) >> 16),
          Clamp((luma + 132201 * u + half) >> 16)};
}

std::vector<int> EvenlySpaced(int total, int count) {
  std::vector<int> numbers;
  if (total <= 0 || count <= 0) return numbers;
  if (total <= count) {
    for (int i = 0; i < total; ++i) numbers.push_back(i);
    return numbers;
  }
  if (count == 1) return {0};
  for (int k = 0; k < count; ++k) {
    numbers.push_back(static_cast<int>(static_cast<int64_t>(k) * (total - 1) / (count - 1)));
  }
  return numbers;
}

void DrawPicture(const PlanarPicture& p, int width, int height, RgbImage& image, int left, int top) {
  const int chromaWidth = (p.width + 1) / 2, chromaHeight = (p.height + 1) / 2;
  for (int oy = 0; oy < height; ++oy) {
    const int y0 = static_cast<int>(static_cast<int64_t>(oy) * p.height / height);
    const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<int64_t>(oy + 1) * p.height / height));
    const int cy0 = std::min(y0 / 2, chromaHeight - 1);
    const int cy1 = std::max(cy0 + 1, std::min((y1 + 1) / 2, chromaHeight));
    for (int ox = 0; ox < width; ++ox) {
      const int x0 = static_cast<int>(static_cast<int64_t>(ox) * p.width / width);
      const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<int64_t>(ox + 1) * p.width / width));
      const int cx0 = std::min(x0 / 2, chromaWidth - 1);
      const int cx1 = std::max(cx0 + 1, std::min((x1 + 1) / 2, chromaWidth));
      int64_t sumY = 0, sumCb = 0, sumCr = 0;
      for (int y = y0; y < y1; ++y) {
        const uint8_t* row = p.planeY + static_cast<std::ptrdiff_t>(y) * p.strideY;
        for (int x = x0; x < x1; ++x) sumY += row[x];
      }
      for (int y = cy0; y < cy1; ++y) {
        const uint8_t* cb = p.planeCb + static_cast<std::ptrdiff_t>(y) * p.strideCb;
        const uint8_t* cr = p.planeCr + static_cast<std::ptrdiff_t>(y) * p.strideCr;
        for (int x = cx0; x < cx1; ++x) {
          sumCb += cb[x];
          sumCr += cr[x];
        }
      }
      const int64_t n = static_cast<int64_t>(y1 - y0) * (x1 - x0);
      const int64_t nc = static_cast<int64_t>(cy1 - cy0) * (cx1 - cx0);
      image.Set(left + ox, top + oy,
                RgbFromYcbcr(static_cast<int>((sumY + n / 2) / n), static_cast<int>((sumCb + nc / 2) / nc),
                             static_cast<int>((sumCr + nc / 2) / nc)));
    }
  }
}

void DrawText(RgbImage& image, int left, int top, const std::string& text, int scale, std::array<uint8_t, 3> colour) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto rows = Glyph(text[i]);
    const int x0 = left + static_cast<int>(i) * kGlyphAdvance * scale;
    for (int r = 0; r < kGlyphHeight; ++r) {
      for (int c = 0; c < kGlyphWidth; ++c) {
        if (((rows[static_cast<std::size_t>(r)] >> (kGlyphWidth - 1 - c)) & 1) == 0) continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) image.Set(x0 + c * scale + dx, top + r * scale + dy, colour);
        }
      }
    }
  }
}

void ThumbnailSize(int width, int height, int maxWidth, int& thumbWidth, int& thumbHeight) {
  thumbWidth = std::max(1, std::min(width, maxWidth));
  thumbHeight = std::max(1, static_cast<int>(std::lround(static_cast<double>(height) * thumbWidth / std::max(1, width))));
}

ContactSheet::ContactSheet(int count, int thumbWidth, int thumbHeight)
    : count_(std::max(1, count)), thumbWidth_(thumbWidth), thumbHeight_(thumbHeight) {
  columns_ = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count_))));
  rows_ = (count_ + columns_ - 1) / columns_;
  labelScale_ = thumbWidth_ >= 240 ? 2 : 1;
  labelHeight_ = kGlyphHeight * labelScale_ + 6;
  image_ = RgbImage(kMargin + columns_ * (thumbWidth_ + kMargin),
                    kMargin + rows_ * (thumbHeight_ + labelHeight_ + kMargin), kBackground);
}

int ContactSheet::CellLeft(int cell) const { return kMargin + (cell % columns_) * (thumbWidth_ + kMargin); }

int ContactSheet::CellTop(int cell) const {
  return kMargin + (cell / columns_) * (thumbHeight_ + labelHeight_ + kMargin);
}

void ContactSheet::Place(int cell, const PlanarPicture& picture, const std::string& label) {
  if (cell < 0 || cell >= count_) return;
  const int left = CellLeft(cell), top = CellTop(cell);
  DrawPicture(picture, thumbWidth_, thumbHeight_, image_, left, top);
  DrawText(image_, left, top + thumbHeight_ + 3, label, labelScale_, kLabelColour);
}

}  // namespace tavrin::tool
