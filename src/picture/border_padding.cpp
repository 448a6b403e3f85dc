#include "picture/border_padding.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "primitives/dispatch/primitive_table.h"
#include "primitives/padding/padding.h"

namespace tavrin {
namespace {

// One plane: the visible area at origin, its border width and the size of a
// macroblock in it.
struct Plane {
  uint8_t* origin;
  ptrdiff_t stride;
  int32_t width;
  int32_t height;
  int32_t border;
  int32_t mbSize;
};

// Segment numbering within a plane's tags: above column c, below column c,
// left of row r, right of row r, then the corners.
struct Segments {
  int32_t columns;  // macroblock columns with visible samples
  int32_t rows;
  int32_t Above(int32_t c) const { return c; }
  int32_t Below(int32_t c) const { return columns + c; }
  int32_t Left(int32_t r) const { return 2 * columns + r; }
  int32_t Right(int32_t r) const { return 2 * columns + rows + r; }
  int32_t Corner(int32_t k) const { return 2 * columns + 2 * rows + k; }
};

// The segments' sample runs have fixed lengths (the border width, or a
// macroblock's width except in a last, partly visible column), so that they
// compile to plain stores.
template <int32_t kSize>
void CopyRun(uint8_t* to, const uint8_t* from, int32_t length) {
  if (length == kSize) {
    std::memcpy(to, from, kSize);
  } else {
    std::memcpy(to, from, static_cast<size_t>(length));
  }
}

template <int32_t kBorder>
void FillRun(uint8_t* to, uint8_t value) {
  std::memset(to, value, kBorder);
}

// kBorder is also the macroblock size in the plane (16 luma, 8 chroma).
template <int32_t kBorder>
void PadAbove(const Plane& p, int32_t c) {
  const int32_t x = kBorder * c;
  const int32_t length = std::min(kBorder, p.width - x);
  const uint8_t* from = p.origin + x;
  for (int32_t r = 1; r <= kBorder; ++r) CopyRun<kBorder>(p.origin - r * p.stride + x, from, length);
}

template <int32_t kBorder>
void PadBelow(const Plane& p, int32_t c) {
  const int32_t x = kBorder * c;
  const int32_t length = std::min(kBorder, p.width - x);
  uint8_t* last = p.origin + (p.height - 1) * p.stride + x;
  for (int32_t r = 1; r <= kBorder; ++r) CopyRun<kBorder>(last + r * p.stride, last, length);
}

template <int32_t kBorder>
void PadLeft(const Plane& p, int32_t row) {
  const int32_t end = std::min(kBorder * (row + 1), p.height);
  for (int32_t y = kBorder * row; y < end; ++y) {
    uint8_t* line = p.origin + y * p.stride;
    FillRun<kBorder>(line - kBorder, line[0]);
  }
}

template <int32_t kBorder>
void PadRight(const Plane& p, int32_t row) {
  const int32_t end = std::min(kBorder * (row + 1), p.height);
  for (int32_t y = kBorder * row; y < end; ++y) {
    uint8_t* line = p.origin + y * p.stride + p.width;
    FillRun<kBorder>(line, line[-1]);
  }
}

// Corner k: 0 top left, 1 top right, 2 bottom left, 3 bottom right.
template <int32_t kBorder>
void PadCorner(const Plane& p, int32_t k) {
  const bool right = (k & 1) != 0;
  const bool bottom = (k & 2) != 0;
  const uint8_t value =
      p.origin[(bottom ? (p.height - 1) * p.stride : 0) + (right ? p.width - 1 : 0)];
  uint8_t* first = p.origin + (right ? p.width : -kBorder);
  for (int32_t r = 1; r <= kBorder; ++r) {
    FillRun<kBorder>(first + (bottom ? (p.height - 1 + r) : -r) * p.stride, value);
  }
}

// The planes padded with the same decisions (Cb and Cr share theirs).
template <int32_t kBorder>
void PadPlanes(const Plane* planes, int32_t count, uint8_t* const* bases, const int32_t* tags,
               int32_t mbWidth, int32_t* padded) {
  const Plane& g = planes[0];
  const Segments s{(g.width + g.mbSize - 1) / g.mbSize, (g.height + g.mbSize - 1) / g.mbSize};
  const int32_t lastColumn = s.columns - 1;
  const int32_t lastRow = s.rows - 1;
  auto tagOf = [&](int32_t column, int32_t row) { return tags[row * mbWidth + column]; };
  // Every segment once: its number, the tag of the macroblock it copies,
  // and how to pad it in one plane.
  auto forEachSegment = [&](auto&& visit) {
    for (int32_t c = 0; c < s.columns; ++c) {
      visit(s.Above(c), tagOf(c, 0), [c](const Plane& p) { PadAbove<kBorder>(p, c); });
      visit(s.Below(c), tagOf(c, lastRow), [c](const Plane& p) { PadBelow<kBorder>(p, c); });
    }
    for (int32_t r = 0; r < s.rows; ++r) {
      visit(s.Left(r), tagOf(0, r), [r](const Plane& p) { PadLeft<kBorder>(p, r); });
      visit(s.Right(r), tagOf(lastColumn, r), [r](const Plane& p) { PadRight<kBorder>(p, r); });
    }
    const int32_t cornerTags[4] = {tagOf(0, 0), tagOf(lastColumn, 0), tagOf(0, lastRow),
                                   tagOf(lastColumn, lastRow)};
    for (int32_t k = 0; k < 4; ++k) {
      visit(s.Corner(k), cornerTags[k], [k](const Plane& p) { PadCorner<kBorder>(p, k); });
    }
  };
  // A segment needs padding unless its macroblock's tag is known and is the
  // one it was padded from.
  auto stale = [&](int32_t segment, int32_t tag) { return tag == 0 || padded[segment] != tag; };

  int32_t staleCount = 0;
  forEachSegment([&](int32_t segment, int32_t tag, auto) { staleCount += stale(segment, tag); });
  if (staleCount == 0) return;
  // When most of it changed, the whole planes in one go.
  const bool whole = 2 * staleCount > 2 * s.columns + 2 * s.rows + 4;
  if (whole) {
    for (int32_t i = 0; i < count; ++i) {
      primitives.PadPlane(bases[i], planes[i].width, planes[i].height, planes[i].border,
                          static_cast<int32_t>(planes[i].stride));
    }
  }
  forEachSegment([&](int32_t segment, int32_t tag, auto pad) {
    if (!whole && stale(segment, tag)) {
      for (int32_t i = 0; i < count; ++i) pad(planes[i]);
    }
    padded[segment] = tag;
  });
}

}  // namespace

void PadChangedBorders(FrameStore& f) {
  const PictureBuffer& p = f.currentPicture;
  const int32_t width = 16 * f.mbWidth;
  const int32_t height = 16 * f.mbHeight;
  uint8_t* const lumaBase[1] = {p.baseY};
  uint8_t* const chromaBases[2] = {p.baseCb, p.baseCr};
  const Plane luma[1] = {{p.originY, p.strideY, width, height, 16, 16}};
  const Plane chroma[2] = {{p.originCb, p.strideCb, width / 2, height / 2, 8, 8},
                           {p.originCr, p.strideCr, width / 2, height / 2, 8, 8}};
  // Planes the padding primitive refuses stay as they are, as before; so do
  // pictures without tags.
  const bool lumaPaddable =
      padding::CheckPadArguments(p.baseY, width, height, 16, p.strideY) == Ok;
  const bool chromaPaddable =
      padding::CheckPadArguments(p.baseCb, width / 2, height / 2, 8, p.strideCb) == Ok;
  if (p.contentTags == nullptr || p.paddedTags == nullptr) {
    if (lumaPaddable) primitives.PadPlane(p.baseY, width, height, 16, p.strideY);
    if (chromaPaddable) {
      primitives.PadPlane(p.baseCb, width / 2, height / 2, 8, p.strideCb);
      primitives.PadPlane(p.baseCr, width / 2, height / 2, 8, p.strideCr);
    }
    return;
  }
  const int32_t segments = BorderSegmentCount(f.mbWidth, f.mbHeight);
  if (lumaPaddable) PadPlanes<16>(luma, 1, lumaBase, p.contentTags, f.mbWidth, p.paddedTags);
  if (chromaPaddable) {
    PadPlanes<8>(chroma, 2, chromaBases, p.contentTags, f.mbWidth, p.paddedTags + segments);
  }
}

}  // namespace tavrin
