// A contact sheet: pictures scaled down side by side on one RGB image, each
// labelled under it with its number and type.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "picture_writer.h"

namespace tavrin::tool {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // rows of width * 3 bytes, R G B

  RgbImage() = default;
  RgbImage(int w, int h, std::array<uint8_t, 3> fill);
  std::array<uint8_t, 3> At(int x, int y) const;
  void Set(int x, int y, std::array<uint8_t, 3> rgb);
};

// One sample of BT.601 limited-range Y'CbCr (luma 16..235, chroma
// 16..240) as R'G'B', each clamped to 0..255.
std::array<uint8_t, 3> RgbFromYcbcr(int y, int cb, int cr);

// `count` display numbers spread evenly over 0..total-1, the first and the
// last included; all of them when total <= count.
std::vector<int> EvenlySpaced(int total, int count);

// Scales the 4:2:0 picture to width x height by averaging the samples each
// output pixel covers, converts it to RGB and puts it at (left, top).
void DrawPicture(const PlanarPicture& picture, int width, int height, RgbImage& image, int left, int top);

// Draws text with the built-in font, each dot `scale` pixels square, its
// top left corner at (left, top); what falls outside the image is left out.
void DrawText(RgbImage& image, int left, int top, const std::string& text, int scale, std::array<uint8_t, 3> colour);

class ContactSheet {
 public:
  // A sheet for `count` pictures of thumbWidth x thumbHeight, in rows of
  // about the square root of count.
  ContactSheet(int count, int thumbWidth, int thumbHeight);

  // Puts a picture in cell `cell` (from 0) with its label under it.
  void Place(int cell, const PlanarPicture& picture, const std::string& label);

  const RgbImage& image() const { return image_; }
  int columns() const { return columns_; }
  int rows() const { return rows_; }
  // The top left corner of a cell's picture.
  int CellLeft(int cell) const;
  int CellTop(int cell) const;
  int labelScale() const { return labelScale_; }

 private:
  int count_, thumbWidth_, thumbHeight_, columns_, rows_, labelScale_, labelHeight_;
  RgbImage image_;
};

// The thumbnail size for pictures of width x height: at most maxWidth
// wide (the picture's own size when it is narrower), the height in
// proportion, both at least 1.
void ThumbnailSize(int width, int height, int maxWidth, int& thumbWidth, int& thumbHeight);

}  // namespace tavrin::tool
