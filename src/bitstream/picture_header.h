// The video object plane header, read right after its start code.
#pragma once

#include <cstdint>

#include "bitstream/bit_reader.h"
#include "bitstream/global_motion_syntax.h"
#include "bitstream/sequence_header.h"

namespace tavrin {

// Video object plane elements of the most recent picture header.
struct PictureHeader {
  int32_t vopCodingType;  // 0 I, 1 P, 2 B, 3 S
  int32_t moduloTimeBase;
  int32_t vopTimeIncrement;
  int32_t vopCoded;
  int32_t vopRoundingType;
  int32_t vopReducedResolution;  // read only when the layer enables it
  int32_t intraDcVlcThr;
  int32_t topFieldFirst;              // read in interlaced layers only
  int32_t alternateVerticalScanFlag;  // read in interlaced layers only
  int32_t vopQuant;
  int32_t vopFcodeForward;
  int32_t vopFcodeBackward;
  int32_t spatialRefX;
  WarpingTrajectory trajectory;  // of an S picture with global motion
  int32_t spatialRefY;
  // Picture times in clock ticks since the stream's start: whole seconds
  // counted by modulo_time_base plus vop_time_increment.  An I or P picture
  // counts its seconds from the previous I or P picture; a B picture from the
  // older of the two most recent ones, which precedes it in display order.
  int64_t vopTime;
  int64_t anchorSeconds;      // seconds of the most recent I or P header
  int64_t pastAnchorSeconds;  // seconds of the one before
};

// The source type of hosts that want pictures without border padding and
// with rounding type 0.
inline constexpr int32_t kSourceTypeUnpadded = 6800;

// Moves past the next picture start code in the reader's data: 1, or 0
// when there is none.  A group-of-pictures header on the way sets the whole
// seconds the pictures after it count from (its time code), as an I or P
// picture would: the B pictures that follow it in the data and precede it
// in display order count from there too.
int32_t FindPictureStartCode(BitReader& reader, PictureHeader& picture);

// After a picture: reads the time code of a group-of-pictures header that
// follows it in the same data (hosts that split a raw stream at picture
// start codes hand it over at the end of the picture before), up to the
// next picture start code.
void ReadTrailingGroupOfPictures(BitReader& reader, PictureHeader& picture);

// Reads the header and leaves the reader at the first macroblock: 0, or
// kUnsupportedHeader when a marker bit is 0 (the fields read so far keep
// their new values).  The estimation counts go into the sequence record.
int32_t ParsePictureHeader(BitReader& reader, SequenceHeader& sequence, PictureHeader& picture,
                           int32_t sourceType);

}  // namespace tavrin
