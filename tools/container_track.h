// What a container reader hands on: the video track's compressed units in
// decode order (AVI chunks, MP4 samples) as slices of the file's bytes, the
// decoder configuration the container carries, and what the container says
// about size and rate.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "stream_headers.h"

namespace tavrin::tool {

struct ContainerTrack {
  // "AVI", "MP4", "QuickTime MOV".
  std::string format;
  // More about the file in words ("brand isom", "OpenDML"); may be empty.
  std::string detail;
  // The codec's tag: the AVI FourCC (XVID, DIVX, FMP4, ...) or the sample
  // entry type (mp4v).
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
