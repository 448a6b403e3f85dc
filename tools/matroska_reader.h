// Reading the MPEG-4 Visual video track of a Matroska file (.mkv, and
// .webm-style files of the same structure).
//
// The file starts with an EBML header whose DocType is "matroska" (or
// "webm"); its Segment holds the segment information (the timestamp
// scale), the track list and the clusters of blocks.  The reader takes the
// first video track whose codec ID is an MPEG-4 Visual one (V_MPEG4/ISO/ASP,
// /SP, /AP, or V_MS/VFW/FOURCC with an MPEG-4 Visual FourCC), its header
// bytes from CodecPrivate, and its frames from SimpleBlocks and BlockGroups
// in file order, laced or not, with the bytes that header removal
// (ContentCompAlgo 3) took off put back in front of each.  Segments and
// clusters of unknown size (as live recorders write them) end where an
// element that cannot belong to them starts.  Every frame gets its
// presentation time from the cluster's timestamp, the block's relative
// one and the timestamp scale.  No index (Cues, SeekHead) is needed or read.
//
// Sizes are checked against the file at every step.  A file that ends
// early gives the frames that are whole, and a note; damaged bytes between
// clusters are stepped over to the next cluster, with a note.
#pragma once

#include <cstdint>
#include <span>

#include "container_track.h"

namespace tavrin::tool {

// True when the bytes start with an EBML header's ID (1A 45 DF A3): the
// file is then read as Matroska, and its DocType must say so.
bool LooksLikeMatroska(std::span<const uint8_t> bytes);

ContainerResult ReadMatroska(std::span<const uint8_t> bytes);

}  // namespace tavrin::tool
