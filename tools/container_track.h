// What a container reader hands on: the video track's compressed units in
// decode order (AVI chunks, MP4 samples, Matroska frames) as slices of the
// file's bytes, or of bytes the reader rebuilt, the decoder configuration
// the container carries, and what the container says about size, rate and
// times.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

struct ContainerTrack {
  // "AVI", "MP4", "QuickTime MOV", "Matroska".
  std::string format;
  // More about the file in words ("brand isom", "OpenDML"); may be empty.
  std::string detail;
  // The codec's tag: the AVI FourCC (XVID, DIVX, FMP4, ...), the sample
  // entry type (mp4v) or the Matroska codec ID (V_MPEG4/ISO/ASP).
  std::string codecTag;
  int width = 0;  // 0 when the container does not say
  int height = 0;
  Ratio frameRate;  // 0:0 when the container does not say
  // Header bytes the container keeps apart from the pictures (the
  // DecoderSpecificInfo of an esds box, the extra bytes of an AVI stream
  // format); empty when it keeps none.
  std::vector<uint8_t> configuration;
  // The video units in file order, empty ones included.
  std::vector<std::span<const uint8_t>> units;
  // Units the reader had to rebuild (Matroska frames with the bytes that
  // header removal took off put back) point into this block instead of the
  // file; whoever keeps the units keeps this too.
  std::shared_ptr<const std::vector<uint8_t>> ownedBytes;
  // The presentation time of each unit in nanoseconds, kNoTime where the
  // container gives none; empty when the container does not time its units
  // one by one (AVI, MP4).
  static constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
  std::vector<int64_t> unitTimes;
  // Every unit is one frame time (AVI): a picture packed behind another in
  // one unit takes the time of a later placeholder unit.
  bool unitIsFrameTime = false;
  // Damage or oddities met and stepped over, in words.
  std::vector<std::string> notes;
};

struct ContainerResult {
  ContainerTrack track;
  // Empty on success; else why no video track could be read, in words.
  std::string error;
  bool ok() const { return error.empty(); }
};

}  // namespace tavrin::tool
