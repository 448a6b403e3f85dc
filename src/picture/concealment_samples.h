// The sample work of the concealment on one macroblock of a picture: its
// six blocks and their means, what was decoded saved and put back, how far
// its samples step from its neighbours', and the fill from the rows above
// and below when there is no picture to take anything from.
#pragma once

#include <cstdint>

#include "decoder/picture_buffer.h"

namespace tavrin {

// Which neighbours of a macroblock hold samples to go by.
struct NeighbourSides {
  bool above;
  bool below;
  bool left;
  bool right;
};

// The rounded mean of each of the six blocks (BlockOrigin's order).
void BlockMeans(const PictureBuffer& p, int32_t x, int32_t y, uint8_t means[6]);

// Each block shifted to its known mean; a block that strays further than
// kDcStray from it (the guess took the wrong place) becomes the flat block
// its mean makes.
inline constexpr int32_t kDcStray = 32;
void KeepBlockMeans(const PictureBuffer& p, int32_t x, int32_t y, const uint8_t means[6]);

struct MacroblockSamples {
  uint8_t blocks[6][64];
};
void SaveSamples(const PictureBuffer& p, int32_t x, int32_t y, MacroblockSamples& samples);
void RestoreSamples(const PictureBuffer& p, int32_t x, int32_t y, const MacroblockSamples& samples);

// How far the samples of macroblock (x, y) step away from those of the
// given neighbours at its edges: the mean absolute difference between each
// edge sample and the neighbour's sample next to it, over the three planes
// (times 256); -1 without a neighbour.
int64_t SeamStep(const PictureBuffer& p, int32_t x, int32_t y, NeighbourSides sides);

// How far the samples of macroblock (x, y) step across the edges of its
// 8x8 blocks: the mean absolute difference across each edge (times 256).
// The edges inside the macroblock, and with `outer` those along its top
// and left (in the picture), in the three planes.
int64_t BlockEdgeStep(const PictureBuffer& p, int32_t x, int32_t y, bool outer);

// Macroblock (x, y) of a picture mbWidth macroblocks wide made from the
// rows next to it: each column continued from the row above and the row
// below where they are known (sides.above, sides.below), smoothed along the
// row (a lone noisy sample carried down would streak) and blended between
// the two by distance; mid grey where neither is known.
void FillFromRows(const PictureBuffer& p, int32_t mbWidth, int32_t x, int32_t y, NeighbourSides sides);

}  // namespace tavrin
