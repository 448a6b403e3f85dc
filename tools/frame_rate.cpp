#include "frame_rate.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "short_header.h"

namespace tavrin::tool {
namespace {

enum class RateOrigin { kHeader, kContainer, kTimes, kAssumed };

RateOrigin FindRate(const std::vector<std::span<const uint8_t>>& pictures, const VideoObjectLayer& layer,
                    Ratio containerRate, Ratio& rate) {
  rate = FixedFrameRate(layer);
  if (rate.num > 0 && rate.den > 0) return RateOrigin::kHeader;
  if (containerRate.num > 0 && containerRate.den > 0) {
    rate = containerRate;
    return RateOrigin::kContainer;
  }
  const int resolution = layer.vopTimeIncrementResolution;
  if (resolution > 0) {
    PictureClock clock(resolution);
    std::vector<int64_t> times;
    const std::size_t count = std::min(pictures.size(), kRatePictures);
    for (std::size_t i = 0; i < count; ++i) {
      const PictureHeaderResult r = ParsePictureHeader(pictures[i], layer);
      if (!r.ok()) continue;
      const int64_t time = clock.Next(r.header);
      if (r.header.vopCoded) times.push_back(time);
    }
    rate = FrameRateFromTimes(resolution, std::move(times));
    if (rate.num > 0 && rate.den > 0) return RateOrigin::kTimes;
  }
  rate = {25, 1};
  return RateOrigin::kAssumed;
}

}  // namespace

int64_t PictureClock::Next(const PictureHeader& header) {
  if (header.temporalReference >= 0) {
    const int step = lastReference_ < 0 ? header.temporalReference : (header.temporalReference - lastReference_) & 255;
    lastReference_ = header.temporalReference;
    referenceTicks_ += int64_t{step} * kShortHeaderTicksPerReference;
    return referenceTicks_;
  }
  int64_t seconds;
  if (header.vopCodingType == CodingType::kBidirectional) {
    seconds = pastAnchorSeconds_ + header.moduloTimeBase;
  } else {
    pastAnchorSeconds_ = lastAnchorSeconds_;
    lastAnchorSeconds_ += header.moduloTimeBase;
    seconds = lastAnchorSeconds_;
  }
  return seconds * resolution_ + header.vopTimeIncrement;
}

Ratio FrameRateFromTimes(int resolution, std::vector<int64_t> times) {
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  if (times.size() < 2 || resolution <= 0) return {0, 0};
  std::map<int64_t, int> counts;
  for (std::size_t i = 1; i < times.size(); ++i) ++counts[times[i] - times[i - 1]];
  int64_t distance = 0;
  int best = 0;
  for (const auto& [d, n] : counts) {
    if (n > best) {
      best = n;
      distance = d;
    }
  }
  const int64_t g = std::gcd(static_cast<int64_t>(resolution), distance);
  if (distance / g > 0x7FFFFFFF) return {0, 0};
  return {static_cast<int>(resolution / g), static_cast<int>(distance / g)};
}

Ratio StreamFrameRate(const std::vector<std::span<const uint8_t>>& pictures, const VideoObjectLayer& layer,
                      Ratio containerRate) {
  Ratio rate;
  FindRate(pictures, layer, containerRate, rate);
  return rate;
}

const char* FrameRateOrigin(const std::vector<std::span<const uint8_t>>& pictures, const VideoObjectLayer& layer,
                            Ratio containerRate) {
  Ratio rate;
  switch (FindRate(pictures, layer, containerRate, rate)) {
    case RateOrigin::kHeader:
      return "fixed in the layer header";
    case RateOrigin::kContainer:
      return "stated by the container";
    case RateOrigin::kTimes:
      return "from the picture times";
    case RateOrigin::kAssumed:
      break;
  }
  return "assumed: neither the header, the container nor the picture times give one";
}

}  // namespace tavrin::tool
