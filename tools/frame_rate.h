// Picture times and the picture rate of a stream: the rate its layer
// header states, the one its container states, or one found from the times
// of its first pictures.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

// Full picture times from the headers, fed in decode order.  An I, P or S
// picture (coded or not) counts its modulo_time_base seconds from the
// previous such picture; a B picture counts them from the anchor before the
// most recent one, which is the previous I or P picture in display order.
// Times are in ticks of the layer's time resolution since the first
// picture's second.  Short-header pictures count their temporal reference
// (1001 ticks a unit, modulo 256) on from the previous picture's.
class PictureClock {
 public:
  explicit PictureClock(int resolution) : resolution_(resolution) {}
  int64_t Next(const PictureHeader& header);

 private:
  int64_t resolution_;
  int64_t lastAnchorSeconds_ = 0;
  int64_t pastAnchorSeconds_ = 0;
  int lastReference_ = -1;  // short-header pictures
  int64_t referenceTicks_ = 0;
};

// The most common distance between consecutive picture times (any order),
// as a rate of resolution / distance pictures per second, reduced; 0:0 when
// fewer than two distinct times are given.
Ratio FrameRateFromTimes(int resolution, std::vector<int64_t> times);

// How many pictures StreamFrameRate reads the times of.
inline constexpr std::size_t kRatePictures = 64;

// resolution / fixed increment when the layer header fixes the rate; else
// the container's rate when it states one; else the commonest step between
// the display times of the coded pictures among the first kRatePictures;
// 25:1 when none of these gives an answer.
Ratio StreamFrameRate(const std::vector<std::span<const uint8_t>>& pictures, const VideoObjectLayer& layer,
                      Ratio containerRate = {});

// Where StreamFrameRate's answer comes from, in words ("fixed in the layer
// header", "stated by the container", "from the picture times", "assumed").
const char* FrameRateOrigin(const std::vector<std::span<const uint8_t>>& pictures, const VideoObjectLayer& layer,
                            Ratio containerRate = {});

}  // namespace tavrin::tool
