// The syntax of global motion compensation: the layer header's sprite
// fields when sprite_enable says global motion (2), and the warping-point
// trajectory an S picture carries in its header (and again in a video
// packet header that repeats the picture's fields).
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"

namespace tavrin {

// sprite_enable values.
inline constexpr int32_t kSpriteNone = 0;
inline constexpr int32_t kSpriteStatic = 1;
inline constexpr int32_t kSpriteGlobalMotion = 2;

// At most three warping points: the affine warp.  (Four, the perspective
// warp, belong to static sprites.)
inline constexpr int32_t kMaxWarpingPoints = 3;

// The layer header's global motion fields.
struct GlobalMotionLayer {
  int32_t warpingPoints;     // no_of_sprite_warping_points, 0 to 3
  int32_t warpingAccuracy;   // sprite_warping_accuracy: 1/2, 1/4, 1/8, 1/16 sample for 0..3
  int32_t brightnessChange;  // sprite_brightness_change, always 0 in a stream we take
};

// Reads no_of_sprite_warping_points, sprite_warping_accuracy and
// sprite_brightness_change (the reader stands after sprite_enable 2): true
// when the layer is one the picture decoders implement (at most three
// points, no brightness change).
bool ReadGlobalMotionLayer(BitReader& reader, GlobalMotionLayer& layer);

// The warping points' differences as an S picture's header carries them, in
// half-sample units (du[0], dv[0] the first point's displacement; the
// others relative to it).
struct WarpingTrajectory {
  int32_t points;
  int32_t du[kMaxWarpingPoints];
  int32_t dv[kMaxWarpingPoints];
};

// Reads sprite_trajectory for `points` warping points: each difference a
// length code, the code itself and a marker bit.  false on a marker bit of
// 0 or a length code that does not exist (the differences read so far
// stay).
bool ReadWarpingTrajectory(BitReader& reader, int32_t points, WarpingTrajectory& trajectory);

}  // namespace tavrin
