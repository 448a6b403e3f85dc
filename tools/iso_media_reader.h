// Reading the MPEG-4 Visual track of an MP4 or QuickTime MOV file (the ISO
// base media file format and its QuickTime parent).
//
// The reader follows moov/trak/mdia/minf/stbl of the first video track
// whose sample description is 'mp4v', or 's263' or 'h263' (H.263, whose
// short-header pictures carry their own headers).  The header bytes come
// from the DecoderSpecificInfo in an 'mp4v' description's 'esds' box; the
// pictures are
// the track's samples, placed by the sample tables (stsz or stz2 for sizes,
// stco or co64 for chunk offsets, stsc for samples per chunk); the rate
// comes from mdhd's time scale and the commonest stts delta.  Every box
// size and table count is checked against the file; a file that ends early
// gives the samples that lie wholly inside it, and a note.  Movie fragments
// (moof) are not read.
#pragma once

#include <cstdint>
#include <span>

#include "container_track.h"

namespace tavrin::tool {

// True when the bytes start with a box that ISO media files begin with
// (ftyp, moov, mdat, free, skip, wide, pnot).
bool LooksLikeIsoMedia(std::span<const uint8_t> bytes);

ContainerResult ReadIsoMedia(std::span<const uint8_t> bytes);

}  // namespace tavrin::tool
