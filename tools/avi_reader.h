// Reading the MPEG-4 Visual video stream of an AVI file (RIFF 'AVI ').
//
// The reader takes the stream list (hdrl/strl: strh and strf) to find the
// first video stream whose FourCC is an MPEG-4 Visual one (XVID, DIVX, DX50,
// FMP4, MP4V, ...) or an H.263 one (H263, S263, ...), then walks every movi
// list (also those of OpenDML 'AVIX' extensions and 'rec ' groups) and
// collects that stream's
// chunks ('NNdc', 'NNdb') in file order.  It needs no index: idx1 and the
// OpenDML indexes (indx, ixNN) are not read.  Sizes are checked against the
// file at every step; a file that ends early gives the chunks that are
// whole, and a note.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "container_track.h"

namespace tavrin::tool {

// True when the bytes start like an AVI file ("RIFF" .... "AVI ").
bool LooksLikeAvi(std::span<const uint8_t> bytes);

// True for FourCCs (any case) under which AVI files carry MPEG-4 Visual.
bool IsMpeg4VisualFourCc(const std::string& fourcc);

// True for FourCCs (any case) under which AVI files carry H.263, which the
// decoder takes as short-header pictures (ffmpeg writes H263).
bool IsShortHeaderFourCc(const std::string& fourcc);

// The name of a video format that a FourCC stands for when it is a known
// one that is not MPEG-4 Visual ("MS MPEG-4 version 3", "H.264"); empty
// otherwise.
std::string OtherVideoFormatName(const std::string& fourcc);

ContainerResult ReadAvi(std::span<const uint8_t> bytes);

}  // namespace tavrin::tool
