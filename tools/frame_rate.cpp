#include "frame_rate.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace tavrin::tool {

Ratio StreamFrameRate(std::span<const uint8_t> bytes, const ElementaryStream& stream,
                      const VideoObjectLayer& layer) {
  const Ratio fixed = FixedFrameRate(layer);
  if (fixed.num > 0 && fixed.den > 0) return fixed;
  const int64_t resolution = layer.vopTimeIncrementResolution;
  if (resolution <= 0) return {25, 1};
  // Seconds count from the previous I or P picture; a B picture counts from
  // the one before that, which precedes it in display order.
  int64_t anchorSeconds = 0, pastAnchorSeconds = 0;
  std::vector<int64_t> times;
  const size_t count = std::min<size_t>(stream.pictures.size(), 48);
  for (size_t i = 0; i < count; ++i) {
    PictureHeaderResult r = ParsePictureHeader(stream.CodedPicture(bytes, i), layer);
    if (!r.ok()) continue;
    int64_t seconds;
    if (r.header.vopCodingType == CodingType::kBidirectional) {
      seconds = pastAnchorSeconds + r.header.moduloTimeBase;
    } else {
      pastAnchorSeconds = anchorSeconds;
      anchorSeconds += r.header.moduloTimeBase;
      seconds = anchorSeconds;
    }
    if (r.header.vopCoded) times.push_back(seconds * resolution + r.header.vopTimeIncrement);
  }
  std::sort(times.begin(), times.end());
  int64_t step = 0;
  for (size_t i = 1; i < times.size(); ++i) {
    const int64_t d = times[i] - times[i - 1];
    if (d > 0 && (step == 0 || d < step)) step = d;
  }
  if (step == 0) return {25, 1};
  const int64_t g = std::gcd(resolution, step);
  return {static_cast<int>(resolution / g), static_cast<int>(step / g)};
}

}  // namespace tavrin::tool
